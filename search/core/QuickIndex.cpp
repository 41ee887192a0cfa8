#include "QuickIndex.h"

#include "TableFiles.h"
#include "TableReadGuard.h"

#include "DatabaseError.h"
#include "Dataset.h"
#include "DbfTable.h"
#include "StopCheck.h"
#include "TableOrder.h"
#include "QuickWords.h"
#include "UHelpFull.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <iterator>
#include <mutex>
#include <unordered_map>

namespace phonebook::search {

namespace {

using namespace Qt::StringLiterals;

constexpr int KeyLength = 10;
// A kept word entry: the word's number below RankShift, its rank above.
constexpr int RankShift = 29;
constexpr uint32_t WordMask = (uint32_t{1} << RankShift) - 1;
constexpr uint8_t NoRank = 0xff;
// How many records pass between two looks at the cancel flag.
constexpr uint32_t CancelStride = 8192;

int DigitOf(uint8_t code) { return code - FoldFirstDigit; }

// The stored value without its leading blanks (house and flat are right-aligned).
std::string_view TrimLeft(std::string_view raw)
{
    while (!raw.empty() && raw.front() == ' ')
        raw.remove_prefix(1);
    return raw;
}

// The leading digit codes of folded codes.
std::string_view LeadingDigits(const std::string &codes)
{
    size_t n = 0;
    while (n < codes.size() && IsFoldDigit(static_cast<uint8_t>(codes[n])))
        ++n;
    return std::string_view(codes).substr(0, n);
}

// A telephone number's first digits as kept for every place: the city's
// numbers are shorter than that; a longer typed number reads the record.
using PackedPhone = uint32_t;
constexpr size_t PackedDigits = 2 * sizeof(PackedPhone);

PackedPhone PackDigits(std::string_view codes)
{
    PackedPhone packed = 0;
    int shift = 8 * sizeof(PackedPhone) - 4;
    for (const char c : codes) {
        if (!IsFoldDigit(static_cast<uint8_t>(c)))
            continue;
        if (shift < 0)
            break;
        packed |= static_cast<PackedPhone>(DigitOf(static_cast<uint8_t>(c)) + 1) << shift;
        shift -= 4;
    }
    return packed;
}

// The word numbers of a number field's recent values (a house or flat
// value recurs from record to record), by their stored bytes, for values of
// up to 8 bytes.
struct RecentNumbers {
    static constexpr uint32_t NoWord = UINT32_MAX; // the value has no leading digits
    struct Slot {
        uint64_t bytes = 0;
        uint32_t word = NoWord;
        uint8_t size = 0xff; // none kept
        bool holds(std::string_view raw) const { return size == raw.size() && bytes == Packed(raw); }
        void keep(std::string_view raw, uint32_t number)
        {
            bytes = Packed(raw);
            size = static_cast<uint8_t>(raw.size());
            word = number;
        }
    };
    static uint64_t Packed(std::string_view raw)
    {
        // Byte by byte in a register: a copy of a variable length through
        // memory would stall the load that follows it.
        uint64_t packed = 0;
        for (size_t i = 0; i < raw.size(); ++i)
            packed |= uint64_t{static_cast<uint8_t>(raw[i])} << (8 * i);
        return packed;
    }
    // The value's slot; null for a longer value.
    Slot *slotOf(std::string_view raw)
    {
        if (raw.size() > sizeof(uint64_t))
            return nullptr;
        return &kept[(Packed(raw) * 0x9E3779B97F4A7C15ull) >> (64 - SlotBits)];
    }
    static constexpr int SlotBits = 10;
    std::array<Slot, size_t{1} << SlotBits> kept{};
};

// How far ahead of the place being tested its successors' arrays are fetched.
constexpr size_t FetchAhead = 16;

void Fetch(const void *p) { __builtin_prefetch(p, 0, 3); }

// The rows found, by rank and then place. Each rank's rows are picked out of
// the places as far as they have been read, so that showing the first screen
// of a long result orders only that much.
class QuickRows final : public RowSource {
public:
    QuickRows(std::shared_ptr<const QuickIndex> index, std::shared_ptr<const QuickFound> found,
              const std::vector<uint32_t> &order, std::vector<int> fields, std::vector<QString> names)
        : m_index(std::move(index)), m_found(std::move(found)), m_order(order), m_fields(std::move(fields)),
          m_names(std::move(names))
    {
        std::array<uint32_t, QuickIndex::MaxRank + 1> counts{};
        for (const uint8_t rank : m_found->ranks)
            ++counts[rank];
        uint32_t start = 0;
        int ranks = 0;
        for (size_t r = 0; r < counts.size(); ++r) {
            m_rankStart[r] = start;
            start += counts[r];
            ranks += counts[r] != 0;
        }
        m_rankStart.back() = start;
        m_oneRank = ranks <= 1;
    }
    int rowCount() const override { return static_cast<int>(m_found->size()); }
    int columnCount() const override { return static_cast<int>(m_fields.size()); }
    QString columnName(int column) const override { return m_names.at(static_cast<size_t>(column)); }
    QString text(int row, int column) const override
    {
        const DbfTable &table = m_index->table();
        if (!m_guard.MayRead(table, row))
            return {};
        QString value = table.text(record(static_cast<uint32_t>(row)), m_fields.at(static_cast<size_t>(column)));
        if (!m_guard.ReadSound(table))
            return {};
        return value;
    }

private:
    uint32_t record(uint32_t row) const
    {
        if (m_oneRank)
            return m_order[m_found->places.at(row)];
        size_t rank = 0;
        while (row >= m_rankStart[rank + 1])
            ++rank;
        const uint32_t at = row - m_rankStart[rank];
        const std::lock_guard lock(m_mutex);
        std::vector<uint32_t> &picked = m_picked[rank];
        size_t &next = m_next[rank];
        const std::vector<uint8_t> &ranks = m_found->ranks;
        while (picked.size() <= at) {
            while (ranks[next] != rank)
                ++next;
            picked.push_back(m_found->places[next++]);
        }
        return m_order[picked[at]];
    }

