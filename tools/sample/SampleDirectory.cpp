#include "SampleDirectory.h"

#include "DatabaseError.h"
#include "DbfWriter.h"
#include "SampleRandom.h"
#include "SampleWords.h"
#include "UHelpFull.h"

#include <QDir>
#include <QSet>
#include <QStringList>

#include <cmath>
#include <functional>
#include <set>
#include <vector>

namespace phonebook::sample {
namespace {

using namespace Qt::StringLiterals;

// Field widths of the two tables. Values longer than their field are cut by the writer.
constexpr int PersonPhoneWidth = PhoneDigits;
constexpr int OrgPhoneWidth = PhoneDigits + 2; // two leading blanks
constexpr int NameWidth = 40;
constexpr int StreetWidth = 30;
constexpr int HouseWidth = 7;
constexpr int FlatWidth = 3;
constexpr int OrgNameWidth = 70;
constexpr int OrgSecondNameWidth = 40;
constexpr int DepartmentWidth = 40;
constexpr int IndustryWidth = 20;

constexpr uint8_t MarkWindows1251 = 0xC9;
constexpr uint8_t MarkCp866 = 0x26;

constexpr double MaxDeletedShare = 0.9;

QString word(const char16_t *text) { return QString::fromUtf16(text); }

QStringList words(WordList list)
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(list.size()));
    for (const char16_t *w : list)
        out.append(word(w));
    return out;
}

QString rightAligned(const QString &value, int width)
{
    return value.size() >= width ? value : QString(width - value.size(), u' ') + value;
}

// The feminine form of a masculine surname: ИВАНОВ → ИВАНОВА, ОСТРОВСКИЙ →
// ОСТРОВСКАЯ, ТОЛСТОЙ → ТОЛСТАЯ; ШЕВЧЕНКО, ЧЕРНЫХ, КИМ, ЦОЙ stay as they are.
// Each part of a double surname changes on its own.
QString FemaleSurname(const QString &male)
{
    QStringList parts = male.split(u'-');
    for (QString &part : parts) {
        if (part.endsWith(u"ИЙ"_s) || part.endsWith(u"ЫЙ"_s) || (part.endsWith(u"ОЙ"_s) && part.size() > 4)) // not ЦОЙ
            part = part.chopped(2) + u"АЯ"_s;
        else if (part.endsWith(u"ОВ"_s) || part.endsWith(u"ЕВ"_s) || part.endsWith(u"ЁВ"_s)
                 || part.endsWith(u"ИН"_s) || part.endsWith(u"ЫН"_s))
            part += u'А';
    }
    return parts.join(u'-');
}

// Telephone numbers of the city: seven digits, the first three naming the
// exchange. A few exchanges are crowded and most are sparse, so that a
// search by a prefix finds anything from one row to a large share of the
// directory. Every number is handed out once.
class PhonePool {
public:
    static constexpr int FirstExchange = 200;
    static constexpr int LastExchange = 699;
    static constexpr int NumbersPerExchange = 10000;

    explicit PhonePool(SampleRandom &random)
        : m_used(static_cast<size_t>((LastExchange + 1) * NumbersPerExchange), false), m_taken(LastExchange + 1, 0)
    {
        for (int code = FirstExchange; code <= LastExchange; ++code) {
            if ((code / 10) % 10 != 0) // no exchange has 0 as its second digit
                m_exchanges.push_back(code);
        }
        for (size_t i = m_exchanges.size() - 1; i > 0; --i)
            std::swap(m_exchanges[i], m_exchanges[random.below(static_cast<uint32_t>(i + 1))]);
        m_pick = WeightedPick::harmonic(static_cast<int>(m_exchanges.size()));
        m_lowestFree.assign(m_exchanges.size(), 0);
        for (size_t i = 0; i < m_exchanges.size(); ++i)
            m_open.insert(m_open.end(), i);
    }

    static int capacity() { return 450 * NumbersPerExchange; }

