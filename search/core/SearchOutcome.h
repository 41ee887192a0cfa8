#pragma once
// What a search leaves for the window to show. A search builds its statements,
// runs them on the dataset it is given and describes the result; the window
// only presents the description (fills its grid, shows the message, selects
// the row and the tab). The command-line tool reads the same description.

#include "CoreResult.h"
#include "GridLayouts.h"
#include "HelpTopic.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace phonebook::search {

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

// What a result lists; the windows choose where to show it.
enum class Listing {
    Nothing,       // nothing found
    Persons,       // individuals
    Organisations, // organisations, one row each
    OrgNumbers,    // every number of one organisation
    Departments,   // the numbers of the departments found, with their organisations
};

// The individuals fill for a result of `rows` rows.
constexpr GridFill PersonFill(int rows) { return rows <= PersonFullFillLimit ? GridFill::Persons : GridFill::PersonsPaged; }
// The organisations fill for a result of `rows` rows.
constexpr GridFill OrgFill(int rows) { return rows <= OrgFullFillLimit ? GridFill::Orgs : GridFill::OrgsPaged; }

struct SearchOutcome {
    // The question was cancelled or answered with nothing to search: no change at all.
    bool cancelled = false;
    // What nothing found says, shown in a message box when set; nothing is filled then.
    CoreError message;
    // How the dataset the search ran on fills the result grid.
    GridFill fill = GridFill::None;
    // Result row (1-based) to select across the data columns and scroll into view; 0 for none.
    int highlightRow = 0;
    // The organisation (deciphered) the result is on: its numbers, or the
    // first row's organisation of a list.
    std::optional<QString> orgTabCaption;
    // Whether that organisation only renames an organisation page already
    // shown (the address search), rather than adding one.
    bool renameOrgTabOnly = false;
    // Help topic of the result grid; NoHelpTopic leaves it.
    HelpTopic helpContext = NoHelpTopic;
    // Every statement run, in order; the last one holds the result shown.
    QStringList statements;
    // What the list shows, for its print title and file name ("Search by department %1"); unset for none.
    CoreError title;
    // What was searched, as the status bar says it beside the count
    // ("Search by department: %1"); unset for a list that names itself.
    CoreError note;

    bool found() const { return fill != GridFill::None; }
    Listing listing() const
    {
        switch (fill) {
        case GridFill::Persons:
        case GridFill::PersonsPaged: return Listing::Persons;
        case GridFill::Orgs:
        case GridFill::OrgsPaged: return Listing::Organisations;
        case GridFill::OrgPhones: return Listing::OrgNumbers;
        case GridFill::Departments: return Listing::Departments;
        case GridFill::None: break;
        }
        return Listing::Nothing;
    }
};

} // namespace phonebook::search
