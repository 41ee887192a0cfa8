#include "GridLayouts.h"

namespace phonebook {

std::vector<LayoutColumn> LayoutColumns(GridLayout layout, int wideWidth)
{
    switch (layout) {
    case GridLayout::Organisations:
        return {{QStringLiteral("Организация"), wideWidth},
                {QStringLiteral("Улица"), 200},
                {QStringLiteral("Дом"), 50}};
    case GridLayout::OrgPhones:
        return {{QStringLiteral("Номер"), 55},
                {QStringLiteral("Отдел"), 250},
                {QStringLiteral("Улица"), 200},
                {QStringLiteral("Дом"), 50}};
    case GridLayout::Departments:
        return {{DeptPhoneHeading.toString(), 60},
                {QStringLiteral("Организация"), wideWidth},
                {QStringLiteral("Отдел"), 200},
                {QStringLiteral("Улица"), 200},
                {QStringLiteral("Дом"), 50}};
    case GridLayout::Persons:
        return {{QStringLiteral("Номер"), 55},
                {QStringLiteral("Ф. И. О."), 250},
                {QStringLiteral("Улица"), 150},
                {QStringLiteral("Дом"), 50},
                {QStringLiteral("Кв."), 50}};
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