    int take(SampleRandom &random)
    {
        for (int attempt = 0; attempt < 40; ++attempt) {
            const int exchange = m_exchanges[static_cast<size_t>(m_pick.pick(random))];
            const int number = exchange * NumbersPerExchange + static_cast<int>(random.below(NumbersPerExchange));
            // A full exchange is known without looking at its numbers (the
            // choices are drawn all the same, so a seed keeps its numbers).
            if (m_taken[static_cast<size_t>(exchange)] < NumbersPerExchange && claim(number))
                return number;
        }
        // The crowded exchanges are full: take the lowest free number of the
        // first exchange, from a random one on, that has any.
        const size_t start = random.below(static_cast<uint32_t>(m_exchanges.size()));
        auto open = m_open.lower_bound(start);
        if (open == m_open.end())
            open = m_open.begin();
        while (open != m_open.end()) {
            const size_t index = *open;
            const int base = m_exchanges[index] * NumbersPerExchange;
            int &free = m_lowestFree[index];
            while (free < NumbersPerExchange && m_used[static_cast<size_t>(base + free)])
                ++free;
            if (free < NumbersPerExchange) {
                claim(base + free);
                return base + free;
            }
            // Full: never looked at again.
            open = m_open.erase(open);
            if (open == m_open.end())
                open = m_open.begin();
        }
        throw DatabaseError(u"The sample city has run out of telephone numbers"_s);
    }

    // The number after `number` in the same exchange when it is free, else any free number.
    int takeNext(SampleRandom &random, int number)
    {
        const int next = number + 1;
        if (next / NumbersPerExchange == number / NumbersPerExchange && claim(next))
            return next;
        return take(random);
    }

    static QString text(int number) { return QString::number(number); }

private:
    bool claim(int number)
    {
        if (m_used[static_cast<size_t>(number)])
            return false;
        m_used[static_cast<size_t>(number)] = true;
        ++m_taken[static_cast<size_t>(number / NumbersPerExchange)];
        return true;
    }

    std::vector<bool> m_used;
    std::vector<int> m_taken; // numbers taken, by exchange code
    std::vector<int> m_exchanges;
    WeightedPick m_pick;
    // Per exchange (by its place in m_exchanges): every number below this one
    // is taken. The exchanges that may still have a free number.
    std::vector<int> m_lowestFree;
    std::set<size_t> m_open;
};

// Marks exactly `deleted` of `total` records, spread at random (selection sampling).
class DeletionPlan {
public:
    DeletionPlan(int total, int deleted) : m_remaining(total), m_deleted(deleted) {}
    bool next(SampleRandom &random)
    {
        const bool mark = m_deleted > 0 && random.below(static_cast<uint32_t>(m_remaining)) < static_cast<uint32_t>(m_deleted);
        --m_remaining;
        if (mark)
            --m_deleted;
        return mark;
    }

private:
    int m_remaining;
    int m_deleted;
};

int DeletedCount(int live, double share) { return static_cast<int>(std::lround(live * share / (1.0 - share))); }

QString RandomDate(SampleRandom &random)
{
    return u"%1%2%3"_s.arg(random.between(1962, 2008))
        .arg(random.between(1, 12), 2, 10, QChar(u'0'))
        .arg(random.between(1, 28), 2, 10, QChar(u'0'));
}

struct Person {
    QString surname; // already in the subscriber's gender
    QString name;
    QString patronymic;
};

class SampleWriter {
public:
    explicit SampleWriter(const SampleOptions &options)
        : m_options(options), m_random(options.seed), m_phones(m_random)
    {
        m_surnames = words(CommonSurnames());
        m_surnamePick = WeightedPick::rootHarmonic(static_cast<int>(m_surnames.size()));
        m_roots = words(SurnameRoots());
        m_endings = words(SurnameEndings());
        m_separatingSignSurnames = words(SeparatingSignSurnames());
        for (const MaleName &n : MaleNames())
            m_maleNames.push_back({word(n.name), word(n.patronymicMale), word(n.patronymicFemale)});
        m_malePick = WeightedPick::rootHarmonic(static_cast<int>(m_maleNames.size()));
        m_femaleNames = words(FemaleNames());
        m_femalePick = WeightedPick::rootHarmonic(static_cast<int>(m_femaleNames.size()));
        m_streets = words(Streets());
        m_streetPick = WeightedPick::rootHarmonic(static_cast<int>(m_streets.size()));
        m_brandWords = words(BrandWords());
        m_brandStems = words(BrandStems());
        m_brandTails = words(BrandTails());
        m_legalForms = words(LegalForms());
        m_honoured = words(HonouredNames());
        m_districts = words(DistrictNames());
        m_spheres = words(AuthoritySpheres());
        m_officeDepartments = words(OfficeDepartments());
        m_schoolDepartments = words(SchoolDepartments());
        m_medicalDepartments = words(MedicalDepartments());
        m_authorityDepartments = words(AuthorityDepartments());
        m_shopDepartments = words(ShopDepartments());
    }

