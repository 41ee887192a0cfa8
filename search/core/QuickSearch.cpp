#include "QuickSearch.h"

#include "DatabaseError.h"
#include "DbfTable.h"
#include "TableFiles.h"

#include <QCoreApplication>
#include <QDir>

namespace phonebook::search {

namespace {

size_t Slot(QuickSide side) { return side == QuickSide::Persons ? 0 : 1; }

QuickSide OtherSide(QuickSide side) { return side == QuickSide::Persons ? QuickSide::Orgs : QuickSide::Persons; }

// Searches in a row that find their table changed under them (a copy still
// being written) before the search gives up and says so.
constexpr int ChangeAttempts = 3;

} // namespace

bool QuickSearcher::dropStale(QuickSide side)
{
    const size_t slot = Slot(side);
    if (!m_indexes[slot] || m_indexes[slot]->table().stillCurrent())
        return false;
    m_indexes[slot].reset();
    m_previous[slot].reset();
    return true;
}

std::shared_ptr<const QuickIndex> QuickSearcher::Index(QuickSide side, const std::function<bool()> &stop)
{
    dropStale(side);
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

std::optional<QuickResult> QuickSearcher::Search(QuickSide side, QStringView text, const std::function<bool()> &cancelled,
                                                 const std::function<void()> &rebuilding)
{
    QuickResult result;
    result.side = side;
    result.text = text.toString();
    const QuickQuery query = ParseQuickText(text);
    if (query.empty())
        return result;
    for (int attempt = 1;; ++attempt) {
        // Both tables are asked: neither side keeps an index of an old edition.
        dropStale(OtherSide(side));
        if (dropStale(side)) {
            result.rebuilt = true;
            if (rebuilding)
                rebuilding();
        }
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
        // Changed while it was read: the places may hold another edition's
        // bytes. The next round builds the index again.
        if (!index->table().stillCurrent()) {
            if (attempt == ChangeAttempts)
                throw DatabaseError(QCoreApplication::translate("phonebook", "The table %1 kept changing while the quick search read it.")
                                        .arg(QDir::toNativeSeparators(index->table().path())));
            continue;
        }
        auto places = std::make_shared<const std::vector<uint32_t>>(std::move(*found));
        previous = Previous{query, places};
        result.narrowed = narrow || extend;
        result.count = static_cast<int>(places->size());
        result.rows = index->Rows(*places);
        return result;
    }
}

void QuickSearcher::Reset()
{
    m_indexes = {};
    m_previous = {};
}

} // namespace phonebook::search
