#include "AddressSearch.h"

#include "Dataset.h"
#include "SearchRun.h"
#include "SearchText.h"
#include "UHelpFull.h"

namespace phonebook::search {

namespace {

using namespace Qt::StringLiterals;

QString Quoted(QStringView text) { return u'\'' + SqlQuoted(text) + u'\''; }

// The stored form of a padded entry followed by "%".
QString PaddedPattern(QStringView text, int width)
{
    return Quoted(EncodeText(PadLeft(text, width), CipherKey) + u'%');
}

} // namespace

QString PadLeft(QStringView text, int width)
{
    return text.size() >= width ? text.toString() : QString(width - text.size(), u' ') + text.toString();
}

QString PersonAddressSql(QStringView street, QStringView house, QStringView flat)
{
    QString sql = u"SELECT sp09kw_n.nt,sp09kw_n.fio,sp09kw_n.street,sp09kw_n.hous,sp09kw_n.flat FROM sp09kw_n "
                  u"WHERE sp09kw_n.street LIKE "_s
        + Quoted(EncodeText(street, CipherKey));
    if (!house.isEmpty() && !flat.isEmpty()) {
        sql += u" AND (sp09kw_n.hous LIKE "_s + PaddedPattern(house, HouseWidth) + u" AND sp09kw_n.flat LIKE "_s
            + PaddedPattern(flat, FlatWidth) + u')';
    } else if (!house.isEmpty()) {
        sql += u" AND (sp09kw_n.hous LIKE "_s + PaddedPattern(house, HouseWidth) + u')';
    } else if (!flat.isEmpty()) {
        sql += u" AND (sp09kw_n.flat LIKE "_s + PaddedPattern(flat, FlatWidth) + u')';
    }
    return sql + u" ORDER BY fio,street,hous"_s;
}

QString OrgAddressSql(QStringView street, QStringView house)
{
    QString sql = u"SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE street LIKE "_s
        + Quoted(EncodeText(street, CipherKey) + u'%');
    if (!house.isEmpty())
        sql += u" AND (hous LIKE "_s + PaddedPattern(house, HouseWidth) + u')';
    return sql + u" ORDER BY naim"_s;
}

namespace {

CoreError AddressTitle(QStringView street, QStringView house, QStringView flat)
{
    const QString s = street.trimmed().toString(), h = house.trimmed().toString(), f = flat.trimmed().toString();
    if (!h.isEmpty() && !f.isEmpty())
        return CoreError(CoreMessage("Search by address %1 house %2 flat %3"), {s, h, f});
    if (!h.isEmpty())
        return CoreError(CoreMessage("Search by address %1 house %2"), {s, h});
    if (!f.isEmpty())
        return CoreError(CoreMessage("Search by address %1 flat %2"), {s, f});
    return CoreError(CoreMessage("Search by address %1"), {s});
}

// "Search by address: Mira St, 5, flat 7".
CoreError AddressNote(QStringView street, QStringView house, QStringView flat)
{
    const QString s = street.trimmed().toString(), h = house.trimmed().toString(), f = flat.trimmed().toString();
    if (!h.isEmpty() && !f.isEmpty())
        return CoreError(CoreMessage("Search by address: %1, %2, flat %3"), {s, h, f});
    if (!h.isEmpty())
        return CoreError(CoreMessage("Search by address: %1, %2"), {s, h});
    if (!f.isEmpty())
        return CoreError(CoreMessage("Search by address: %1, flat %2"), {s, f});
    return CoreError(CoreMessage("Search by address: %1"), {s});
}

} // namespace

SearchOutcome PersonAddressSearch(Query &temp, QStringView street, QStringView house, QStringView flat)
{
    SearchOutcome outcome;
    ReplaceSql(temp, PersonAddressSql(street, house, flat), outcome);
    if (temp.RecordCount() == 0) {
        outcome.message = CoreError(AddressNotFound);
        return outcome;
    }
    outcome.fill = PersonFill(temp.RecordCount());
    outcome.helpContext = HelpAddress;
    outcome.title = AddressTitle(street, house, flat);
    outcome.note = AddressNote(street, house, flat);
    return outcome;
}

SearchOutcome OrgAddressSearch(Query &temp, QStringView street, QStringView house)
{
    SearchOutcome outcome;
    ReplaceSql(temp, OrgAddressSql(street, house), outcome);
    if (temp.RecordCount() == 0) {
        outcome.message = CoreError(AddressNotFound);
        return outcome;
    }
    outcome.fill = OrgFill(temp.RecordCount());
    outcome.helpContext = HelpAddress;
    outcome.title = AddressTitle(street, house, {});
    outcome.note = AddressNote(street, house, {});
    temp.First();
    outcome.orgTabCaption = DecodeText(temp.FieldByName(u"naim"), CipherKey);
    outcome.renameOrgTabOnly = true;
    return outcome;
}

QString StreetListSql(Table table)
{
    return table == Table::Persons
        ? u"SELECT DISTINCT sp09kw_n.street FROM sp09kw_n ORDER BY sp09kw_n.street"_s
        : u"SELECT DISTINCT sp09pr_n.street FROM sp09pr_n ORDER BY sp09pr_n.street"_s;
}

QStringList LoadStreetList(const QString &directory, Table table, const StopCheck &stop)
{
    Query query;
    query.SetDirectory(directory);
    query.AddSql(StreetListSql(table));
    query.Open(stop);
    const auto source = query.Source();
    QStringList streets;
    streets.reserve(source->rowCount());
    for (int row = 0; row < source->rowCount(); ++row)
        streets.append(DecodeText(source->text(row, 0), CipherKey));
    return streets;
}

} // namespace phonebook::search