    std::shared_ptr<const QuickIndex> m_index;
    std::shared_ptr<const QuickFound> m_found;
    const std::vector<uint32_t> &m_order; // the index's, kept by m_index
    std::vector<int> m_fields;
    std::vector<QString> m_names;
    // Row of the first place of each rank; the count last.
    std::array<uint32_t, QuickIndex::MaxRank + 2> m_rankStart{};
    bool m_oneRank = true; // rows in the places' order
    mutable std::mutex m_mutex;
    // The places of each rank picked so far, and where the picking goes on.
    mutable std::array<std::vector<uint32_t>, QuickIndex::MaxRank + 1> m_picked;
    mutable std::array<size_t, QuickIndex::MaxRank + 1> m_next{};
    TableReadGuard m_guard; // a file replaced since the search is read no further
};

// Calls `add(word, first)` for the words of folded codes: the runs of word
// codes and, where a hyphen between two letters joins runs, the whole from
// each run to the last joined ("петров-водкин", "водкин"); `first` for those
// of the value's first word, hyphenated or not.
template <typename Add>
void ForEachWord(std::string_view codes, Add add)
{
    const auto word = [](char c) {
        const auto code = static_cast<uint8_t>(c);
        return code != FoldNone && code != FoldHyphen;
    };
    const auto letter = [](char c) { return IsFoldLetter(static_cast<uint8_t>(c)); };
    size_t i = 0;
    bool first = true;
    const size_t size = codes.size();
    while (i < size) {
        if (!word(codes[i])) {
            ++i;
            continue;
        }
        // One word, its runs joined by hyphens: [i, end).
        size_t end = i;
        for (;;) {
            while (end < size && word(codes[end]))
                ++end;
            if (end + 1 < size && static_cast<uint8_t>(codes[end]) == FoldHyphen && letter(codes[end - 1])
                && letter(codes[end + 1])) {
                ++end;
                continue;
            }
            break;
        }
        for (size_t start = i; start < end;) {
            size_t runEnd = start;
            while (runEnd < end && word(codes[runEnd]))
                ++runEnd;
            add(codes.substr(start, runEnd - start), first);
            if (runEnd < end)
                add(codes.substr(start, end - start), first);
            start = runEnd + 1;
        }
        first = false;
        i = end;
    }
}

} // namespace

QString QuickTableName(QuickSide side)
{
    return (side == QuickSide::Persons ? PersonsTable : OrgsTable).toString();
}

std::vector<QString> QuickShownFields(QuickSide side)
{
    if (side == QuickSide::Persons)
        return {u"nt"_s, u"fio"_s, u"street"_s, u"hous"_s, u"flat"_s};
    return {u"nt"_s, u"naim"_s, u"mesto"_s, u"street"_s, u"hous"_s};
}

QuickIndex::~QuickIndex() = default;

// What reading a run of live records gives, by live record from the run's
// first: its words (numbered in the slice's own dictionary, with their ranks)
// and telephone digits.
struct QuickIndex::Slice {
    QuickWords dictionary;
    std::vector<uint32_t> wordStart;
    std::vector<uint32_t> words;
    std::vector<PackedPhone> phoneDigits;
    bool complete = false; // not stopped early
};

// The stored words a typed word matches: one range, or (slips) several,
// ascending.
struct QuickIndex::WordTest {
    std::vector<QuickWords::Range> ranges;
};

namespace {

// Places from which a search is shared out between two threads: below, a
// second thread costs more than it saves.
std::atomic<size_t> SplitFrom{size_t{1} << 15};

// Runs `part(from, to, found)` (false when cancelled) over [0, n), in two
// halves at once when there is enough to do; the halves' results one after
// the other. Nothing when cancelled.
template <typename Part>
std::optional<QuickFound> InHalves(size_t n, Part part)
{
    QuickFound found;
    if (n < SplitFrom.load(std::memory_order_relaxed)) {
        if (!part(0, n, found))
            return std::nullopt;
        return found;
    }
    const size_t half = n / 2;
    QuickFound second;
    auto firstHalf = std::async(std::launch::async, [&] { return part(0, half, found); });
    const bool secondDone = part(half, n, second);
    if (!firstHalf.get() || !secondDone)
        return std::nullopt;
    found.places.insert(found.places.end(), second.places.begin(), second.places.end());
    found.ranks.insert(found.ranks.end(), second.ranks.begin(), second.ranks.end());
    return found;
}

} // namespace

// A typed number made ready for testing places.
struct QuickIndex::Number {
    const std::string *digits = nullptr;
    PackedPhone phone = 0;     // PackDigits of the number
    PackedPhone phoneMask = 0; // the nibbles it fills
    bool longer = false;       // than the kept digits: the record's are read
    // For a number that only filters: the places whose house or flat is it,
    // or that hold a word it begins.
    std::vector<uint64_t> others;
};

struct QuickIndex::Prepared {
    std::vector<WordTest> words;
    // The words that only filter (all but a leading first), as sets of places.
    std::vector<std::vector<uint64_t>> wordPlaces;
    // The numbers that only filter (all but a leading first).
    std::vector<Number> numbers;
};

std::shared_ptr<const QuickIndex> QuickIndex::Build(std::shared_ptr<const DbfTable> table, QuickSide side,
                                                    const std::function<bool()> &stop)
{
    std::shared_ptr<QuickIndex> index(new QuickIndex);
    index->m_side = side;
    index->m_table = table;
    auto field = [&](const char16_t *name) {
        const int i = table->fieldIndex(QStringView(name));
        if (i < 0)
            throw DatabaseError(QCoreApplication::translate("phonebook", "Field \"%1\" not found.").arg(QString::fromUtf16(name)),
                                QuickTableName(side));
        return i;
    };
    const bool persons = side == QuickSide::Persons;
    index->m_phone = field(u"nt");
    if (persons) {
        index->m_textFields = {field(u"fio"), field(u"street")};
        index->m_numberFields = {field(u"hous"), field(u"flat")};
    } else {
        index->m_textFields = {field(u"naim"), field(u"knaim"), field(u"mesto"), field(u"street")};
        index->m_numberFields = {field(u"hous")};
    }
    for (const QString &name : QuickShownFields(side)) {
        index->m_shown.push_back(field(reinterpret_cast<const char16_t *>(name.utf16())));
        index->m_shownNames.push_back(name);
    }

    // Folding tables: the byte's character deciphered at each key position.
    const CodePage page = table->codePage();
    index->m_singleByte = page != CodePage::Utf8;
    if (index->m_singleByte) {
        index->m_fold.assign(KeyLength * 256, FoldNone);
        index->m_separator.assign(256, 0);
        for (int b = 0; b < 256; ++b) {
            const char16_t c = ByteToUnicode(page, static_cast<unsigned char>(b));
            if (IsCipherSeparator(c)) {
                index->m_separator[b] = 1;
                continue;
            }
            QString probe(KeyLength, u'а');
            for (int k = 0; k < KeyLength; ++k) {
                probe[k] = QChar(c);
                const QString plain = DecodeText(QStringView(probe).left(k + 1), CipherKey);
                index->m_fold[static_cast<size_t>(k * 256 + b)] =
                    plain.back() == u'-' ? FoldHyphen : FoldChar(plain.back().unicode());
                probe[k] = u'а';
            }
        }
    }

    // The records' words read on two halves of the live records, one on a
    // worker, and the records ordered on another. Names mostly distinct
    // (individuals) are sorted by keys made while the words are read, once
    // they are; names that recur (an organisation's many numbers) are ordered
    // by the table's own ordering, which ranks each distinct name once, from
    // the start. Then each place's arrays in that order.
    const uint32_t count = table->liveCount();
    const int nameField = persons ? field(u"fio") : field(u"naim");
    const std::vector<OrderTerm> terms = {{nameField, false}, {index->m_phone, false}};
    std::vector<uint32_t> firstRecords;
    for (uint32_t live = 0; live < std::min<uint32_t>(count, 4096); ++live)
        firstRecords.push_back(table->liveRecord(live));
    const bool byKeys = MostlyDistinct(*table, nameField, firstRecords);
    const auto orderRecords = [&] {
        const ScopedStopCheck stopOrdering(stop);
        index->m_order.reserve(count);
        for (uint32_t live = 0; live < count; ++live)
            index->m_order.push_back(table->liveRecord(live));
        OrderRecords(*table, index->m_order, terms, {});
    };
    // Declared before the ordering, which uses it: a throw meanwhile waits
    // for the ordering before this goes.
    std::vector<KeyedRecord> keyed(byKeys ? count : 0);
    std::future<void> ordering;
    if (!byKeys)
        ordering = std::async(std::launch::async, orderRecords);
    KeyedRecord *const nameKeys = byKeys ? keyed.data() : nullptr;
    const uint32_t half = count / 2;
    Slice first;
    Slice second;
    auto firstHalf = std::async(std::launch::async, [&] { index->describe(0, half, first, nameKeys, stop); });
    index->describe(half, count, second, nameKeys, stop);
    firstHalf.get();
    if ((stop && stop()) || !first.complete || !second.complete)
        return nullptr;
    if (byKeys) {
        ordering = std::async(std::launch::async, [&] {
            const ScopedStopCheck stopOrdering(stop);
            OrderKeyedRecords(*table, keyed, terms);
            index->m_order.reserve(count);
            for (const KeyedRecord &entry : keyed)
                index->m_order.push_back(entry.record);
        });
    }

    // One dictionary, its words numbered in their sorted order.
    std::vector<uint32_t> secondNumbers = first.dictionary.AddAll(second.dictionary);
    if (first.dictionary.size() > WordMask)
        throw DatabaseError(CoreError(CoreMessage("The table %1 holds too many distinct words for the quick search."),
                                      {QuickTableName(side)}));
    const std::vector<uint32_t> firstNumbers = first.dictionary.Sort();
    for (uint32_t &number : secondNumbers)
        number = firstNumbers[number];
    index->m_dictionary = std::make_unique<QuickWords>(std::move(first.dictionary));
    second.dictionary = {};
    // The slices' entries renumbered to the final numbers, and each word's
    // postings counted, while the records are ordered.
    const size_t words = index->m_dictionary->size();
    std::vector<uint32_t> &start = index->m_postStart;
    start.assign(words + 1, 0);
    const auto renumber = [&start](Slice &slice, const std::vector<uint32_t> &numbers) {
        for (uint32_t &entry : slice.words) {
            const uint32_t number = numbers[entry & WordMask];
            entry = number | (entry & ~WordMask);
            ++start[number + 1];
        }
    };
    renumber(first, firstNumbers);
    renumber(second, secondNumbers);
    ordering.get();
    if (stop && stop())
        return nullptr;
    keyed = {};

    // The postings place by place, the earlier half of the places from the
    // front of each word's share and the later half from its back, at once,
    // so that each word's come in place order.
    std::vector<uint32_t> liveOf(table->physicalCount());
    for (uint32_t live = 0; live < count; ++live)
        liveOf[table->liveRecord(live)] = live;
    index->m_phoneDigits.resize(count);
    for (size_t w = 0; w < words; ++w)
        start[w + 1] += start[w];
    index->m_posts.resize(start.back());
    // The slice a live record was read into, and its number there.
    const auto sliceOf = [&](uint32_t live) -> std::pair<const Slice &, uint32_t> {
        if (live < half)
            return {first, live};
        return {second, live - half};
    };
    const auto post = [&](bool backwards) {
        std::vector<uint32_t> next(backwards ? start.begin() + 1 : start.begin(), backwards ? start.end() : start.end() - 1);
        const uint32_t from = backwards ? count / 2 : 0;
        const uint32_t to = backwards ? count : count / 2;
        const auto placeAt = [&](uint32_t i) { return backwards ? to - 1 - (i - from) : i; };
        for (uint32_t i = from; i < to; ++i) {
            if ((i - from) % CancelStride == 0 && stop && stop())
                return false;
            // The records lie scattered in place order: what each needs is
            // fetched ahead in three steps, each using what the one before
            // fetched: its live number, where its words are, and the words.
            if (i + 3 * FetchAhead < to)
                Fetch(&liveOf[index->m_order[placeAt(i + 3 * FetchAhead)]]);
            if (i + 2 * FetchAhead < to) {
                const auto [aheadSlice, aheadAt] = sliceOf(liveOf[index->m_order[placeAt(i + 2 * FetchAhead)]]);
                Fetch(aheadSlice.wordStart.data() + aheadAt);
                Fetch(aheadSlice.phoneDigits.data() + aheadAt);
            }
            if (i + FetchAhead < to) {
                const auto [aheadSlice, aheadAt] = sliceOf(liveOf[index->m_order[placeAt(i + FetchAhead)]]);
                Fetch(aheadSlice.words.data() + aheadSlice.wordStart[aheadAt]);
            }
            const uint32_t place = placeAt(i);
            const uint32_t live = liveOf[index->m_order[place]];
            const auto [slice, at] = sliceOf(live);
            for (uint32_t w = slice.wordStart[at]; w < slice.wordStart[at + 1]; ++w) {
                const uint32_t entry = slice.words[w];
                uint32_t &slot = next[entry & WordMask];
                index->m_posts[backwards ? --slot : slot++] = place | (entry & ~WordMask);
            }
            index->m_phoneDigits[place] = slice.phoneDigits[at];
        }
        return true;
    };
    auto earlyPosted = std::async(std::launch::async, [&] { return post(false); });
    const bool laterPosted = post(true);
    if (!earlyPosted.get() || !laterPosted)
        return nullptr;
    return index;
}

void QuickIndex::describe(uint32_t from, uint32_t to, Slice &slice, KeyedRecord *keyed,
                          const std::function<bool()> &stop) const
{
    const CodePage page = m_table->codePage();
    const size_t fields = m_numberFields.size();
    slice.wordStart.reserve(to - from + 1);
    slice.wordStart.push_back(0);
    slice.words.reserve(static_cast<size_t>(to - from) * 6);
    slice.phoneDigits.reserve(to - from);
    std::string scratch;
    std::string numberWord(1, static_cast<char>(FoldNumberMark));
    std::vector<uint32_t> words;
    // Streets, and an organisation's names, recur from record to record:
    // the entries of a value seen before are taken as they were, while that
    // pays (most of a field's values seen before).
    struct Seen {
        std::unordered_map<std::string_view, std::pair<uint32_t, uint32_t>> values; // into `entries`
        std::vector<uint32_t> entries;
        uint32_t asked = 0;
        uint32_t found = 0;
        bool on = true;
        std::string_view last; // the previous record's value, and its entries
        std::vector<uint32_t> lastEntries;
        bool hasLast = false;
    };
    std::vector<Seen> seen(m_textFields.size());
    std::vector<RecentNumbers> recent(fields);
    struct Pending {
        std::string_view codes;
        uint32_t hash;
        uint32_t rank;
    };
    std::vector<Pending> pending;
    for (uint32_t live = from; live < to; ++live) {
        if ((live - from) % CancelStride == 0 && stop && stop())
            return;
        const uint32_t record = m_table->liveRecord(live);
        if (keyed) {
            const auto [key, next] = MakeSortKeys(page, m_table->rawField(record, m_textFields[0]));
            keyed[live] = {key, next.value_or(SortKey{}), record, next ? KeyedRecord::Next::Made : KeyedRecord::Next::Unusable};
        }
        // Entries of the word's number and rank, the number high while they
        // are sorted, so that a word found twice keeps its best rank.
        words.clear();
        for (size_t f = 0; f < m_textFields.size(); ++f) {
            const std::string_view raw = m_table->rawField(record, m_textFields[f]);
            Seen &field = seen[f];
            // The previous record's value again (an organisation's numbers lie together).
            if (field.hasLast && raw == field.last) {
                words.insert(words.end(), field.lastEntries.begin(), field.lastEntries.end());
                continue;
            }
            const size_t before = words.size();
            const auto remember = [&] {
                field.last = raw;
                field.hasLast = true;
                field.lastEntries.assign(words.begin() + static_cast<std::ptrdiff_t>(before), words.end());
            };
            if (field.on && field.asked == 4096 && field.found * 2 < field.asked) {
                field.on = false;
                field.values = {};
                field.entries = {};
            }
            if (field.on) {
                ++field.asked;
                if (const auto it = field.values.find(raw); it != field.values.end()) {
                    ++field.found;
                    words.insert(words.end(), field.entries.begin() + it->second.first,
                                 field.entries.begin() + it->second.second);
                    remember();
                    continue;
                }
            }
            Fold(raw, scratch);
            const auto rank = static_cast<uint32_t>(f == 0 ? 1 : f + 1);
            // The words' places in the dictionary fetched together, then added.
            pending.clear();
            ForEachWord(scratch, [&](std::string_view word, bool first) {
                const uint32_t hash = QuickWords::HashOf(word);
                slice.dictionary.Prefetch(hash);
                pending.push_back({word, hash, first && f == 0 ? 0 : rank});
            });
            for (const Pending &word : pending)
                words.push_back(slice.dictionary.Add(word.codes, word.hash) << 3 | word.rank);
            if (field.on && field.values.size() < 65536) {
                const auto at = static_cast<uint32_t>(field.entries.size());
                field.entries.insert(field.entries.end(), words.begin() + static_cast<std::ptrdiff_t>(before), words.end());
                field.values.emplace(raw, std::pair{at, static_cast<uint32_t>(field.entries.size())});
            }
            remember();
        }
        // The house's and flat's leading digits, ranked by their field.
        for (size_t f = 0; f < fields; ++f) {
            const std::string_view raw = m_table->rawField(record, m_numberFields[f]);
            RecentNumbers::Slot *slot = recent[f].slotOf(raw);
            uint32_t word = RecentNumbers::NoWord;
            if (slot && slot->holds(raw)) {
                word = slot->word;
            } else {
                Fold(TrimLeft(raw), scratch);
                if (const std::string_view digits = LeadingDigits(scratch); !digits.empty()) {
                    numberWord.resize(1);
                    numberWord.append(digits);
                    word = slice.dictionary.Add(numberWord);
                }
                if (slot)
                    slot->keep(raw, word);
            }
            if (word != RecentNumbers::NoWord)
                words.push_back(word << 3 | static_cast<uint32_t>(f + 1));
        }
        std::sort(words.begin(), words.end());
        uint32_t last = UINT32_MAX;
        for (const uint32_t entry : words) {
            if (entry >> 3 == last)
                continue;
            last = entry >> 3;
            slice.words.push_back(last | (entry & 7) << RankShift);
        }
        slice.wordStart.push_back(static_cast<uint32_t>(slice.words.size()));

        Fold(m_table->rawField(record, m_phone), scratch);
        slice.phoneDigits.push_back(PackDigits(scratch));
    }
    slice.complete = true;
}

void QuickIndex::Fold(std::string_view raw, std::string &codes) const
{
    codes.clear();
    int k = 0;
    if (m_singleByte) {
        codes.resize(raw.size());
        for (size_t i = 0; i < raw.size(); ++i) {
            const auto b = static_cast<unsigned char>(raw[i]);
            if (m_separator[b]) {
                codes[i] = static_cast<char>(FoldNone);
                k = 0;
                continue;
            }
            codes[i] = static_cast<char>(m_fold[static_cast<size_t>(k * 256 + b)]);
            k = k + 1 == KeyLength ? 0 : k + 1;
        }
        return;
    }
    // A UTF-8 table: one code per character, deciphered as DecodeText does.
    const QString stored = DecodeBytes(m_table->codePage(), raw);
    const QString plain = DecodeText(stored, CipherKey);
    for (const char32_t c : plain.toUcs4()) {
        const uint8_t code = c == U'-' ? FoldHyphen : FoldChar(c);
        codes.push_back(static_cast<char>(code == FoldUnmatchable ? FoldNone : code));
    }
}

bool QuickIndex::digitsBegin(uint32_t record, const std::string &number, std::string &codes) const
{
    Fold(m_table->rawField(record, m_phone), codes);
    size_t matched = 0;
    for (const char c : codes) {
        if (!IsFoldDigit(static_cast<uint8_t>(c)))
            continue;
        if (c != number[matched])
            return false;
        if (++matched == number.size())
            return true;
    }
    return false;
}

bool QuickIndex::phoneBegins(uint32_t place, const Number &number, Scratch &scratch) const
{
    return (m_phoneDigits[place] & number.phoneMask) == number.phone
        && (!number.longer || digitsBegin(m_order[place], *number.digits, scratch.codes));
}

namespace {

bool HasBit(const std::vector<uint64_t> &bits, uint32_t place) { return (bits[place >> 6] >> (place & 63) & 1) != 0; }

// The word kept for a house or flat whose leading digits are `digits`: one
// word or none.
QuickWords::Range NumberWord(const QuickWords &dictionary, const std::string &digits)
{
    std::string word(1, static_cast<char>(FoldNumberMark));
    word += digits;
    const QuickWords::Range range = dictionary.Beginning(word);
    if (range.count == 0 || dictionary.word(range.first) != word)
        return {};
    return {range.first, 1};
}

} // namespace

std::vector<uint64_t> QuickIndex::placeBits(const WordTest &words) const
{
    std::vector<uint64_t> bits((m_order.size() + 63) / 64, 0);
    for (const QuickWords::Range range : words.ranges) {
        const uint32_t *p = m_posts.data() + m_postStart[range.first];
        const uint32_t *end = m_posts.data() + m_postStart[range.first + range.count];
        for (; p < end; ++p) {
            const uint32_t place = *p & WordMask;
            bits[place >> 6] |= uint64_t{1} << (place & 63);
        }
    }
    return bits;
}

std::optional<QuickFound> QuickIndex::placesWith(const WordTest &words, const std::function<bool()> &cancelled) const
{
    const auto count = static_cast<uint32_t>(m_order.size());
    size_t postings = 0;
    for (const QuickWords::Range range : words.ranges)
        postings += m_postStart[range.first + range.count] - m_postStart[range.first];
    QuickFound found;
    // One word: its list is the answer, in place order already.
    if (words.ranges.size() == 1 && words.ranges[0].count == 1) {
        const QuickWords::Range range = words.ranges[0];
        found.places.reserve(postings);
        found.ranks.reserve(postings);
        for (uint32_t i = m_postStart[range.first]; i < m_postStart[range.first + 1]; ++i) {
            found.places.push_back(m_posts[i] & WordMask);
            found.ranks.push_back(static_cast<uint8_t>(m_posts[i] >> RankShift));
        }
        return found;
    }
    // A place's postings lie in as many lists as it has matching words: the
    // best rank of each place is kept by place. Sorting them costs less only
    // while they are few.
    if (postings < count / 128) {
        // Few: sorted by place and then rank, the first of a place is its best.
        std::vector<uint32_t> keys;
        keys.reserve(postings);
        for (const QuickWords::Range range : words.ranges) {
            for (uint32_t i = m_postStart[range.first]; i < m_postStart[range.first + range.count]; ++i)
                keys.push_back((m_posts[i] & WordMask) << 3 | m_posts[i] >> RankShift);
        }
        std::sort(keys.begin(), keys.end());
        found.places.reserve(keys.size());
        found.ranks.reserve(keys.size());
        for (const uint32_t key : keys) {
            if (!found.places.empty() && found.places.back() == key >> 3)
                continue;
            found.places.push_back(key >> 3);
            found.ranks.push_back(static_cast<uint8_t>(key & 7));
        }
        return found;
    }
    std::vector<uint8_t> best(count, NoRank);
    size_t seen = 0;
    for (const QuickWords::Range range : words.ranges) {
        const uint32_t *p = m_posts.data() + m_postStart[range.first];
        const uint32_t *end = m_posts.data() + m_postStart[range.first + range.count];
        for (; p < end; ++p) {
            if (++seen % (CancelStride * 8) == 0 && cancelled && cancelled())
                return std::nullopt;
            uint8_t &rank = best[*p & WordMask];
            rank = std::min(rank, static_cast<uint8_t>(*p >> RankShift));
        }
    }
    found.places.reserve(std::min<size_t>(postings, count));
    found.ranks.reserve(found.places.capacity());
    // Eight places at a time: most of a long table's are not found.
    uint32_t place = 0;
    for (; place + 8 <= count; place += 8) {
        uint64_t eight;
        std::memcpy(&eight, best.data() + place, 8);
        if (eight == ~uint64_t{0})
            continue;
        for (uint32_t i = place; i < place + 8; ++i) {
            if (best[i] != NoRank) {
                found.places.push_back(i);
                found.ranks.push_back(best[i]);
            }
        }
    }
    for (; place < count; ++place) {
        if (best[place] != NoRank) {
            found.places.push_back(place);
            found.ranks.push_back(best[place]);
        }
    }
    return found;
}

bool QuickIndex::matches(uint32_t place, const Prepared &query, Scratch &scratch) const
{
    for (const std::vector<uint64_t> &words : query.wordPlaces) {
        if (!HasBit(words, place))
            return false;
    }
    for (const Number &number : query.numbers) {
        if (!phoneBegins(place, number, scratch) && !HasBit(number.others, place))
            return false;
    }
    return true;
}

namespace {

// The places of two results, each once with its better rank.
QuickFound Merged(const QuickFound &a, const QuickFound &b)
{
    if (b.empty())
        return a;
    if (a.empty())
        return b;
    QuickFound merged;
    merged.places.reserve(a.size() + b.size());
    merged.ranks.reserve(a.size() + b.size());
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a.places[i] < b.places[j])) {
            merged.places.push_back(a.places[i]);
            merged.ranks.push_back(a.ranks[i++]);
        } else if (i == a.size() || b.places[j] < a.places[i]) {
            merged.places.push_back(b.places[j]);
            merged.ranks.push_back(b.ranks[j++]);
        } else {
            merged.places.push_back(a.places[i]);
            merged.ranks.push_back(std::min(a.ranks[i++], b.ranks[j++]));
        }
    }
    return merged;
}

} // namespace

