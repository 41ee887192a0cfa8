#pragma once
// Ordering the records of a table file for an ORDER BY that the table
// consumes itself, in the collation's order.

#include <cstdint>
#include <string_view>
#include <vector>

namespace phonebook {

class DbfTable;

struct OrderTerm {
    int field; // index into DbfTable::fields()
    bool descending;
};

// Puts the physical record numbers in the order of the terms; records whose
// values tie in every term keep their file order. When distinctFields is not
// empty, only the first of the records equal in all those fields is kept.
// When StopRequested() turns true meanwhile, returns early, `records` then
// neither ordered nor made distinct (not to be used).
void OrderRecords(const DbfTable &table, std::vector<uint32_t> &records, const std::vector<OrderTerm> &order,
                  const std::vector<int> &distinctFields);

} // namespace phonebook
