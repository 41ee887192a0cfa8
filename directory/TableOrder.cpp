#include "TableOrder.h"

#include "Collation.h"
#include "DbfTable.h"
#include "StopCheck.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <future>
#include <optional>

namespace phonebook {

namespace {

// Records from which ordering keyed records is shared out between two threads.
std::atomic<size_t> ShareOutFrom{size_t{1} << 16};

// Groups the rows by the stored value of one field (or of several): an
// open-addressing table of record numbers, compared by their raw bytes.
class ValueGroups {
public:
    ValueGroups(const DbfTable &table, std::vector<int> fields, size_t expected)
        : m_table(table)
        , m_fields(std::move(fields))
    {
        size_t capacity = 16;
        while (capacity < expected * 2)
            capacity *= 2;
        m_slots.assign(capacity, Empty);
    }

    // Group number of the record's value; a new value opens a new group.
    uint32_t groupOf(uint32_t record)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = hash(record) & mask;; slot = (slot + 1) & mask) {
            const uint32_t group = m_slots[slot];
            if (group == Empty) {
                const auto added = static_cast<uint32_t>(m_first.size());
                m_slots[slot] = added;
                m_first.push_back(record);
                if (m_first.size() * 2 > m_slots.size())
                    grow();
                return added;
            }
            if (same(m_first[group], record))
                return group;
        }
    }
    // The first record of each group, by group number.
    const std::vector<uint32_t> &firstRecords() const { return m_first; }

private:
    static constexpr uint32_t Empty = 0xFFFFFFFF;

    void grow()
    {
        m_slots.assign(m_slots.size() * 2, Empty);
        const size_t mask = m_slots.size() - 1;
        for (uint32_t group = 0; group < m_first.size(); ++group) {
            size_t slot = hash(m_first[group]) & mask;
            while (m_slots[slot] != Empty)
                slot = (slot + 1) & mask;
            m_slots[slot] = group;
        }
    }

    size_t hash(uint32_t record) const
    {
        size_t h = 0;
        for (const int field : m_fields)
            h = h * 1000003 ^ std::hash<std::string_view>()(m_table.rawField(record, field));
        return h;
    }
    bool same(uint32_t a, uint32_t b) const
    {
        for (const int field : m_fields) {
            if (m_table.rawField(a, field) != m_table.rawField(b, field))
                return false;
        }
        return true;
    }

    const DbfTable &m_table;
    std::vector<int> m_fields;
    std::vector<uint32_t> m_slots;
    std::vector<uint32_t> m_first;
};

// The records' values compared term by term from the term `from` on.
int CompareTerms(const DbfTable &table, const std::vector<OrderTerm> &order, size_t from, uint32_t a, uint32_t b)
{
    for (size_t t = from; t < order.size(); ++t) {
        const std::string_view va = table.rawField(a, order[t].field);
        const std::string_view vb = table.rawField(b, order[t].field);
        if (va == vb)
            continue;
        const int r = CompareStoredBytes(table.codePage(), va, vb);
        if (r != 0)
            return order[t].descending ? -r : r;
    }
    return 0;
}

// Whether `a` comes before `b` in the order of the terms (ties in every term
// by record number), by their keys where those decide.
bool OrderedBefore(const DbfTable &table, const std::vector<OrderTerm> &order, const KeyedRecord &a, const KeyedRecord &b)
{
    const bool descending = order.front().descending;
    if (a.key != b.key)
        return descending ? b.key < a.key : a.key < b.key;
    // Equal keys: the next ones are both usable or both not.
    if (a.nextState == KeyedRecord::Next::Made && b.nextState == KeyedRecord::Next::Made && a.next != b.next)
        return descending ? b.next < a.next : a.next < b.next;
    const int r = CompareTerms(table, order, 0, a.record, b.record);
    return r != 0 ? r < 0 : a.record < b.record;
}

} // namespace