std::optional<QuickFound> QuickIndex::numberPlaces(const Number &number, const std::vector<uint32_t> *within,
                                                   const std::function<bool()> &cancelled) const
{
    const auto count = static_cast<uint32_t>(m_order.size());
    // Sweeping every place front to back costs less than picking out a long
    // previous result's.
    if (within && within->size() > count / 16)
        within = nullptr;
    const size_t n = within ? within->size() : count;
    const uint32_t *const places = within ? within->data() : nullptr;
    std::optional<QuickFound> found = InHalves(n, [&](size_t from, size_t to, QuickFound &part) {
        // Everything in locals: the result's stores could otherwise alias them.
        const PackedPhone *const phones = m_phoneDigits.data();
        const uint32_t *const chosen = places;
        const PackedPhone phoneMask = number.phoneMask;
        const PackedPhone phone = number.phone;
        std::vector<uint32_t> hits;
        for (size_t block = from; block < to; block += CancelStride * 8) {
            if (cancelled && cancelled())
                return false;
            const size_t end = std::min(to, block + CancelStride * 8);
            for (size_t i = block; i < end; ++i) {
                const auto place = chosen ? chosen[i] : static_cast<uint32_t>(i);
                if ((phones[place] & phoneMask) == phone)
                    hits.push_back(place);
            }
        }
        if (number.longer) {
            Scratch scratch;
            std::erase_if(hits, [&](uint32_t place) { return !digitsBegin(m_order[place], *number.digits, scratch.codes); });
        }
        part.places = std::move(hits);
        part.ranks.assign(part.places.size(), 0);
        return true;
    });
    if (!found)
        return std::nullopt;
    // The house's or flat's places carry their field's rank.
    if (const QuickWords::Range house = NumberWord(*m_dictionary, *number.digits); house.count != 0) {
        std::optional<QuickFound> houses = placesWith(WordTest{{house}}, cancelled);
        if (!houses)
            return std::nullopt;
        found = Merged(*found, *houses);
    }
    // A word it begins ranks last.
    if (const QuickWords::Range words = m_dictionary->Beginning(*number.digits); words.count != 0) {
        std::optional<QuickFound> holding = placesWith(WordTest{{words}}, cancelled);
        if (!holding)
            return std::nullopt;
        holding->ranks.assign(holding->size(), static_cast<uint8_t>(m_numberFields.size() + 1));
        found = Merged(*found, *holding);
    }
    return found;
}