    SampleSummary run()
    {
        QDir dir(m_options.directory);
        if (!dir.exists() && !QDir().mkpath(m_options.directory))
            throw DatabaseError(u"Cannot create the folder"_s, m_options.directory);
        SampleSummary summary;
        summary.personsPath = dir.filePath(PersonsFileName.toString());
        summary.organisationsPath = dir.filePath(OrganisationsFileName.toString());
        summary.persons = m_options.persons;
        summary.personsDeleted = DeletedCount(m_options.persons, m_options.deletedShare);
        summary.orgNumbers = m_options.orgNumbers;
        summary.orgNumbersDeleted = DeletedCount(m_options.orgNumbers, m_options.deletedShare);
        writePersons(summary.personsPath, summary.persons + summary.personsDeleted, summary.personsDeleted);
        summary.organisations =
            writeOrganisations(summary.organisationsPath, summary.orgNumbers + summary.orgNumbersDeleted, summary.orgNumbersDeleted);
        return summary;
    }

private:
    QString enc(const QString &plain) const { return EncodeText(plain, CipherKey); }

    DbfWriterOptions writerOptions() const
    {
        DbfWriterOptions o;
        o.codePage = m_options.codePage;
        o.languageDriver = m_options.unmarked ? 0x00 : (m_options.codePage == CodePage::Cp866 ? MarkCp866 : MarkWindows1251);
        return o;
    }

    template <typename T>
    const T &any(const QList<T> &list) { return list[static_cast<qsizetype>(m_random.below(static_cast<uint32_t>(list.size())))]; }

    QString maleSurname()
    {
        const double r = m_random.unit();
        if (m_options.madeUpSurnames && r < 0.5) {
            static const QStringList syllables =
                u"БА ВО ГУ ДЕ ЖИ ЗА КО ЛУ МЕ НИ ПА РО СУ ТЕ ФИ ХА ЦО ЧУ ШЕ ЯН БРЕ ВЛА ГРО ДРУ КРИ СЛА СТО ТРЯ ЛЕ МО"_s.split(u' ');
            QString surname = any(m_roots);
            for (int n = 1 + static_cast<int>(m_random.below(3)); n > 0; --n)
                surname += any(syllables);
            return surname + any(m_endings);
        }
        if (r < 0.003)
            return any(m_separatingSignSurnames);
        if (r < 0.25)
            return any(m_roots) + any(m_endings);
        return m_surnames[m_surnamePick.pick(m_random)];
    }

    Person person(bool female)
    {
        const QString male = maleSurname();
        const MaleNameText &father = m_maleNames[static_cast<size_t>(m_malePick.pick(m_random))];
        if (female)
            return {FemaleSurname(male), m_femaleNames[m_femalePick.pick(m_random)], father.patronymicFemale};
        const MaleNameText &own = m_maleNames[static_cast<size_t>(m_malePick.pick(m_random))];
        return {male, own.name, father.patronymicMale};
    }

    // "ИВАНОВ ИВАН ИВАНОВИЧ", and now and then "ИВАНОВ И.И." or a name without patronymic.
    QString fullName(const Person &p)
    {
        const double r = m_random.unit();
        if (r < 0.91)
            return p.surname + u' ' + p.name + u' ' + p.patronymic;
        if (r < 0.97)
            return p.surname + u' ' + p.name.left(1) + u'.' + p.patronymic.left(1) + u'.';
        if (r < 0.995)
            return p.surname + u' ' + p.name;
        return p.surname;
    }

    QString house()
    {
        const double u = m_random.unit();
        const int number = 1 + static_cast<int>(u * u * 180); // small numbers are the commonest
        QString text = QString::number(number);
        const double r = m_random.unit();
        if (r < 0.07)
            text += QStringView(u"АББВВГ").mid(m_random.below(6), 1);
        else if (r < 0.11)
            text += u'/' + QString::number(m_random.between(1, 12));
        return rightAligned(text, HouseWidth);
    }

    QString flat()
    {
        if (m_random.chance(0.14))
            return {}; // a private house
        const double u = m_random.unit();
        return rightAligned(QString::number(1 + static_cast<int>(u * std::sqrt(u) * 280)), FlatWidth);
    }

