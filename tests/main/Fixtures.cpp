#include "Fixtures.h"

#include "CoreTranslation.h"
#include "DbfWriter.h"
#include "UHelpFull.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>

namespace phonebook::fixtures {

namespace {

#ifdef PHONEBOOK_TRANSLATIONS_DIR
// The windows under test speak Russian, as the program does: the core's
// messages are read through the translation built beside the program.
void InstallRussianMessages()
{
    if (!InstallCoreTranslation(QLocale(QLocale::Russian), QStringLiteral(PHONEBOOK_TRANSLATIONS_DIR)))
        qFatal("The Russian translation is missing from %s", PHONEBOOK_TRANSLATIONS_DIR);
}
Q_COREAPP_STARTUP_FUNCTION(InstallRussianMessages)
#endif

QString Stored(const QString &plain)
{
    return EncodeText(plain, CipherKey);
}

// A field `length` characters wide, in bytes: a UTF-8 character takes up to three.
int Width(int length, CodePage page)
{
    return page == CodePage::Utf8 ? 3 * length : length;
}

QString Padded(const QString &value, int width)
{
    return value.rightJustified(width, u' ');
}

} // namespace

void WritePersons(const QString &directory, const std::vector<Person> &rows, CodePage page)
{
    DbfWriter writer(QDir(directory).filePath(QStringLiteral("sp09kw_n.dbf")),
                     {{QStringLiteral("nt"), 'C', Width(7, page)},
                      {QStringLiteral("fio"), 'C', Width(40, page)},
                      {QStringLiteral("street"), 'C', Width(30, page)},
                      {QStringLiteral("hous"), 'C', Width(10, page)},
                      {QStringLiteral("flat"), 'C', Width(5, page)}},
                     {page});
    for (const Person &p : rows)
        writer.addRecord({Stored(p.nt), Stored(p.fio), Stored(p.street), Stored(Padded(p.hous, 7)),
                          Stored(Padded(p.flat, 3))},
                         p.deleted);
    writer.finish();
}

void WriteOrgPhones(const QString &directory, const std::vector<OrgPhone> &rows, CodePage page)
{
    DbfWriter writer(QDir(directory).filePath(QStringLiteral("sp09pr_n.dbf")),
                     {{QStringLiteral("nt"), 'C', Width(9, page)},
                      {QStringLiteral("naim"), 'C', Width(60, page)},
                      {QStringLiteral("knaim"), 'C', Width(30, page)},
                      {QStringLiteral("mesto"), 'C', Width(40, page)},
                      {QStringLiteral("street"), 'C', Width(30, page)},
                      {QStringLiteral("hous"), 'C', Width(10, page)}},
                     {page});
    for (const OrgPhone &o : rows)
        writer.addRecord({Stored(QStringLiteral("  ") + o.nt), Stored(o.naim), Stored(o.knaim), Stored(o.mesto),
                          Stored(o.street), Stored(Padded(o.hous, 7))},
                         o.deleted);
    writer.finish();
}

std::vector<Person> NumberedPersons(int count)
{
    std::vector<Person> rows;
    rows.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i)
        rows.push_back({QString::number(200000 + i), QStringLiteral("АБОНЕНТ %1").arg(i), QStringLiteral("ул. Лесная"),
                        QString::number(i % 90 + 1), QString::number(i % 200 + 1)});
    return rows;
}

} // namespace phonebook::fixtures
