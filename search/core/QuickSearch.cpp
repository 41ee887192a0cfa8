#include "QuickSearch.h"

#include "DatabaseError.h"
#include "DbfTable.h"
#include "TableFiles.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace phonebook::search {

namespace {

size_t Slot(QuickSide side) { return side == QuickSide::Persons ? 0 : 1; }

QuickSide OtherSide(QuickSide side) { return side == QuickSide::Persons ? QuickSide::Orgs : QuickSide::Persons; }

// Searches in a row that find their table changed under them (a copy still
// being written) before the search gives up and says so.
constexpr int ChangeAttempts = 3;

// What the status bar says when the rows are not those of the typed text.
constexpr char LayoutNote[] = CoreMessage("Showing the results for \"%1\"");
constexpr char SlipsNote[] = CoreMessage("Showing similar words");

} // namespace

bool QuickSearcher::dropStale(QuickSide side)
{
    const size_t slot = Slot(side);
    if (!m_indexes[slot] || m_indexes[slot]->table().stillCurrent())
        return false;
    m_indexes[slot].reset();
    m_previous[slot] = {};
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

CoreError QuickStepNote(const QuickResult &result)
{
    switch (result.step) {
    case QuickStep::Exact:
        return {};
    case QuickStep::Layout:
        return CoreError(LayoutNote, {result.converted.trimmed()});
    case QuickStep::Slips:
        return CoreError(SlipsNote);
    }
    return {};
}

std::optional<std::shared_ptr<const QuickFound>>
QuickSearcher::searchStep(const QuickIndex &index, StepResults &previousResults, QuickStep step, const QuickQuery &query,
                          const std::function<bool()> &cancelled, bool &narrowed)
{
    const QuickMatch match = step == QuickStep::Slips ? QuickMatch::Slips : QuickMatch::Exact;
    std::optional<Previous> &previous = previousResults[static_cast<size_t>(step)];
    const bool narrow = previous && query.narrows(previous->query, match);
    const bool extend = !narrow && previous && query.extends(previous->query, match);
    narrowed = narrow || extend;
    std::shared_ptr<const QuickFound> places;
    if (narrow && previous->found->empty()) {
        places = previous->found; // nothing to filter
    } else {
        std::optional<QuickFound> found =
            index.Find(query, narrowed ? &previous->found->places : nullptr, cancelled, extend, match);
        if (!found)
            return std::nullopt;
        places = std::make_shared<const QuickFound>(std::move(*found));
    }
    previous = Previous{query, places};
    return places;
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
    // The steps of the rule, each with its text, in order.
    std::vector<std::pair<QuickStep, QuickQuery>> steps{{QuickStep::Exact, query}};
    if (HasLatinLetters(text)) {
        result.converted = ToRussianLayout(text);
        steps.emplace_back(QuickStep::Layout, ParseQuickText(result.converted));
    }
    const QuickQuery &last = steps.back().second;
    if (std::any_of(last.words.begin(), last.words.end(), [](const std::string &w) { return w.size() >= SlipWordLength; }))
        steps.emplace_back(QuickStep::Slips, last);

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

        // The first step that finds rows gives them; when none does, the
        // typed text's (empty) result stands.
        std::shared_ptr<const QuickFound> places;
        bool narrowed = true;
        result.step = QuickStep::Exact;
        for (const auto &[step, stepQuery] : steps) {
            bool stepNarrowed = false;
            auto found = searchStep(*index, m_previous[Slot(side)], step, stepQuery, cancelled, stepNarrowed);
            if (!found)
                return std::nullopt;
            narrowed = narrowed && stepNarrowed;
            if (!places)
                places = *found;
            if (!(*found)->empty()) {
                places = *found;
                result.step = step;
                break;
            }
        }
        // Changed while it was read: the places may hold another edition's
        // bytes. The next round builds the index again.
        if (!index->table().stillCurrent()) {
            if (attempt == ChangeAttempts)
                throw DatabaseError(QCoreApplication::translate("phonebook", "The table %1 kept changing while the quick search read it.")
                                        .arg(QDir::toNativeSeparators(index->table().path())));
            continue;
        }
        result.narrowed = narrowed;
        result.count = static_cast<int>(places->size());
        result.rows = index->Rows(places);
        return result;
    }
}

void QuickSearcher::Reset()
{
    m_indexes = {};
    m_previous = {};
}

} // namespace phonebook::search
