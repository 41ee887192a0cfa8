// The sample directory read back through our table reader: sizes, deleted
// share, the storage conventions the searches rely on, and determinism.

#include "DatabaseError.h"
#include "DbfTable.h"
#include "SampleDirectory.h"
#include "UHelpFull.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace phonebook;
using namespace Qt::StringLiterals;

namespace {

constexpr int Persons = 3000;
constexpr int OrgNumbers = 1500;
constexpr double DeletedShare = 0.1;

sample::SampleOptions SmallOptions(const QString &dir)
{
    sample::SampleOptions o;
    o.directory = dir;
    o.persons = Persons;
    o.orgNumbers = OrgNumbers;
    o.seed = 11;
    o.deletedShare = DeletedShare;
    return o;
}

QString Plain(const DbfTable &table, uint32_t record, const char16_t *field)
{
    const int index = table.fieldIndex(QStringView(field));
    EXPECT_GE(index, 0) << "no field " << QString::fromUtf16(field).toStdString();
    return DecodeText(table.text(record, index), CipherKey);
}

QString Stored(const DbfTable &table, uint32_t record, const char16_t *field)
{
    return table.text(record, table.fieldIndex(QStringView(field)));
}

bool IsUpper(const QString &s) { return s == s.toUpper(); }

// A house of the sample as stored: right-aligned in seven characters.
bool IsRightAligned(const QString &stored, int width)
{
    return stored.size() == width && !stored.back().isSpace() && (stored.front() != u' ' || stored.trimmed().size() < width);
}

class SampleDirectoryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_summary = sample::WriteSampleDirectory(SmallOptions(s_dir->path()));
        s_persons = DbfTable::open(s_summary.personsPath);
        s_organisations = DbfTable::open(s_summary.organisationsPath);
    }
    static void TearDownTestSuite()
    {
        s_persons.reset();
        s_organisations.reset();
        delete s_dir;
    }

    static QTemporaryDir *s_dir;
    static sample::SampleSummary s_summary;
    static std::shared_ptr<const DbfTable> s_persons;
    static std::shared_ptr<const DbfTable> s_organisations;
};

QTemporaryDir *SampleDirectoryTest::s_dir = nullptr;
sample::SampleSummary SampleDirectoryTest::s_summary;
std::shared_ptr<const DbfTable> SampleDirectoryTest::s_persons;
std::shared_ptr<const DbfTable> SampleDirectoryTest::s_organisations;

TEST_F(SampleDirectoryTest, CountsAndDeletedShare)
{
    for (const auto &[table, live, deleted] :
         {std::tuple{s_persons, Persons, s_summary.personsDeleted}, std::tuple{s_organisations, OrgNumbers, s_summary.orgNumbersDeleted}}) {
        SCOPED_TRACE(table->path().toStdString());
        EXPECT_TRUE(table->warnings().isEmpty()) << table->warnings().join(u'\n').toStdString();
        EXPECT_EQ(table->liveCount(), static_cast<uint32_t>(live));
        EXPECT_EQ(table->physicalCount(), static_cast<uint32_t>(live + deleted));
        uint32_t marked = 0;
        for (uint32_t r = 0; r < table->physicalCount(); ++r)
            marked += table->isDeleted(r) ? 1 : 0;
        EXPECT_EQ(marked, static_cast<uint32_t>(deleted));
        EXPECT_NEAR(static_cast<double>(marked) / table->physicalCount(), DeletedShare, 0.005);
        EXPECT_EQ(table->codePage(), CodePage::Windows1251);
    }
    // The extra fields are there, the numeric and date ones among them.
    EXPECT_GE(s_organisations->fieldIndex(u"otrasl"), 0);
    int width = 0;
    bool typed = false;
    for (const DbfField &f : s_persons->fields()) {
        width += f.length;
        typed |= f.kind != FieldKind::Text;
    }
    EXPECT_EQ(s_persons->recordLength(), width + 1);
    EXPECT_TRUE(typed);
}

