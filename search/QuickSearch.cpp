#include "QuickSearch.h"

#include "DatabaseError.h"
#include "DbfTable.h"
#include "TableFiles.h"

#include <QCoreApplication>

namespace phonebook::search {

namespace {
size_t Slot(QuickSide side) { return side == QuickSide::Persons ? 0 : 1; }
} // namespace

std::shared_ptr<const QuickIndex> QuickSearcher::Index(QuickSide side, const std::function<bool()> &stop)
{
    auto &index = m_indexes[Slot(side)];
    if (index)
        return index;
    const QString name = QuickTableName(side);
    const QString path = FindTableFile(m_directory, name);
    if (path.isEmpty())
        throw DatabaseError(QCoreApplication::translate("phonebook", "Table \"%1\" not found in %2.").arg(name, m_directory));
    index = QuickIndex::Build(DbfTable::open(path), side, stop);
    return index;
}

std::optional<QuickResult> QuickSearcher::Search(QuickSide side, QStringView text, const std::function<bool()> &cancelled)
{
    QuickResult result;
    result.side = side;
    result.text = text.toString();
    const QuickQuery query = ParseQuickText(text);
    if (query.empty())
        return result;
    const std::shared_ptr<const QuickIndex> index = Index(side, cancelled);
    if (!index)
        return std::nullopt;

    std::optional<Previous> &previous = m_previous[Slot(side)];
    const bool narrow = previous && query.narrows(previous->query);
    const bool extend = !narrow && previous && query.extends(previous->query);
    std::optional<std::vector<uint32_t>> found =
        index->Find(query, narrow || extend ? previous->places.get() : nullptr, cancelled, extend);
    if (!found)
        return std::nullopt;
    auto places = std::make_shared<const std::vector<uint32_t>>(std::move(*found));
    previous = Previous{query, places};
    result.narrowed = narrow || extend;
    result.count = static_cast<int>(places->size());
    result.rows = index->Rows(*places);
    return result;
}

void QuickSearcher::Reset()
{
    m_indexes = {};
    m_previous = {};
}

} // namespace phonebook::search
