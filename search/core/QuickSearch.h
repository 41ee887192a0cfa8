#pragma once
// A quick-search session over the directory's two tables: what the box and
// `phonebook-find quick` run. It keeps each side's index (built on first use)
// and the last result of each side, so that a text extending the previous
// one filters that result instead of scanning the table again. An index is
// used only while its table file is still the one it was built from: a new
// edition copied over a table is noticed by the next search, which builds
// that side's index again and answers from the new edition alone.
//
// One thread at a time may use a session; the results it returns may be read
// from any thread.

#include "CoreResult.h"
#include "QuickIndex.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace phonebook::search {

// Which step of the rule gave the rows: the text as typed; the same keys on
// the Russian layout (when the text holds Latin letters); that text (or the
// typed one) with words one slip away. A later step runs only when the
// earlier ones found nothing, so rows of two steps are never shown together.
enum class QuickStep { Exact, Layout, Slips };

struct QuickResult {
    QuickSide side = QuickSide::Persons;
    QString text;
    // Rows with the side's shown fields (stored text); null for an empty text.
    std::shared_ptr<const RowSource> rows;
    int count = 0;
    // Whether the previous result was filtered rather than the table scanned.
    bool narrowed = false;
    // Whether the side's index was built again for a new edition of its table.
    bool rebuilt = false;
    QuickStep step = QuickStep::Exact;
    // The text the layout step searched (also for Slips after it).
    QString converted;
};

// What the status bar says of a result besides its count: nothing for the
// typed text (unset), else which text or which words the rows are for.
CoreError QuickStepNote(const QuickResult &result);

class QuickSearcher {
public:
    explicit QuickSearcher(QString directory) : m_directory(std::move(directory)) {}

    // The side's index, built now when it is not yet or its table file
    // changed since. Throws DatabaseError (a missing or unreadable table);
    // null when `stop` turned true meanwhile.
    std::shared_ptr<const QuickIndex> Index(QuickSide side, const std::function<bool()> &stop = {});

    // Rows of the side that match `text`. First drops every index whose table
    // file changed; when the side's own is dropped, `rebuilding` is called
    // before it is built again. Returns nothing when `cancelled` turned true
    // meanwhile. Throws DatabaseError, also when the table kept changing
    // while it was read.
    std::optional<QuickResult> Search(QuickSide side, QStringView text, const std::function<bool()> &cancelled = {},
                                      const std::function<void()> &rebuilding = {});

    // Forgets the indexes and results: the tables were replaced.
    void Reset();

private:
    // Drops the side's index and result when its table file changed; returns whether it did.
    bool dropStale(QuickSide side);

    struct Previous {
        QuickQuery query;
        std::shared_ptr<const QuickFound> found;
    };
    // The last result of each step, kept apart: each step narrows its own.
    using StepResults = std::array<std::optional<Previous>, 3>;

    // The places of one step's search; nothing when cancelled.
    std::optional<std::shared_ptr<const QuickFound>> searchStep(const QuickIndex &index, StepResults &previous,
                                                                           QuickStep step, const QuickQuery &query,
                                                                           const std::function<bool()> &cancelled,
                                                                           bool &narrowed);

    QString m_directory;
    std::array<std::shared_ptr<const QuickIndex>, 2> m_indexes;
    std::array<StepResults, 2> m_previous;
};

} // namespace phonebook::search