    QString street() { return m_streets[m_streetPick.pick(m_random)]; }

    void writePersons(const QString &path, int total, int deleted)
    {
        DbfWriter writer(path,
                         {{u"KOD"_s, 'N', 8, 0},
                          {u"NT"_s, 'C', PersonPhoneWidth, 0},
                          {u"FIO"_s, 'C', NameWidth, 0},
                          {u"STREET"_s, 'C', StreetWidth, 0},
                          {u"HOUS"_s, 'C', HouseWidth, 0},
                          {u"FLAT"_s, 'C', FlatWidth, 0},
                          {u"DATV"_s, 'D', 8, 0}},
                         writerOptions());
        DeletionPlan plan(total, deleted);
        std::vector<QString> values(7);
        for (int i = 0; i < total; ++i) {
            const Person p = person(m_random.chance(0.54));
            values[0] = QString::number(i + 1);
            values[1] = enc(PhonePool::text(m_phones.take(m_random)));
            values[2] = enc(fullName(p));
            values[3] = enc(street());
            values[4] = enc(house());
            values[5] = enc(flat());
            values[6] = RandomDate(m_random);
            writer.addRecord(values, plan.next(m_random));
        }
        writer.finish();
    }

    // ---- organisations ----

    enum class Kind { Company, Entrepreneur, School, Kindergarten, Medical, Post, Housing, Plant, Authority, Shop, Bank, Partnership };

    struct Organisation {
        QString name;
        QString secondName; // may be empty
        QString industry;
        const QStringList *departments = nullptr;
        QString firstDepartment;
        int maxNumbers = 1;
    };

    QString brand()
    {
        const double r = m_random.unit();
        if (r < 0.40)
            return any(m_brandWords);
        if (r < 0.85) {
            const QString stem = any(m_brandStems);
            QString tail = any(m_brandTails);
            while (tail == stem)
                tail = any(m_brandTails);
            return stem + tail;
        }
        static const QStringList suffixes = {u"ПЛЮС"_s, u"М"_s, u"2000"_s, u"ЦЕНТР"_s, u"СЕРВИС"_s, u"К"_s};
        return any(m_brandWords) + u'-' + any(suffixes);
    }

    int nextNumber(int &counter)
    {
        counter += m_random.between(1, 3);
        return counter;
    }

