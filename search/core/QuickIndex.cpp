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
#include <chrono>
#include <cstring>
#include <iterator>

namespace phonebook::search {

namespace {

using namespace Qt::StringLiterals;

constexpr int KeyLength = 10;
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

// A key of leading digit codes: up to 8 digits their count and value, 0 for
// none, and one key shared by all longer ones (those are told apart by the
// full test that follows).
uint32_t NumberKey(std::string_view digits)
{
    if (digits.empty())
        return 0;
    if (digits.size() > 8)
        return UINT32_MAX;
    uint32_t value = 0;
    for (const char c : digits)
        value = value * 10 + static_cast<uint32_t>(DigitOf(static_cast<uint8_t>(c)));
    return static_cast<uint32_t>(digits.size()) << 27 | value;
}

constexpr size_t PackedDigits = 16;

uint64_t PackDigits(std::string_view codes)
{
    uint64_t packed = 0;
    int shift = 60;
    for (const char c : codes) {
        if (!IsFoldDigit(static_cast<uint8_t>(c)))
            continue;
        if (shift < 0)
            break;
        packed |= static_cast<uint64_t>(DigitOf(static_cast<uint8_t>(c)) + 1) << shift;
        shift -= 4;
    }
    return packed;
}

// How far ahead of the place being tested its successors' arrays are fetched.
constexpr size_t FetchAhead = 16;

void Fetch(const void *p) { __builtin_prefetch(p, 0, 0); }

class QuickRows final : public RowSource {
public:
    QuickRows(std::shared_ptr<const DbfTable> table, std::vector<uint32_t> records, std::vector<int> fields,
              std::vector<QString> names)
        : m_table(std::move(table)), m_records(std::move(records)), m_fields(std::move(fields)), m_names(std::move(names))
    {
    }
    int rowCount() const override { return static_cast<int>(m_records.size()); }
    int columnCount() const override { return static_cast<int>(m_fields.size()); }
    QString columnName(int column) const override { return m_names.at(static_cast<size_t>(column)); }
    QString text(int row, int column) const override
    {
        if (!m_guard.MayRead(*m_table, row))
            return {};
        QString value = m_table->text(m_records.at(static_cast<size_t>(row)), m_fields.at(static_cast<size_t>(column)));
        if (!m_guard.ReadSound(*m_table))
            return {};
        return value;
    }

private:
    std::shared_ptr<const DbfTable> m_table;
    std::vector<uint32_t> m_records;
    std::vector<int> m_fields;
    std::vector<QString> m_names;
    TableReadGuard m_guard; // a file replaced since the search is read no further
};

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

// The stored words a typed word matches: one range, or (slips) any set of
// them, one bit a word.
struct QuickIndex::WordTest {
    QuickWords::Range range;
    const uint64_t *bits = nullptr;
    bool holds(uint32_t word) const { return bits ? (bits[word >> 6] >> (word & 63) & 1) != 0 : range.holds(word); }
};

struct QuickIndex::Prepared {
    struct Number {
        const std::string *digits;
        QuickWords::Range words; // the words that begin with the digits
        uint64_t phone;     // PackDigits of the number, with phoneMask
        uint64_t phoneMask; // 0: longer than the kept digits
        uint32_t key;       // NumberKey
    };
    std::vector<WordTest> words;
    std::vector<Number> numbers;
    std::vector<std::vector<uint64_t>> bits; // what the slip tests point into
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
                index->m_fold[static_cast<size_t>(k * 256 + b)] = FoldChar(plain.back().unicode());
                probe[k] = u'а';
            }
        }
    }

    // The order first, then every place's arrays in that order.
    const uint32_t count = table->liveCount();
    index->m_order.reserve(count);
    for (uint32_t live = 0; live < count; ++live)
        index->m_order.push_back(table->liveRecord(live));
    const int nameField = persons ? field(u"fio") : field(u"naim");
    {
        const ScopedStopCheck stopOrdering(stop);
        OrderRecords(*table, index->m_order, {{nameField, false}, {index->m_phone, false}}, {});
    }
    if (stop && stop())
        return nullptr;

    index->m_numberKeys.assign(static_cast<size_t>(count) * index->m_numberFields.size(), 0);
    index->m_phoneDigits.assign(count, 0);
    index->m_wordStart.assign(static_cast<size_t>(count) + 1, 0);
    // Room for more words than a record usually has: the pages never written
    // to cost nothing, and the array is not copied as it grows.
    index->m_words.reserve(static_cast<size_t>(count) * 8);
    QuickWords dictionary;
    std::string scratch;
    std::vector<uint32_t> words;
    const int recordLength = table->recordLength();
    for (uint32_t place = 0; place < count; ++place) {
        if (place % CancelStride == 0 && stop && stop())
            return nullptr;
        if (place + FetchAhead < count) {
            const unsigned char *ahead = table->record(index->m_order[place + FetchAhead]);
            for (int offset = 0; offset < recordLength; offset += 64)
                Fetch(ahead + offset);
        }
        index->describe(place, index->m_order[place], scratch, words, dictionary);
    }
    // The words' numbers in their sorted order.
    const std::vector<uint32_t> sorted = dictionary.Sort();
    for (uint32_t &word : index->m_words)
        word = sorted[word];
    index->m_dictionary = std::make_unique<QuickWords>(std::move(dictionary));
    return index;
}