// Without SQLite's sorter: the distinct values of the first term are sorted
// once and ranked, the records are then placed by rank in one counting pass,
// and only records whose first value ties are compared on the further terms.
// Mostly distinct first values skip the ranking and sort fixed-size keys.
void OrderRecords(const DbfTable &table, std::vector<uint32_t> &records, const std::vector<OrderTerm> &order,
                  const std::vector<int> &distinctFields)
{
    if (records.empty() || order.empty())
        return;
    const CodePage page = table.codePage();
    if (!distinctFields.empty()) {
        ValueGroups groups(table, distinctFields, std::min<size_t>(records.size(), 1 << 16));
        std::vector<uint32_t> kept;
        for (size_t n = 0; n < records.size(); ++n) {
            if (n % StopStride == 0 && StopRequested())
                return;
            if (groups.groupOf(records[n]) == kept.size())
                kept.push_back(records[n]);
        }
        records = std::move(kept);
    }

    const OrderTerm first = order.front();
    auto compareFrom = [&](size_t from, uint32_t a, uint32_t b) { return CompareTerms(table, order, from, a, b); };

    // Mostly distinct first values (telephone numbers): one sort of
    // fixed-size keys, reading the records only when two keys tie.
    if (MostlyDistinct(table, first.field, records)) {
        std::vector<KeyedRecord> entries;
        entries.reserve(records.size());
        for (const uint32_t record : records) {
            if (entries.size() % StopStride == 0 && StopRequested())
                return;
            entries.push_back({MakeSortKey(page, table.rawField(record, first.field)), {}, record});
        }
        OrderKeyedRecords(table, entries, order);
        if (StopRequested())
            return;
        for (size_t n = 0; n < entries.size(); ++n)
            records[n] = entries[n].record;
        return;
    }

    // Many repeated first values (streets, organisations): rank the distinct
    // values once, then place the rows by rank.
    ValueGroups groups(table, {first.field}, records.size());
    std::vector<uint32_t> groupOfRow(records.size());
    for (size_t n = 0; n < records.size(); ++n) {
        if (n % StopStride == 0 && StopRequested())
            return;
        groupOfRow[n] = groups.groupOf(records[n]);
    }
    const std::vector<uint32_t> &values = groups.firstRecords();
    // The distinct values side by side, so that sorting them stays in the cache.
    std::string arena;
    std::vector<uint32_t> valueStart(values.size() + 1, 0);
    for (size_t g = 0; g < values.size(); ++g) {
        arena.append(table.rawField(values[g], first.field));
        valueStart[g + 1] = static_cast<uint32_t>(arena.size());
    }
    auto valueText = [&](uint32_t g) {
        return std::string_view(arena).substr(valueStart[g], valueStart[g + 1] - valueStart[g]);
    };
    struct Value {
        SortKey key;
        uint32_t group;
    };
    std::vector<Value> sorted;
    sorted.reserve(values.size());
    for (uint32_t g = 0; g < values.size(); ++g)
        sorted.push_back({MakeSortKey(page, valueText(g)), g});
    std::sort(sorted.begin(), sorted.end(), [&](const Value &a, const Value &b) {
        if (a.key != b.key)
            return a.key < b.key;
        return CompareStoredBytes(page, valueText(a.group), valueText(b.group)) < 0;
    });
    const uint32_t valueCount = static_cast<uint32_t>(sorted.size());
    std::vector<uint32_t> rankOfGroup(valueCount);
    for (uint32_t r = 0; r < valueCount; ++r)
        rankOfGroup[sorted[r].group] = first.descending ? valueCount - 1 - r : r;

    // Counting sort by rank; rows of one rank keep their file order.
    std::vector<uint32_t> start(valueCount + 1, 0);
    for (const uint32_t g : groupOfRow)
        ++start[rankOfGroup[g] + 1];
    for (uint32_t r = 0; r < valueCount; ++r)
        start[r + 1] += start[r];
    std::vector<uint32_t> placed(records.size());
    for (size_t n = 0; n < records.size(); ++n)
        placed[start[rankOfGroup[groupOfRow[n]]]++] = records[n];

    if (order.size() > 1) {
        // Runs of one first value, ordered by the further terms.
        auto compareRest = [&](uint32_t a, uint32_t b) { return compareFrom(1, a, b) < 0; };
        size_t runStart = 0;
        for (uint32_t r = 0; r < valueCount; ++r) {
            if (r % StopStride == 0 && StopRequested())
                return;
            const size_t runEnd = start[r]; // after the pass, start[r] is the end of rank r
            if (runEnd - runStart > 1)
                std::stable_sort(placed.begin() + static_cast<std::ptrdiff_t>(runStart),
                                 placed.begin() + static_cast<std::ptrdiff_t>(runEnd), compareRest);
            runStart = runEnd;
        }
    }
    records = std::move(placed);
}

