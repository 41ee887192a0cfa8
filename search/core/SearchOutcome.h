#pragma once
// What a search leaves for the window to show. A search builds its statements,
// runs them on the dataset it is given and describes the result; the window
// only presents the description (fills its grid, shows the message, selects
// the row and the tab). The command-line tool reads the same description.

#include <QString>
#include <QStringList>

#include <optional>

namespace phonebook::search {

// Tabs of the main window, as the searches speak of them.
inline constexpr int PersonsTabIndex = 0;
inline constexpr int OrgsTabIndex = 1;
inline constexpr int OrgTabIndex = 2;

// Which fill routine shows the result.
enum class GridFill {
    None,         // nothing to fill
    Persons,      // FillPersonGrid
    PersonsPaged, // FillPersonGridPaged
    Orgs,         // FillOrgGrid
    OrgsPaged,    // FillOrgGridPaged
    OrgPhones,    // FillOrgPhonesGrid
    Departments,  // FillDeptGrid
};

// Results up to these sizes are filled whole; longer ones page by page.
inline constexpr int PersonFullFillRows = 200;
inline constexpr int OrgFullFillRows = 100;

// The individuals fill for a result of `rows` rows.
constexpr GridFill PersonFill(int rows) { return rows <= PersonFullFillRows ? GridFill::Persons : GridFill::PersonsPaged; }
// The organisations fill for a result of `rows` rows.
constexpr GridFill OrgFill(int rows) { return rows <= OrgFullFillRows ? GridFill::Orgs : GridFill::OrgsPaged; }

struct SearchOutcome {
    // The question was cancelled or answered with nothing to search: no change at all.
    bool cancelled = false;
    // Shown in a message box when not empty; nothing is filled then.
    QString message;
    // How the dataset the search ran on fills the result grid.
    GridFill fill = GridFill::None;
    // Result row (1-based) to select across the data columns and scroll into view; 0 for none.
    int highlightRow = 0;
    // Caption (deciphered) of the organisation tab, when the result shows one organisation.
    std::optional<QString> orgTabCaption;
    // Tab to select afterwards; -1 leaves the selection alone.
    int selectTab = -1;
    // Help topic of the result grid; 0 leaves it.
    int helpContext = 0;
    // Every statement run, in order; the last one holds the result shown.
    QStringList statements;
    // What the list shows, for its print title and file name ("Поиск по отделу БУХГ").
    QString title;
    // What was searched, as the status bar says it beside the count
    // ("Поиск по отделу: БУХГ"); empty for a list that names itself (one
    // organisation's numbers, on its tab).
    QString note;

    bool found() const { return fill != GridFill::None; }
};

} // namespace phonebook::search