    Organisation organisation(Kind kind)
    {
        Organisation o;
        const QString numero = u" № "_s;
        switch (kind) {
        case Kind::Company: {
            const QString form = any(m_legalForms);
            const QString b = brand();
            const double r = m_random.unit();
            if (r < 0.85)
                o.name = form + u" \""_s + b + u'"';
            else if (r < 0.90)
                o.name = form + u' ' + b; // unquoted, as some records have it
            else
                o.name = b + u", "_s + form;
            if (m_random.chance(0.45))
                o.secondName = b;
            o.industry = u"Промышленность"_s;
            o.departments = &m_officeDepartments;
            o.firstDepartment = m_random.chance(0.8) ? u"Приемная"_s : u"Секретарь"_s;
            o.maxNumbers = MaxNumbersPerOrganisation;
            break;
        }
        case Kind::Entrepreneur: {
            const Person p = person(m_random.chance(0.4));
            o.name = u"ИП "_s + p.surname + u' ' + p.name.left(1) + u'.' + p.patronymic.left(1) + u'.';
            static const QStringList places = {u"Магазин"_s, u"Мастерская"_s, u"Салон"_s, u"Офис"_s};
            o.industry = u"Услуги"_s;
            o.departments = &places;
            o.maxNumbers = 2;
            break;
        }
        case Kind::School: {
            const int n = nextNumber(m_schoolCounter);
            const double r = m_random.unit();
            const QString type = r < 0.6 ? u"СОШ"_s : (r < 0.85 ? u"ГИМНАЗИЯ"_s : u"ЛИЦЕЙ"_s);
            o.name = u"МБОУ "_s + type + numero + QString::number(n);
            if (m_random.chance(0.8))
                o.secondName = (type == u"СОШ"_s ? u"ШКОЛА"_s : type) + numero + QString::number(n);
            o.industry = u"Образование"_s;
            o.departments = &m_schoolDepartments;
            o.firstDepartment = u"Директор"_s;
            o.maxNumbers = 12;
            break;
        }
        case Kind::Kindergarten: {
            const int n = nextNumber(m_kindergartenCounter);
            o.name = u"МБДОУ ДЕТСКИЙ САД"_s + numero + QString::number(n);
            if (m_random.chance(0.5))
                o.secondName = u"ДЕТСКИЙ САД \""_s + any(m_brandWords) + u'"';
            o.industry = u"Образование"_s;
            o.departments = &m_schoolDepartments;
            o.firstDepartment = u"Заведующая"_s;
            o.maxNumbers = 4;
            break;
        }
        case Kind::Medical: {
            const double r = m_random.unit();
            o.industry = u"Здравоохранение"_s;
            o.departments = &m_medicalDepartments;
            if (r < 0.4) {
                const int n = nextNumber(m_clinicCounter);
                o.name = u"ГОРОДСКАЯ ПОЛИКЛИНИКА"_s + numero + QString::number(n);
                o.secondName = u"ПОЛИКЛИНИКА"_s + numero + QString::number(n);
                o.firstDepartment = u"Регистратура"_s;
                o.maxNumbers = 20;
            } else if (r < 0.6) {
                const int n = nextNumber(m_hospitalCounter);
                o.name = u"ГОРОДСКАЯ КЛИНИЧЕСКАЯ БОЛЬНИЦА"_s + numero + QString::number(n);
                o.secondName = u"ГКБ"_s + numero + QString::number(n);
                o.firstDepartment = u"Справочная"_s;
                o.maxNumbers = MaxNumbersPerOrganisation;
            } else {
                o.name = u"АПТЕКА"_s + numero + QString::number(nextNumber(m_pharmacyCounter));
                o.departments = &m_shopDepartments;
                o.maxNumbers = 3;
            }
            break;
        }
        case Kind::Post: {
            const int n = nextNumber(m_postCounter);
            o.name = u"ОТДЕЛЕНИЕ ПОЧТОВОЙ СВЯЗИ"_s + numero + QString::number(n);
            o.secondName = u"ПОЧТА"_s + numero + QString::number(n);
            o.industry = u"Связь"_s;
            static const QStringList places = {u"Начальник"_s, u"Доставка"_s, u"Переводы"_s};
            o.departments = &places;
            o.maxNumbers = 3;
            break;
        }
        case Kind::Housing: {
            static const QStringList places = {u"Председатель"_s, u"Диспетчер"_s, u"Мастер"_s, u"Бухгалтерия"_s};
            o.industry = u"ЖКХ"_s;
            o.departments = &places;
            o.maxNumbers = 4;
            if (m_random.chance(0.5)) {
                const int n = nextNumber(m_garageCounter);
                o.name = u"ГАРАЖНЫЙ КООПЕРАТИВ"_s + numero + QString::number(n);
                o.secondName = u"ГСК-"_s + QString::number(n);
            } else {
                const int n = nextNumber(m_housingCounter);
                o.name = u"ЖИЛИЩНО-ЭКСПЛУАТАЦИОННЫЙ УЧАСТОК"_s + numero + QString::number(n);
                o.secondName = u"ЖЭУ-"_s + QString::number(n);
            }
            break;
        }
        case Kind::Plant: {
            static const QStringList types = {u"ЗАВОД ИМ. "_s, u"ФАБРИКА ИМ. "_s, u"ОАО \"ЗАВОД ИМ. "_s,
                                              u"ДВОРЕЦ КУЛЬТУРЫ ИМ. "_s, u"СТАДИОН ИМ. "_s};
            const QString type = any(types);
            const QString honoured = any(m_honoured);
            o.name = type + honoured + (type.contains(u'"') ? u"\""_s : QString());
            if (m_random.chance(0.3))
                o.secondName = u"ИМ. "_s + honoured;
            o.industry = u"Промышленность"_s;
            o.departments = &m_officeDepartments;
            o.firstDepartment = u"Приемная"_s;
            o.maxNumbers = MaxNumbersPerOrganisation;
            break;
        }
        case Kind::Authority: {
            const double r = m_random.unit();
            o.industry = u"Госуправление"_s;
            o.departments = &m_authorityDepartments;
            o.firstDepartment = u"Приемная"_s;
            o.maxNumbers = MaxNumbersPerOrganisation;
            if (r < 0.3) {
                o.name = u"АДМИНИСТРАЦИЯ "_s + any(m_districts);
            } else if (r < 0.7) {
                o.name = u"УПРАВЛЕНИЕ "_s + any(m_spheres) + u' ' + any(m_districts);
            } else if (r < 0.85) {
                const int n = nextNumber(m_policeCounter);
                o.name = u"ОТДЕЛ ПОЛИЦИИ"_s + numero + QString::number(n);
                o.secondName = u"ОП"_s + numero + QString::number(n);
                static const QStringList places = {u"Дежурная часть"_s, u"Участковые"_s, u"Паспортный стол"_s,
                                                   u"Канцелярия"_s, u"Отдел кадров"_s};
                o.departments = &places;
                o.firstDepartment = u"Дежурная часть"_s;
            } else {
                const int n = nextNumber(m_fireCounter);
                o.name = u"ПОЖАРНАЯ ЧАСТЬ"_s + numero + QString::number(n);
                o.secondName = u"ПЧ-"_s + QString::number(n);
                o.firstDepartment = u"Дежурный"_s;
                o.maxNumbers = 3;
            }
            break;
        }
        case Kind::Shop: {
            static const QStringList types = {u"МАГАЗИН"_s, u"КАФЕ"_s, u"РЕСТОРАН"_s, u"САЛОН КРАСОТЫ"_s,
                                              u"ПАРИКМАХЕРСКАЯ"_s, u"АТЕЛЬЕ"_s, u"СТОЛОВАЯ"_s, u"БАР"_s};
            const QString b = m_random.chance(0.5) ? any(m_brandWords) : brand();
            o.name = any(types) + u" \""_s + b + u'"';
            if (m_random.chance(0.15))
                o.secondName = b;
            o.industry = u"Торговля"_s;
            o.departments = &m_shopDepartments;
            o.maxNumbers = 4;
            break;
        }
        case Kind::Bank: {
            const QString b = any(m_brandWords);
            if (m_random.chance(0.6))
                o.name = u"БАНК \""_s + b + u"\", ФИЛИАЛ"_s + numero + QString::number(m_random.between(1, 40));
            else
                o.name = u"ПАО \""_s + b + u" БАНК\""_s;
            o.secondName = u"БАНК "_s + b;
            o.industry = u"Финансы"_s;
            o.departments = &m_officeDepartments;
            o.firstDepartment = u"Справочная"_s;
            o.maxNumbers = 15;
            break;
        }
        case Kind::Partnership: {
            o.name = (m_random.chance(0.7) ? u"ТСЖ \""_s : u"СНТ \""_s) + any(m_brandWords) + u'"';
            static const QStringList places = {u"Председатель"_s, u"Правление"_s};
            o.industry = u"ЖКХ"_s;
            o.departments = &places;
            o.maxNumbers = 2;
            break;
        }
        }
        return o;
    }

