#pragma once
// Tiny directories for the window tests, written with our own table writer:
// values are given in plain text and stored enciphered, as the real tables are.

#include "CodePages.h"

#include <QString>

#include <vector>

namespace phonebook::fixtures {

// A row marked deleted stays in the file, as a deleted record of a real table does.
struct Person {
    QString nt, fio, street, hous, flat;
    bool deleted = false;
};
struct OrgPhone {
    QString nt, naim, knaim, mesto, street, hous;
    bool deleted = false;
};

// Writes sp09kw_n.dbf into `directory`.
void WritePersons(const QString &directory, const std::vector<Person> &rows, CodePage page = CodePage::Windows1251);
// Writes sp09pr_n.dbf into `directory`.
void WriteOrgPhones(const QString &directory, const std::vector<OrgPhone> &rows,
                    CodePage page = CodePage::Windows1251);
// `count` individuals numbered from 1 ("Абонент 1", number 200001, ...).
std::vector<Person> NumberedPersons(int count);

} // namespace phonebook::fixtures