bool MostlyDistinct(const DbfTable &table, int field, std::span<const uint32_t> records)
{
    constexpr size_t Sample = 4096;
    ValueGroups sample(table, {field}, Sample);
    const size_t sampled = std::min(Sample, records.size());
    for (size_t n = 0; n < sampled; ++n)
        sample.groupOf(records[n]);
    return sample.firstRecords().size() * 4 > sampled * 3;
}

void OrderKeyedRecords(const DbfTable &table, std::vector<KeyedRecord> &entries, const std::vector<OrderTerm> &order)
{
    if (entries.empty() || order.empty())
        return;
    const CodePage page = table.codePage();
    const OrderTerm first = order.front();
    const auto keyBefore = [](bool descending, const SortKey &a, const SortKey &b) { return descending ? b < a : a < b; };
    const auto byKey = [&](const KeyedRecord &a, const KeyedRecord &b) {
        if (a.key != b.key)
            return keyBefore(first.descending, a.key, b.key);
        return a.record < b.record;
    };
    // Records whose first value ties as far as its keys reach: one value
    // (a name many people share) is ordered by the keys of the next term,
    // read once each; different values by the terms compared whole.
    const auto orderTies = [&](size_t from, size_t to, std::vector<KeyedRecord> &further) {
        const auto begin = entries.begin() + static_cast<std::ptrdiff_t>(from);
        const auto end = entries.begin() + static_cast<std::ptrdiff_t>(to);
        const std::string_view value = table.rawField(begin->record, first.field);
        const bool oneValue = order.size() > 1 && std::all_of(begin + 1, end, [&](const KeyedRecord &entry) {
            return table.rawField(entry.record, first.field) == value;
        });
        if (!oneValue) {
            std::sort(begin, end, [&](const KeyedRecord &a, const KeyedRecord &b) { return OrderedBefore(table, order, a, b); });
            return;
        }
        const OrderTerm second = order[1];
        further.clear();
        for (auto entry = begin; entry != end; ++entry) {
            const auto [key, next] = MakeSortKeys(page, table.rawField(entry->record, second.field));
            further.push_back({key, next.value_or(SortKey{}), entry->record, next ? KeyedRecord::Next::Made : KeyedRecord::Next::Unusable});
        }
        std::sort(further.begin(), further.end(), [&](const KeyedRecord &a, const KeyedRecord &b) {
            if (a.key != b.key)
                return keyBefore(second.descending, a.key, b.key);
            if (a.nextState == KeyedRecord::Next::Made && b.nextState == KeyedRecord::Next::Made && a.next != b.next)
                return keyBefore(second.descending, a.next, b.next);
            const int r = CompareTerms(table, order, 1, a.record, b.record);
            return r != 0 ? r < 0 : a.record < b.record;
        });
        for (size_t n = 0; n < further.size(); ++n)
            entries[from + n].record = further[n].record;
    };
    // The runs of equal keys from `begin` up to `end`, each put in order.
    const auto orderRuns = [&](size_t begin, size_t end) {
        std::vector<KeyedRecord> further;
        size_t read = 0;
        for (size_t from = begin; from < end;) {
            if (read >= StopStride) {
                if (StopRequested())
                    return;
                read = 0;
            }
            size_t to = from + 1;
            while (to < end && entries[to].key == entries[from].key)
                ++to;
            if (to - from > 1) {
                for (size_t n = from; n < to; ++n) {
                    KeyedRecord &entry = entries[n];
                    if (entry.nextState != KeyedRecord::Next::Unknown)
                        continue;
                    ++read;
                    const std::optional<SortKey> next = MakeNextSortKey(page, table.rawField(entry.record, first.field));
                    entry.next = next.value_or(SortKey{});
                    entry.nextState = next ? KeyedRecord::Next::Made : KeyedRecord::Next::Unusable;
                }
                read += to - from;
                // Within a run the next keys are all usable or none is.
                if (entries[from].nextState != KeyedRecord::Next::Made) {
                    orderTies(from, to, further);
                } else {
                    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(from), entries.begin() + static_cast<std::ptrdiff_t>(to),
                              [&](const KeyedRecord &a, const KeyedRecord &b) {
                                  if (a.next != b.next)
                                      return keyBefore(first.descending, a.next, b.next);
                                  return a.record < b.record;
                              });
                    for (size_t tie = from; tie < to;) {
                        size_t tieEnd = tie + 1;
                        while (tieEnd < to && entries[tieEnd].next == entries[tie].next)
                            ++tieEnd;
                        if (tieEnd - tie > 1)
                            orderTies(tie, tieEnd, further);
                        tie = tieEnd;
                    }
                }
            }
            from = to;
        }
    };

    // By the keys alone first, then the runs of equal keys: the records are
    // read only for those. Many records are first dealt into buckets by
    // their first two weights (the key's top bits), two halves at once; the
    // buckets are then sorted and their runs ordered, each bucket while it
    // is in the cache, two shares of buckets at once.
    const size_t count = entries.size();
    if (count < ShareOutFrom.load(std::memory_order_relaxed)) {
        std::sort(entries.begin(), entries.end(), byKey);
        orderRuns(0, count);
        return;
    }
    constexpr int BucketBits = 16;
    constexpr size_t Buckets = size_t{1} << BucketBits;
    const auto bucketOf = [&](const KeyedRecord &entry) {
        const auto top = static_cast<size_t>(entry.key.hi >> (64 - BucketBits));
        return first.descending ? Buckets - 1 - top : top;
    };
    // Runs `part(from, to, which)` on [0, split) on a worker (with this
    // thread's stop check) and on [split, end) here, then waits for both.
    const StopCheck stop = CurrentStopCheck();
    const auto atOnce = [&](size_t split, size_t end, auto part) {
        auto firstPart = std::async(std::launch::async, [&] {
            const ScopedStopCheck inherited(stop);
            part(size_t{0}, split, 0);
        });
        part(split, end, 1);
        firstPart.get();
    };
    const size_t half = count / 2;
    std::array<std::vector<uint32_t>, 2> counts;
    atOnce(half, count, [&](size_t from, size_t to, int which) {
        counts[which].assign(Buckets, 0);
        for (size_t n = from; n < to; ++n)
            ++counts[which][bucketOf(entries[n])];
    });
    // Where each bucket begins, and where each half's entries of it go next
    // (the first half's before the second's).
    std::vector<uint32_t> bucketStart(Buckets + 1, 0);
    for (size_t b = 0; b < Buckets; ++b)
        bucketStart[b + 1] = bucketStart[b] + counts[0][b] + counts[1][b];
    for (size_t b = 0; b < Buckets; ++b) {
        const uint32_t firstHalfs = counts[0][b];
        counts[0][b] = bucketStart[b];
        counts[1][b] = bucketStart[b] + firstHalfs;
    }
    std::vector<KeyedRecord> dealt(count);
    atOnce(half, count, [&](size_t from, size_t to, int which) {
        std::vector<uint32_t> &next = counts[which];
        for (size_t n = from; n < to; ++n)
            dealt[next[bucketOf(entries[n])]++] = entries[n];
    });
    entries = std::move(dealt);
    if (StopRequested())
        return;
    // The buckets in two shares of about half the records each.
    const size_t middle = static_cast<size_t>(std::lower_bound(bucketStart.begin(), bucketStart.end(), half) - bucketStart.begin());
    atOnce(middle, Buckets, [&](size_t fromBucket, size_t toBucket, int) {
        for (size_t b = fromBucket; b < toBucket; ++b) {
            const size_t from = bucketStart[b];
            const size_t to = bucketStart[b + 1];
            if (to - from > 1)
                std::sort(entries.begin() + static_cast<std::ptrdiff_t>(from), entries.begin() + static_cast<std::ptrdiff_t>(to), byKey);
            orderRuns(from, to);
            if (StopRequested())
                return;
        }
    });
}

void SetOrderShareOutFrom(size_t records) { ShareOutFrom.store(std::max<size_t>(records, 2)); }

} // namespace phonebook