    Kind kind()
    {
        static const std::vector<Kind> kinds = {Kind::Company, Kind::Entrepreneur, Kind::School, Kind::Kindergarten,
                                                Kind::Medical, Kind::Post, Kind::Housing, Kind::Plant,
                                                Kind::Authority, Kind::Shop, Kind::Bank, Kind::Partnership};
        static const WeightedPick pick({30, 8, 5, 5, 5, 2, 4, 3, 4, 18, 3, 5});
        return kinds[static_cast<size_t>(pick.pick(m_random))];
    }

    // A fresh organisation whose name no other organisation has.
    Organisation uniqueOrganisation()
    {
        Organisation o;
        for (int attempt = 0; attempt < 20; ++attempt) {
            o = organisation(kind());
            if (!m_names.contains(o.name)) {
                m_names.insert(o.name);
                return o;
            }
        }
        // Every name tried is taken: number this one.
        for (int n = 2;; ++n) {
            const QString name = o.name + u" № "_s + QString::number(n);
            if (!m_names.contains(name)) {
                o.name = name;
                m_names.insert(name);
                return o;
            }
        }
    }

    int writeOrganisations(const QString &path, int total, int deleted)
    {
        DbfWriter writer(path,
                         {{u"NT"_s, 'C', OrgPhoneWidth, 0},
                          {u"NAIM"_s, 'C', OrgNameWidth, 0},
                          {u"KNAIM"_s, 'C', OrgSecondNameWidth, 0},
                          {u"MESTO"_s, 'C', DepartmentWidth, 0},
                          {u"STREET"_s, 'C', StreetWidth, 0},
                          {u"HOUS"_s, 'C', HouseWidth, 0},
                          {u"OTRASL"_s, 'C', IndustryWidth, 0},
                          {u"KOD"_s, 'N', 8, 0}},
                         writerOptions());
        DeletionPlan plan(total, deleted);
        QSet<QString> liveNames;
        std::vector<QString> values(8);
        int written = 0;
        while (written < total) {
            const Organisation o = uniqueOrganisation();
            const double u = m_random.unit();
            const int wanted = 1 + static_cast<int>(u * u * u * (o.maxNumbers - 1) + 0.5); // most have a few
            const int count = std::min(wanted, total - written);
            const bool block = m_random.chance(0.6);
            const QString mainStreet = enc(street());
            const QString mainHouse = enc(house());
            const QString branchStreet = enc(street());
            const QString branchHouse = enc(house());
            const bool hasBranch = count >= 4 && m_random.chance(0.3);
            values[1] = enc(o.name);
            values[2] = enc(o.secondName);
            values[6] = enc(o.industry);
            int number = m_phones.take(m_random);
            for (int row = 0; row < count; ++row) {
                if (row > 0)
                    number = block ? m_phones.takeNext(m_random, number) : m_phones.take(m_random);
                QString department;
                if (row == 0 && !o.firstDepartment.isEmpty() && (count > 1 || m_random.chance(0.5)))
                    department = o.firstDepartment;
                else if (count > 1 || m_random.chance(0.3))
                    department = any(*o.departments);
                const bool branch = hasBranch && row > 0 && m_random.chance(0.2);
                values[0] = enc(u"  "_s + PhonePool::text(number));
                values[3] = enc(department);
                values[4] = branch ? branchStreet : mainStreet;
                values[5] = branch ? branchHouse : mainHouse;
                values[7] = QString::number(written + 1);
                const bool isDeleted = plan.next(m_random);
                if (!isDeleted)
                    liveNames.insert(o.name);
                writer.addRecord(values, isDeleted);
                ++written;
            }
        }
        writer.finish();
        return static_cast<int>(liveNames.size());
    }