TEST_F(SampleDirectoryTest, IndividualsFollowTheStorageConventions)
{
    static const QRegularExpression name(u"^[А-ЯЁ][А-ЯЁ-]*( [А-ЯЁ][А-ЯЁ-]*| [А-ЯЁ]\\.[А-ЯЁ]\\.)*$"_s);
    static const QRegularExpression houseText(u"^[1-9][0-9]*([А-Г]|/[0-9]+)?$"_s);
    static const QRegularExpression streetText(u"^(ул\\.|пр\\.|пер\\.|пл\\.|б-р|ш\\.|наб\\.|пр-д|туп\\.) \\S"_s);
    QSet<QString> numbers;
    int lettered = 0, fractional = 0, noFlat = 0, female = 0, initials = 0;
    for (uint32_t live = 0; live < s_persons->liveCount(); ++live) {
        const uint32_t r = s_persons->liveRecord(live);
        const QString nt = Plain(*s_persons, r, u"nt");
        const QString fio = Plain(*s_persons, r, u"FIO");
        const QString street = Plain(*s_persons, r, u"Street");
        const QString hous = Plain(*s_persons, r, u"hous");
        const QString flat = Plain(*s_persons, r, u"flat");
        SCOPED_TRACE((nt + u' ' + fio + u' ' + street + u' ' + hous + u'|' + flat).toStdString());

        ASSERT_EQ(nt.size(), sample::PhoneDigits);
        ASSERT_TRUE(nt.front() >= u'2' && nt.front() <= u'6');
        ASSERT_TRUE(std::all_of(nt.begin(), nt.end(), [](QChar c) { return c.isDigit(); }));
        ASSERT_FALSE(numbers.contains(nt)) << "numbers are unique";
        numbers.insert(nt);

        ASSERT_TRUE(name.match(fio).hasMatch());
        ASSERT_TRUE(IsUpper(fio));
        ASSERT_TRUE(streetText.match(street).hasMatch());

        ASSERT_TRUE(IsRightAligned(Stored(*s_persons, r, u"hous"), 7));
        ASSERT_TRUE(houseText.match(hous.trimmed()).hasMatch());
        if (flat.isEmpty()) {
            ++noFlat;
        } else {
            ASSERT_TRUE(IsRightAligned(Stored(*s_persons, r, u"flat"), 3));
            ASSERT_GT(flat.trimmed().toInt(), 0);
        }
        lettered += hous.back().isLetter() ? 1 : 0;
        fractional += hous.contains(u'/') ? 1 : 0;
        // A surname agrees with the patronymic's gender.
        const QStringList words = fio.split(u' ');
        if (words.size() == 3) {
            // Feminine endings, or a surname that does not change (ШЕВЧЕНКО, ЧЕРНЫХ, КИМ, ЦОЙ).
            static const QRegularExpression femaleSurname(u"(А|АЯ|КО|УК|ЮК|ЕЦ|ИХ|ЫХ|ИЧ|РО|ИМ|ОЙ|АК|ЛИ|ЕН)$"_s);
            static const QRegularExpression notMale(u"(ОВА|ЕВА|ЁВА|ИНА|АЯ)$"_s);
            if (words[2].endsWith(u"НА"_s))
                ASSERT_TRUE(femaleSurname.match(words[0]).hasMatch());
            else
                ASSERT_FALSE(notMale.match(words[0]).hasMatch());
        }
        female += fio.endsWith(u"ВНА"_s) || fio.endsWith(u"ИЧНА"_s) ? 1 : 0;
        initials += fio.endsWith(u'.') ? 1 : 0;
    }
    // The variety the searches are to be tried on.
    EXPECT_GT(lettered, Persons / 50);
    EXPECT_GT(fractional, Persons / 100);
    EXPECT_GT(noFlat, Persons / 20);
    EXPECT_GT(female, Persons / 3);
    EXPECT_GT(initials, Persons / 50);
}