std::optional<QuickFound> QuickIndex::Find(const QuickQuery &query, const std::vector<uint32_t> *within,
                                           const std::function<bool()> &cancelled, bool housesToo,
                                           QuickMatch match) const
{
    QuickFound found;
    if (query.empty())
        return found;
    Prepared prepared;
    const bool numberFirst = query.numberFirst || query.words.empty();
    for (const std::string &word : query.words) {
        if (match == QuickMatch::Slips && word.size() >= SlipWordLength) {
            std::vector<QuickWords::Range> ranges = m_dictionary->Slips(word);
            if (ranges.empty())
                return found;
            prepared.words.push_back({std::move(ranges)});
            continue;
        }
        for (const char c : word) {
            if (static_cast<uint8_t>(c) == FoldUnmatchable)
                return found; // a letter no value can hold
        }
        const QuickWords::Range range = m_dictionary->Beginning(word);
        if (range.count == 0)
            return found; // no word of the table begins with it
        prepared.words.push_back({{range}});
    }
    for (size_t i = numberFirst ? 0 : 1; i < prepared.words.size(); ++i)
        prepared.wordPlaces.push_back(placeBits(prepared.words[i]));
    for (size_t i = 0; i < query.numbers.size(); ++i) {
        const std::string &digits = query.numbers[i];
        Number number;
        number.digits = &digits;
        number.longer = digits.size() > PackedDigits;
        const size_t kept = std::min(digits.size(), PackedDigits);
        number.phoneMask = static_cast<PackedPhone>(~PackedPhone{0} << (8 * sizeof(PackedPhone) - 4 * kept));
        number.phone = PackDigits(digits);
        if (i != 0 || !numberFirst) {
            WordTest others;
            for (const QuickWords::Range range : {NumberWord(*m_dictionary, digits), m_dictionary->Beginning(digits)}) {
                if (range.count != 0)
                    others.ranges.push_back(range);
            }
            number.others = placeBits(others);
        }
        prepared.numbers.push_back(std::move(number));
    }

    // The leading word's or number's places, each with its rank; the rest
    // of the text filters them.
    if (cancelled && cancelled())
        return std::nullopt;
    std::optional<QuickFound> lead;
    if (numberFirst) {
        // A longer number may now equal the house of a place the previous
        // result lacks: then only a sweep of every place finds the rest.
        const bool anyPlace = housesToo && prepared.numbers.size() > 1;
        lead = numberPlaces(prepared.numbers.front(), anyPlace ? nullptr : within, cancelled);
        prepared.numbers.erase(prepared.numbers.begin());
    } else {
        lead = placesWith(prepared.words.front(), cancelled);
    }
    if (!lead || (prepared.wordPlaces.empty() && prepared.numbers.empty()))
        return lead;
    Scratch scratch;
    for (size_t i = 0; i < lead->size(); ++i) {
        if (i % CancelStride == 0 && cancelled && cancelled())
            return std::nullopt;
        if (matches(lead->places[i], prepared, scratch)) {
            found.places.push_back(lead->places[i]);
            found.ranks.push_back(lead->ranks[i]);
        }
    }
    return found;
}

std::shared_ptr<const RowSource> QuickIndex::Rows(std::shared_ptr<const QuickFound> found) const
{
    return std::make_shared<QuickRows>(shared_from_this(), std::move(found), m_order, m_shown, m_shownNames);
}

void QuickIndex::SetSplitFrom(size_t places) { SplitFrom.store(std::max<size_t>(places, 2)); }

size_t QuickIndex::MemoryBytes() const
{
    return m_order.capacity() * sizeof(uint32_t) + m_postStart.capacity() * sizeof(uint32_t)
        + m_posts.capacity() * sizeof(uint32_t) + m_phoneDigits.capacity() * sizeof(m_phoneDigits[0]) + m_fold.size()
        + m_separator.size() + m_dictionary->MemoryBytes();
}

} // namespace phonebook::search
