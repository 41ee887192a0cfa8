#pragma once
// Writes a synthetic directory: the individuals' and the organisations'
// table files, every text value enciphered with the directory's key, in the
// storage conventions the searches rely on. The same options and seed give
// the same files.

#include "CodePages.h"
#include "TableFiles.h"

#include <QString>

#include <cstdint>

namespace phonebook::sample {

inline constexpr int DefaultPersons = 50000;
inline constexpr int DefaultOrgNumbers = 8000;
inline constexpr int MaxNumbersPerOrganisation = 30;
// Telephone numbers of the sample city have this many digits.
inline constexpr int PhoneDigits = 7;

inline constexpr QStringView PersonsFileName = PersonsTableFile;
inline constexpr QStringView OrganisationsFileName = OrgsTableFile;

struct SampleOptions {
    QString directory;                    // created when missing
    int persons = DefaultPersons;         // live records of the individuals' table
    int orgNumbers = DefaultOrgNumbers;   // live records of the organisations' table
    uint64_t seed = 1;
    CodePage codePage = CodePage::Windows1251; // Windows1251 or Cp866
    bool unmarked = false;                // language byte 0x00 instead of 0xC9 / 0x26
    double deletedShare = 0.0;            // share of each file's records marked deleted, [0, 0.9]
    // Half the surnames made up of a stem, syllables and an ending: hundreds
    // of thousands of distinct words, as real directories hold.
    bool madeUpSurnames = false;
};

struct SampleSummary {
    QString personsPath;
    QString organisationsPath;
    int persons = 0;
    int personsDeleted = 0;
    int orgNumbers = 0;
    int orgNumbersDeleted = 0;
    int organisations = 0; // distinct names among the live records
};

// Writes both tables into options.directory, replacing files of the same
// names. Throws DatabaseError when the options are out of range or a file
// cannot be written.
SampleSummary WriteSampleDirectory(const SampleOptions &options);

} // namespace phonebook::sample