TEST_F(SampleDirectoryTest, OrganisationsShareTheirNameAcrossTheirNumbers)
{
    // Rows of one organisation lie together; no two organisations share a name.
    std::map<QString, int> rowsByName;
    QSet<QString> finished;
    QString current;
    int withSecondName = 0, withSeparators = 0, departments = 0;
    for (uint32_t live = 0; live < s_organisations->liveCount(); ++live) {
        const uint32_t r = s_organisations->liveRecord(live);
        const QString storedNt = Stored(*s_organisations, r, u"NT");
        const QString naim = Plain(*s_organisations, r, u"naim");
        const QString knaim = Plain(*s_organisations, r, u"knaim");
        const QString mesto = Plain(*s_organisations, r, u"mesto");
        SCOPED_TRACE((storedNt + u' ' + naim + u" / "_s + knaim + u" / "_s + mesto).toStdString());

        ASSERT_EQ(storedNt.size(), sample::PhoneDigits + 2);
        ASSERT_TRUE(storedNt.startsWith(u"  "_s));
        const QString nt = Plain(*s_organisations, r, u"nt").mid(2);
        ASSERT_TRUE(std::all_of(nt.begin(), nt.end(), [](QChar c) { return c.isDigit(); }));
        ASSERT_TRUE(IsRightAligned(Stored(*s_organisations, r, u"hous"), 7));

        ASSERT_FALSE(naim.isEmpty());
        ASSERT_TRUE(IsUpper(naim));
        ASSERT_TRUE(IsUpper(knaim));
        if (naim != current) {
            ASSERT_FALSE(finished.contains(naim)) << "an organisation's rows are split";
            if (!current.isEmpty())
                finished.insert(current);
            current = naim;
        }
        ++rowsByName[naim];
        withSecondName += knaim.isEmpty() ? 0 : 1;
        withSeparators += naim.contains(u'"') || naim.contains(u',') || naim.contains(u'.') ? 1 : 0;
        departments += mesto.isEmpty() || IsUpper(mesto) ? 0 : 1;
    }
    int largest = 0, single = 0;
    for (const auto &[name, rows] : rowsByName) {
        largest = std::max(largest, rows);
        single += rows == 1 ? 1 : 0;
    }
    // Deleted rows can only shrink an organisation.
    EXPECT_LE(largest, sample::MaxNumbersPerOrganisation);
    EXPECT_GE(largest, 15);
    EXPECT_GT(single, 0);
    EXPECT_EQ(static_cast<int>(rowsByName.size()), s_summary.organisations);
    EXPECT_GT(withSecondName, 0);
    EXPECT_GT(withSeparators, OrgNumbers / 10);
    EXPECT_GT(departments, OrgNumbers / 2);
}

// A character the cipher has no place for (an apostrophe, «, an accented
// letter) is stored as the key's own character and deciphers as "Z", the
// alphabet's last. The sample city writes Russian only, so no stored text,
// deleted records' included, may decipher to a Latin letter.
TEST_F(SampleDirectoryTest, EveryTextDeciphersWithoutForeignCharacters)
{
    static const QRegularExpression latin(u"[A-Za-z]"_s);
    for (const auto &table : {s_persons, s_organisations}) {
        for (uint32_t r = 0; r < table->physicalCount(); ++r) {
            for (int f = 0; f < static_cast<int>(table->fields().size()); ++f) {
                if (table->fields()[static_cast<size_t>(f)].kind != FieldKind::Text)
                    continue;
                const QString plain = DecodeText(table->text(r, f), CipherKey);
                ASSERT_FALSE(latin.match(plain).hasMatch()) << plain.toStdString() << " in " << table->path().toStdString();
            }
        }
    }
}

