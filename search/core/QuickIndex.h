#pragma once
// The quick search over one table file, on its stored (enciphered) bytes.
//
// Built once per table: the records in the order of the full list; for every
// word of the table (see QuickWords) the places, in that order, of the records
// holding it, each with the rank the word gives the row; and for every place
// its telephone number's first digits. A house's or flat's leading digits are
// kept as a word of their own, led by FoldNumberMark, so that the places of
// a house number are one list like a word's. The words are read once from
// the stored bytes, through per-key-position tables that fold every byte to
// its deciphered letter, case and "ё"/"е" ignored. A stored hyphenated word
// gives its parts and, besides, itself whole. A text led by a word costs the
// places of the words it begins, whatever the table's size; one led by a
// number sweeps the kept telephone digits and adds the lists of its house
// and of the words it begins.
//
// A result is a list of places, ascending, so that narrowing it reads the
// kept arrays front to back, with each place's rank: where the first word (or
// number) of the text matched, best first. Individuals: 0 the first word of
// the full name, 1 another word of it, 2 a word of the street; a number: 0
// the telephone number, 1 the house, 2 the flat, 3 only a word. Organisations:
// 0 the first word of the name, 1 another word of it, 2 the second name, 3 the
// department, 4 the street; a number: 0 the telephone number, 1 the house, 2
// only a word. The rows are shown by rank, in the places' order within one
// rank. A record's bytes are read again only for a number longer than the
// kept digits.

#include "QuickRule.h"
#include "QuickWords.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace phonebook {
class DbfTable;
class RowSource;
struct KeyedRecord;
}

namespace phonebook::search {

enum class QuickSide {
    Persons, // sp09kw_n: words of fio and street; nt, hous, flat; by fio, then nt
    Orgs,    // sp09pr_n: words of naim, knaim, mesto and street; nt, hous; by naim, then nt
};

// Table base name and the fields a result shows, in order.
QString QuickTableName(QuickSide side);
std::vector<QString> QuickShownFields(QuickSide side);

// The places a search found, ascending, and the rank of each.
struct QuickFound {
    std::vector<uint32_t> places;
    std::vector<uint8_t> ranks;
    size_t size() const { return places.size(); }
    bool empty() const { return places.empty(); }
};

class QuickIndex : public std::enable_shared_from_this<QuickIndex> {
public:
    // Ranks run from 0 to MaxRank.
    static constexpr uint8_t MaxRank = 4;

    // Reads every record of the table once and orders them. Throws
    // DatabaseError when the table lacks a field the side needs. Returns null
    // when `stop` turned true meanwhile.
    static std::shared_ptr<const QuickIndex> Build(std::shared_ptr<const DbfTable> table, QuickSide side,
                                                   const std::function<bool()> &stop = {});
    ~QuickIndex();

    QuickSide side() const { return m_side; }
    const DbfTable &table() const { return *m_table; }

    // Places (in the result's order, ascending) of the records that match
    // `query`. `within` (a previous result) limits the search to its
    // records; null searches the whole table. With `housesToo`
    // the records whose house or flat leading digits are one of the query's
    // numbers are searched besides `within` (a number that extends a previous
    // one: it may now equal a house the shorter one did not). The result is
    // the same with or without `within`, which only spares work. An empty
    // query matches nothing. Returns nothing when `cancelled` turned true
    // meanwhile.
    std::optional<QuickFound> Find(const QuickQuery &query, const std::vector<uint32_t> *within,
                                   const std::function<bool()> &cancelled = {}, bool housesToo = false,
                                   QuickMatch match = QuickMatch::Exact) const;

    // The records found as a result with the side's shown fields (stored
    // text), by rank and then place. Only the rows read are put in order, as
    // they are read; the result keeps `found` and this index.
    std::shared_ptr<const RowSource> Rows(std::shared_ptr<const QuickFound> found) const;

    // Searches over this many places or more are shared out between two
    // threads (32 768 unless set; tests set it low to run both halves).
    static void SetSplitFrom(size_t places);

    // Bytes the index keeps besides the table (written ones).
    size_t MemoryBytes() const;
    // Distinct words kept: those of the text fields, and the houses' and flats' digits.
    size_t WordCount() const { return m_dictionary->size(); }

    // Folded codes of a stored value, one per character: word characters by
    // their codes, everything else FoldNone.
    void Fold(std::string_view raw, std::string &codes) const;

private:
    QuickIndex() = default;
    // Buffers a search reuses from record to record.
    struct Scratch {
        std::string codes;
    };
    // The query made ready for testing a place.
    struct Prepared;
    // Reads the live records `from` up to `to` (not included) into `slice`,
    // and, unless `keyed` is null, each one's name keys into keyed[live];
    // stops early when `stop` turns true.
    struct Slice;
    void describe(uint32_t from, uint32_t to, Slice &slice, KeyedRecord *keyed, const std::function<bool()> &stop) const;
    // Whether the place holds every part of `query` but the leading one.
    bool matches(uint32_t place, const Prepared &query, Scratch &scratch) const;
    // The stored words a typed word matches, and what they give.
    struct WordTest;
    // The places holding a word of `words`, ascending, each with the best
    // rank those words give it; nothing when cancelled.
    std::optional<QuickFound> placesWith(const WordTest &words, const std::function<bool()> &cancelled) const;
    // One bit a place: whether it holds a word of `words`.
    std::vector<uint64_t> placeBits(const WordTest &words) const;
    // The places of the number's leading part, each with its rank: those
    // whose telephone number begins with it (of `within` where not null),
    // whose house or flat is it, and that hold a word it begins.
    struct Number;
    std::optional<QuickFound> numberPlaces(const Number &number, const std::vector<uint32_t> *within,
                                           const std::function<bool()> &cancelled) const;
    // Whether the place's telephone number begins with the number.
    bool phoneBegins(uint32_t place, const Number &number, Scratch &scratch) const;
    // The value's folded digits begin with `number`.
    bool digitsBegin(uint32_t record, const std::string &number, std::string &codes) const;

    QuickSide m_side = QuickSide::Persons;
    std::shared_ptr<const DbfTable> m_table;
    std::vector<int> m_textFields;
    int m_phone = -1;
    std::vector<int> m_numberFields; // house, flat: matched by their leading digits
    std::vector<int> m_shown;
    std::vector<QString> m_shownNames;
    // For single-byte code pages: the folded code of every byte at every key
    // position; separators (which restart the key) flagged apart.
    bool m_singleByte = true;
    std::vector<uint8_t> m_fold; // [key position * 256 + byte]
    std::vector<uint8_t> m_separator; // [byte]
    std::unique_ptr<const QuickWords> m_dictionary; // the words of the text fields, and of the numbers
    // Everything below is by place: a live record's position in the result's order.
    std::vector<uint32_t> m_order; // the physical record at each place
    // For every word, the places holding it, ascending, each with the rank
    // the word gives the place in the bits from RankShift up (the best where
    // the word occurs twice): those of the word w are
    // m_posts[m_postStart[w] .. m_postStart[w + 1]), so that the words of
    // one range of the dictionary have their places side by side.
    std::vector<uint32_t> m_postStart;
    std::vector<uint32_t> m_posts;
    // The telephone number's first 8 digits, a digit plus one a nibble, the first in the highest.
    std::vector<uint32_t> m_phoneDigits;
};

} // namespace phonebook::search
