#pragma once
// Ordering the records of a table file for an ORDER BY that the table
// consumes itself, in the collation's order.

#include "Collation.h"

#include <cstdint>
#include <span>
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

// A record with the sort key of its first term's stored value (MakeSortKey)
// and, when its maker read the value anyway, the key of its next weights
// (MakeNextSortKey); otherwise that is made only where keys tie.
struct KeyedRecord {
    enum class Next : uint8_t { Unknown, Made, Unusable };
    SortKey key;
    SortKey next;
    uint32_t record = 0;
    Next nextState = Next::Unknown;
};
// Puts keyed records in the order of the terms, as OrderRecords does, for a
// caller that made the keys while it read the records anyway. The same early
// return when StopRequested() turns true.
void OrderKeyedRecords(const DbfTable &table, std::vector<KeyedRecord> &records, const std::vector<OrderTerm> &order);
// Keyed records from this many on are ordered by two threads (65 536 unless
// set; tests set it low to run both).
void SetOrderShareOutFrom(size_t records);
// Whether most of the first (up to 4096) records hold values of `field`
// that no other of them holds: then sorting keyed records costs less than
// ranking the distinct values (OrderRecords chooses so too).
bool MostlyDistinct(const DbfTable &table, int field, std::span<const uint32_t> records);

} // namespace phonebook