TEST_F(SampleDirectoryTest, TelephoneNumbersAreNotSharedBetweenTheTables)
{
    QSet<QString> persons;
    for (uint32_t live = 0; live < s_persons->liveCount(); ++live)
        persons.insert(Plain(*s_persons, s_persons->liveRecord(live), u"nt"));
    for (uint32_t live = 0; live < s_organisations->liveCount(); ++live)
        ASSERT_FALSE(persons.contains(Plain(*s_organisations, s_organisations->liveRecord(live), u"nt").mid(2)));
}

QByteArray FileWithoutDate(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    if (bytes.size() > 4)
        bytes.remove(1, 3); // the date of last update
    return bytes;
}

TEST(SampleDirectory, SameSeedWritesTheSameTables)
{
    QTemporaryDir a, b, c;
    sample::SampleOptions options = SmallOptions(a.path());
    sample::WriteSampleDirectory(options);
    options.directory = b.path();
    sample::WriteSampleDirectory(options);
    options.directory = c.path();
    options.seed = 12;
    sample::WriteSampleDirectory(options);
    for (QStringView file : {sample::PersonsFileName, sample::OrganisationsFileName}) {
        const QString name = file.toString();
        const QByteArray first = FileWithoutDate(a.filePath(name));
        EXPECT_GT(first.size(), 1000);
        EXPECT_EQ(first, FileWithoutDate(b.filePath(name))) << name.toStdString();
        EXPECT_NE(first, FileWithoutDate(c.filePath(name))) << name.toStdString();
    }
}

// The cp866 tables hold the same text as the Windows-1251 ones, marked or not.
TEST(SampleDirectory, Cp866TablesHoldTheSameText)
{
    QTemporaryDir windows, dos, unmarked;
    sample::SampleOptions options = SmallOptions(windows.path());
    options.persons = 500;
    options.orgNumbers = 300;
    sample::WriteSampleDirectory(options);
    options.codePage = CodePage::Cp866;
    options.directory = dos.path();
    sample::WriteSampleDirectory(options);
    options.unmarked = true;
    options.directory = unmarked.path();
    sample::WriteSampleDirectory(options);

    for (QStringView file : {sample::PersonsFileName, sample::OrganisationsFileName}) {
        const QString name = file.toString();
        const auto reference = DbfTable::open(windows.filePath(name));
        for (const QString &path : {dos.filePath(name), unmarked.filePath(name)}) {
            SCOPED_TRACE(path.toStdString());
            const auto table = DbfTable::open(path);
            EXPECT_EQ(table->codePage(), CodePage::Cp866);
            ASSERT_EQ(table->physicalCount(), reference->physicalCount());
            ASSERT_EQ(table->fields().size(), reference->fields().size());
            for (uint32_t r = 0; r < table->physicalCount(); ++r) {
                for (int f = 0; f < static_cast<int>(table->fields().size()); ++f)
                    ASSERT_EQ(table->text(r, f), reference->text(r, f)) << r << ' ' << f;
            }
        }
    }
    QFile marked(dos.filePath(sample::PersonsFileName.toString()));
    ASSERT_TRUE(marked.open(QIODevice::ReadOnly));
    EXPECT_EQ(static_cast<unsigned char>(marked.read(32).at(29)), 0x26);
}

TEST(SampleDirectory, RefusesOptionsOutOfRange)
{
    QTemporaryDir dir;
    sample::SampleOptions options = SmallOptions(dir.path());
    options.deletedShare = 1.0;
    EXPECT_THROW(sample::WriteSampleDirectory(options), DatabaseError);
    options.deletedShare = 0;
    options.persons = -1;
    EXPECT_THROW(sample::WriteSampleDirectory(options), DatabaseError);
    options.persons = 5'000'000;
    EXPECT_THROW(sample::WriteSampleDirectory(options), DatabaseError);
    options.persons = 0;
    options.orgNumbers = 0;
    const sample::SampleSummary empty = sample::WriteSampleDirectory(options);
    EXPECT_EQ(DbfTable::open(empty.personsPath)->liveCount(), 0u);
}

} // namespace