void QuickIndex::describe(uint32_t place, uint32_t record, std::string &scratch, std::vector<uint32_t> &words,
                          QuickWords &dictionary)
{
    words.clear();
    for (const int field : m_textFields) {
        Fold(m_table->rawField(record, field), scratch);
        for (size_t i = 0; i < scratch.size(); ++i) {
            const auto c = static_cast<uint8_t>(scratch[i]);
            if (c == FoldNone || (i > 0 && scratch[i - 1] != FoldNone))
                continue;
            size_t length = 1;
            while (i + length < scratch.size() && scratch[i + length] != FoldNone)
                ++length;
            words.push_back(dictionary.Add(std::string_view(scratch).substr(i, length)));
        }
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    m_words.insert(m_words.end(), words.begin(), words.end());
    m_wordStart[place + 1] = static_cast<uint32_t>(m_words.size());

    Fold(m_table->rawField(record, m_phone), scratch);
    m_phoneDigits[place] = PackDigits(scratch);
    const size_t fields = m_numberFields.size();
    for (size_t f = 0; f < fields; ++f) {
        Fold(TrimLeft(m_table->rawField(record, m_numberFields[f])), scratch);
        m_numberKeys[place * fields + f] = NumberKey(LeadingDigits(scratch));
    }
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
    for (const char32_t c : plain.toUcs4())
        codes.push_back(static_cast<char>(FoldChar(c) == FoldUnmatchable ? FoldNone : FoldChar(c)));
}

bool QuickIndex::phoneBegins(uint32_t record, const std::string &number, std::string &codes) const
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

bool QuickIndex::leadingDigitsAre(uint32_t record, int field, const std::string &number, std::string &codes) const
{
    Fold(TrimLeft(m_table->rawField(record, field)), codes);
    return LeadingDigits(codes) == number;
}

bool QuickIndex::inText(uint32_t place, QuickWords::Range range) const
{
    const uint32_t *w = m_words.data() + m_wordStart[place];
    const uint32_t *end = m_words.data() + m_wordStart[place + 1];
    return std::any_of(w, end, [range](uint32_t word) { return range.holds(word); });
}

bool QuickIndex::inText(uint32_t place, const WordTest &words) const
{
    if (!words.bits)
        return inText(place, words.range);
    const uint32_t *w = m_words.data() + m_wordStart[place];
    const uint32_t *end = m_words.data() + m_wordStart[place + 1];
    return std::any_of(w, end, [&words](uint32_t word) { return words.holds(word); });
}

bool QuickIndex::matches(uint32_t place, const Prepared &query, Scratch &scratch) const
{
    for (const WordTest &word : query.words) {
        if (!inText(place, word))
            return false;
    }
    const size_t fields = m_numberFields.size();
    for (const Prepared::Number &number : query.numbers) {
        const std::string &digits = *number.digits;
        // The telephone's digits and the houses' keys are kept; the record is
        // read only for a number longer than they hold.
        if (number.phoneMask != 0 ? (m_phoneDigits[place] & number.phoneMask) == number.phone
                                  : phoneBegins(m_order[place], digits, scratch.codes))
            continue;
        bool found = false;
        for (size_t f = 0; f < fields && !found; ++f) {
            found = m_numberKeys[place * fields + f] == number.key
                && (number.key != UINT32_MAX || leadingDigitsAre(m_order[place], m_numberFields[f], digits, scratch.codes));
        }
        if (!found && (number.words.count == 0 || !inText(place, number.words)))
            return false;
    }
    return true;
}

std::optional<std::vector<uint32_t>> QuickIndex::Find(const QuickQuery &query, const std::vector<uint32_t> *within,
                                                      const std::function<bool()> &cancelled,
                                                      bool housesToo, QuickMatch match) const
{
    std::vector<uint32_t> found;
    if (query.empty())
        return found;
    Prepared prepared;
    for (const std::string &word : query.words) {
        if (match == QuickMatch::Slips && word.size() >= SlipWordLength) {
            const std::vector<QuickWords::Range> ranges = m_dictionary->Slips(word);
            if (ranges.empty())
                return found;
            std::vector<uint64_t> &bits = prepared.bits.emplace_back((m_dictionary->size() + 63) / 64, 0);
            for (const QuickWords::Range range : ranges) {
                for (uint32_t w = range.first; w < range.first + range.count; ++w)
                    bits[w >> 6] |= uint64_t{1} << (w & 63);
            }
            prepared.words.push_back({{}, bits.data()});
            continue;
        }
        for (const char c : word) {
            if (static_cast<uint8_t>(c) == FoldUnmatchable)
                return found; // a letter no value can hold
        }
        prepared.words.push_back({m_dictionary->Beginning(word)});
        if (prepared.words.back().range.count == 0)
            return found; // no word of the table begins with it
    }
    for (const std::string &number : query.numbers) {
        Prepared::Number n;
        n.digits = &number;
        n.words = m_dictionary->Beginning(number);
        n.phoneMask = number.size() <= PackedDigits ? ~uint64_t{0} << (64 - 4 * number.size()) : 0;
        n.phone = PackDigits(number);
        n.key = NumberKey(number);
        prepared.numbers.push_back(n);
    }
    Scratch scratch;

    const auto count = static_cast<uint32_t>(m_order.size());
    if (!within) {
        // The whole table: the first word's test runs over the kept words in
        // one sweep; only the places it lets through are tested in full.
        const WordTest *lead = prepared.words.empty() ? nullptr : &prepared.words.front();
        const bool leadDecides = lead && prepared.words.size() == 1 && prepared.numbers.empty();
        const uint32_t *words = m_words.data();
        // The sweep is made once for a range and once for a set of words.
        const auto sweep = [&](auto holds) -> bool {
            uint32_t next = m_wordStart[0];
            for (uint32_t place = 0; place < count; ++place) {
                if (place % CancelStride == 0 && cancelled && cancelled())
                    return false;
                const uint32_t first = next;
                next = m_wordStart[place + 1];
                if (lead) {
                    bool hit = false;
                    for (uint32_t w = first; w < next; ++w)
                        hit |= holds(words[w]);
                    if (!hit)
                        continue;
                    if (leadDecides) {
                        found.push_back(place);
                        continue;
                    }
                }
                if (matches(place, prepared, scratch))
                    found.push_back(place);
            }
            return true;
        };
        const bool swept = lead && lead->bits
            ? sweep([bits = lead->bits](uint32_t word) { return (bits[word >> 6] >> (word & 63) & 1) != 0; })
            : sweep([range = lead ? lead->range : QuickWords::Range{}](uint32_t word) { return range.holds(word); });
        if (!swept)
            return std::nullopt;
        return found;
    }

    // Narrowing: the places ascend, so the kept arrays are read front to
    // back; what the next places need is fetched a little ahead.
    const size_t fields = m_numberFields.size();
    const size_t n = within->size();
    const bool readsWords = !prepared.words.empty()
        || std::any_of(prepared.numbers.begin(), prepared.numbers.end(), [](const Prepared::Number &number) {
               return number.words.count != 0;
           });
    const uint32_t *places = within->data();
    for (size_t i = 0; i < n; ++i) {
        if (i % CancelStride == 0 && cancelled && cancelled())
            return std::nullopt;
        if (i + FetchAhead < n) {
            const uint32_t ahead = places[i + FetchAhead];
            if (readsWords)
                Fetch(&m_wordStart[ahead]);
            if (!prepared.numbers.empty()) {
                Fetch(&m_phoneDigits[ahead]);
                Fetch(&m_numberKeys[ahead * fields]);
            }
        }
        if (readsWords && i + FetchAhead / 2 < n) {
            const uint32_t ahead = places[i + FetchAhead / 2];
            Fetch(&m_words[m_wordStart[ahead]]);
        }
        if (matches(places[i], prepared, scratch))
            found.push_back(places[i]);
    }
    if (!housesToo || fields == 0)
        return found;
    // The places whose house or flat is one of the numbers, merged in (a
    // place may be in both).
    std::vector<uint32_t> keys;
    for (const Prepared::Number &number : prepared.numbers)
        keys.push_back(number.key);
    // One sweep over every place's keys, which hold no 0 for a number.
    std::vector<uint32_t> houses;
    const uint32_t *all = m_numberKeys.data();
    const size_t total = static_cast<size_t>(count) * fields;
    const size_t stride = CancelStride * fields;
    for (size_t from = 0; from < total; from += stride) {
        if (cancelled && cancelled())
            return std::nullopt;
        const size_t to = std::min(total, from + stride);
        for (size_t i = from; i < to; ++i) {
            bool hit = false;
            for (const uint32_t key : keys)
                hit |= all[i] == key;
            if (!hit)
                continue;
            const auto place = static_cast<uint32_t>(i / fields);
            if ((houses.empty() || houses.back() != place) && matches(place, prepared, scratch))
                houses.push_back(place);
        }
    }
    if (houses.empty())
        return found;
    std::vector<uint32_t> merged;
    merged.reserve(found.size() + houses.size());
    std::set_union(found.begin(), found.end(), houses.begin(), houses.end(), std::back_inserter(merged));
    return merged;
}

std::shared_ptr<const RowSource> QuickIndex::Rows(const std::vector<uint32_t> &places) const
{
    std::vector<uint32_t> records;
    records.reserve(places.size());
    for (const uint32_t place : places)
        records.push_back(m_order[place]);
    return std::make_shared<QuickRows>(m_table, std::move(records), m_shown, m_shownNames);
}

size_t QuickIndex::MemoryBytes() const
{
    return m_order.capacity() * sizeof(uint32_t) + m_wordStart.capacity() * sizeof(uint32_t)
        + m_words.size() * sizeof(uint32_t)
        + m_numberKeys.capacity() * sizeof(uint32_t) + m_phoneDigits.capacity() * sizeof(uint64_t) + m_fold.size()
        + m_separator.size() + m_dictionary->MemoryBytes();
}

} // namespace phonebook::search