    const SampleOptions &m_options;
    SampleRandom m_random;
    PhonePool m_phones;

    QStringList m_surnames, m_roots, m_endings, m_separatingSignSurnames, m_femaleNames, m_streets;
    struct MaleNameText {
        QString name, patronymicMale, patronymicFemale;
    };
    std::vector<MaleNameText> m_maleNames;
    WeightedPick m_surnamePick, m_malePick, m_femalePick, m_streetPick;
    QStringList m_brandWords, m_brandStems, m_brandTails, m_legalForms, m_honoured, m_districts, m_spheres;
    QStringList m_officeDepartments, m_schoolDepartments, m_medicalDepartments, m_authorityDepartments, m_shopDepartments;

    QSet<QString> m_names;
    int m_schoolCounter = 0, m_kindergartenCounter = 0, m_clinicCounter = 0, m_hospitalCounter = 0,
        m_pharmacyCounter = 0, m_postCounter = 0, m_garageCounter = 0, m_housingCounter = 0,
        m_policeCounter = 0, m_fireCounter = 0;
};

} // namespace

SampleSummary WriteSampleDirectory(const SampleOptions &options)
{
    if (options.directory.isEmpty())
        throw DatabaseError(u"No folder given for the sample directory"_s);
    if (options.persons < 0 || options.orgNumbers < 0)
        throw DatabaseError(u"The number of records cannot be negative"_s);
    if (!(options.deletedShare >= 0.0 && options.deletedShare <= MaxDeletedShare))
        throw DatabaseError(u"The share of deleted records must lie between 0 and %1"_s.arg(MaxDeletedShare));
    if (options.codePage != CodePage::Windows1251 && options.codePage != CodePage::Cp866)
        throw DatabaseError(u"The sample directory is written in windows-1251 or cp866 only"_s);
    const double numbers = (options.persons + static_cast<double>(options.orgNumbers)) / (1.0 - options.deletedShare);
    if (numbers > PhonePool::capacity() * 0.9)
        throw DatabaseError(u"The sample city has at most %1 telephone numbers"_s.arg(PhonePool::capacity() * 9 / 10));
    return SampleWriter(options).run();
}

} // namespace phonebook::sample
