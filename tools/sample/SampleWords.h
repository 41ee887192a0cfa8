#pragma once
// Word lists the sample directory is made of: names, streets, organisations
// and their departments. Most common first where the order matters.

#include <span>

namespace phonebook::sample {

using WordList = std::span<const char16_t *const>;

struct MaleName {
    const char16_t *name;
    const char16_t *patronymicMale;   // "ИВАНОВИЧ"
    const char16_t *patronymicFemale; // "ИВАНОВНА"
};

// Male surnames in upper case, most common first; FemaleSurname() derives the other form.
WordList CommonSurnames();
// Stems and endings that make the long tail of rarer surnames.
WordList SurnameRoots();
WordList SurnameEndings();
// Surnames with a separating soft or hard sign (ДЬЯКОНОВ, ОБЪЕДКОВ), rare enough to need a list.
WordList SeparatingSignSurnames();
std::span<const MaleName> MaleNames();
WordList FemaleNames();

// Streets with their type prefix ("ул. Ленина"), most populous first.
WordList Streets();

// Organisations: brand words for quoted names, stems for composed brands
// ("СИБ" + "СТРОЙ"), legal forms, and the genitive names of "ИМ. ..." plants.
WordList BrandWords();
WordList BrandStems();
WordList BrandTails();
WordList LegalForms();
WordList HonouredNames();
WordList DistrictNames();   // genitive: "ЛЕНИНСКОГО РАЙОНА"
WordList AuthoritySpheres(); // genitive: "ОБРАЗОВАНИЯ"

// Departments by kind of organisation, free text in mixed case.
WordList OfficeDepartments();
WordList SchoolDepartments();
WordList MedicalDepartments();
WordList AuthorityDepartments();
WordList ShopDepartments();

} // namespace phonebook::sample
