#pragma once
// The help's topics, numbered as the help pages are (help/topicN.html): the
// one list of them, for the searches that name the topic of their result and
// the windows that show it.

namespace phonebook {

enum HelpTopic : int {
    NoHelpTopic = 0,       // the contents
    HelpPersons = 1,       // the individuals' list, and the telephone and quick searches on it
    HelpSurname = 2,       // the surname search
    HelpPersonAddress = 3, // the address dialog for individuals
    HelpOrgs = 4,          // the organisations' list and one organisation's numbers
    HelpOrgSearch = 5,     // the organisation dialog, its results and the quick search on organisations
    HelpAddress = 6,       // the address dialog for organisations, and what either address search found
    HelpUpdate = 9,        // the update dialog
};

// Every topic that has a page of its own.
inline constexpr HelpTopic HelpTopics[] = {HelpPersons, HelpSurname, HelpPersonAddress, HelpOrgs,
                                           HelpOrgSearch, HelpAddress, HelpUpdate};

} // namespace phonebook
