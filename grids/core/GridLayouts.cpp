#include "GridLayouts.h"

#include <algorithm>

namespace phonebook {

namespace {
// Stored widths of the number fields: a telephone number and a house are
// padded on the left to these lengths, a flat to three characters.
constexpr int NumberDigits = 9;
constexpr int HouseDigits = 7;
constexpr int FlatDigits = 3;
} // namespace

std::vector<LayoutColumn> LayoutColumns(GridLayout layout, int wideWidth)
{
    switch (layout) {
    case GridLayout::Organisations:
        return {{QStringLiteral("Организация"), wideWidth, 0, true},
                {QStringLiteral("Улица"), 200},
                {QStringLiteral("Дом"), 50, HouseDigits}};
    case GridLayout::OrgPhones:
        return {{QStringLiteral("Номер"), 55, NumberDigits},
                {QStringLiteral("Отдел"), 250},
                {QStringLiteral("Улица"), 200},
                {QStringLiteral("Дом"), 50, HouseDigits}};
    case GridLayout::Departments:
        return {{DeptPhoneHeading.toString(), 60, NumberDigits},
                {QStringLiteral("Организация"), wideWidth, 0, true},
                {QStringLiteral("Отдел"), 200},
                {QStringLiteral("Улица"), 200},
                {QStringLiteral("Дом"), 50, HouseDigits}};
    case GridLayout::Persons:
        return {{QStringLiteral("Номер"), 55, NumberDigits},
                {QStringLiteral("Ф. И. О."), 250},
                {QStringLiteral("Улица"), 150},
                {QStringLiteral("Дом"), 50, HouseDigits},
                {QStringLiteral("Кв."), 50, FlatDigits}};
    case GridLayout::None:
        break;
    }
    return {};
}

std::vector<QString> LayoutFields(GridLayout layout)
{
    switch (layout) {
    case GridLayout::Organisations:
        return {QStringLiteral("naim"), QStringLiteral("street"), QStringLiteral("hous")};
    case GridLayout::OrgPhones:
        return {QStringLiteral("nt"), QStringLiteral("mesto"), QStringLiteral("street"), QStringLiteral("hous")};
    case GridLayout::Departments:
        return {QStringLiteral("nt"), QStringLiteral("naim"), QStringLiteral("mesto"), QStringLiteral("street"),
                QStringLiteral("hous")};
    case GridLayout::Persons:
        return {QStringLiteral("nt"), QStringLiteral("fio"), QStringLiteral("street"), QStringLiteral("hous"),
                QStringLiteral("flat")};
    case GridLayout::None:
        break;
    }
    return {};
}

int LayoutPageRows(GridLayout layout)
{
    switch (layout) {
    case GridLayout::Organisations:
        return OrgPageRows;
    case GridLayout::Persons:
        return PersonPageRows;
    case GridLayout::Departments:
        // A department-search result is filled whole; a quick-search result
        // in this layout loads as it is painted.
        return OrgPageRows;
    case GridLayout::OrgPhones:
    case GridLayout::None:
        break;
    }
    return 0;
}

} // namespace phonebook
