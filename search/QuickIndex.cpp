#include "QuickIndex.h"

#include "DatabaseError.h"
#include "Dataset.h"
#include "DbfTable.h"
#include "TableOrder.h"
#include "UHelpFull.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace phonebook::search {

namespace {

using namespace Qt::StringLiterals;

constexpr int KeyLength = 10;
// How many records pass between two looks at the cancel flag.
constexpr uint32_t CancelStride = 8192;

// Signature bits: the first letter of a word (codes 1 .. 68), the first digit
// of the telephone number, the first of the house's or flat's leading digits,
// and a 40-bit filter of the words' first two letters.
constexpr int PhoneBit = FoldCodeCount - 1;
constexpr int HouseBit = PhoneBit + 10;
constexpr int PairBit = HouseBit + 10;
constexpr int PairBits = 128 - PairBit;

void SetBit(QuickIndex::Signature &s, int bit)
{
    (bit < 64 ? s.lo : s.hi) |= uint64_t{1} << (bit & 63);
}

bool HasBit(const QuickIndex::Signature &s, int bit)
{
    return ((bit < 64 ? s.lo : s.hi) >> (bit & 63)) & 1;
}

int FirstBit(uint8_t code) { return code - 1; }
int PairBitOf(uint8_t a, uint8_t b) { return PairBit + (a * FoldCodeCount + b) % PairBits; }
int DigitOf(uint8_t code) { return code - FoldFirstDigit; }

// Bits a word (or a number's text reading) needs: its first letter, and its first two.
void WordBits(const std::string &word, QuickIndex::Signature &s)
{
    const auto a = static_cast<uint8_t>(word[0]);
    SetBit(s, FirstBit(a));
    if (word.size() > 1)
        SetBit(s, PairBitOf(a, static_cast<uint8_t>(word[1])));
}

bool Covers(const QuickIndex::Signature &s, const QuickIndex::Signature &need)
{
    return (s.lo & need.lo) == need.lo && (s.hi & need.hi) == need.hi;
}

bool HasWordStart(const std::string &codes, const std::string &word)
{
    const size_t n = codes.size();
    const size_t length = word.size();
    if (length == 0 || length > n)
        return false;
    const char first = word[0];
    for (size_t i = 0; i + length <= n; ++i) {
        if (codes[i] != first || (i > 0 && codes[i - 1] != FoldNone))
            continue;
        if (std::memcmp(codes.data() + i, word.data(), length) == 0)
            return true;
    }
    return false;
}

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
        return m_table->text(m_records.at(static_cast<size_t>(row)), m_fields.at(static_cast<size_t>(column)));
    }

private:
    std::shared_ptr<const DbfTable> m_table;
    std::vector<uint32_t> m_records;
    std::vector<int> m_fields;
    std::vector<QString> m_names;
};

} // namespace

QString QuickTableName(QuickSide side)
{
    return side == QuickSide::Persons ? u"sp09kw_n"_s : u"sp09pr_n"_s;
}

std::vector<QString> QuickShownFields(QuickSide side)
{
    if (side == QuickSide::Persons)
        return {u"nt"_s, u"fio"_s, u"street"_s, u"hous"_s, u"flat"_s};
    return {u"nt"_s, u"naim"_s, u"mesto"_s, u"street"_s, u"hous"_s};
}

QuickIndex::~QuickIndex() = default;

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

    const uint32_t count = table->physicalCount();
    index->m_signatures.assign(count, Signature{});
    std::string scratch;
    const size_t numberFields = index->m_numberFields.size();
    index->m_numberKeys.assign(count * numberFields, 0);
    index->m_phoneDigits.assign(count, 0);
    index->m_order.reserve(table->liveCount());
    for (uint32_t live = 0; live < table->liveCount(); ++live) {
        if (live % CancelStride == 0 && stop && stop())
            return nullptr;
        const uint32_t record = table->liveRecord(live);
        index->m_signatures[record] = index->signatureOf(record, scratch);
        for (size_t f = 0; f < numberFields; ++f) {
            index->Fold(TrimLeft(table->rawField(record, index->m_numberFields[f])), scratch);
            index->m_numberKeys[record * numberFields + f] = NumberKey(LeadingDigits(scratch));
        }
        index->Fold(table->rawField(record, index->m_phone), scratch);
        index->m_phoneDigits[record] = PackDigits(scratch);
        index->m_order.push_back(record);
    }
    const int nameField = persons ? field(u"fio") : field(u"naim");
    OrderRecords(*table, index->m_order, {{nameField, false}, {index->m_phone, false}}, {});
    if (stop && stop())
        return nullptr;
    index->m_rank.assign(count, 0);
    for (size_t i = 0; i < index->m_order.size(); ++i)
        index->m_rank[index->m_order[i]] = static_cast<uint32_t>(i);
    return index;
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

QuickIndex::Signature QuickIndex::signatureOf(uint32_t record, std::string &scratch) const
{
    Signature s;
    for (const int field : m_textFields) {
        Fold(m_table->rawField(record, field), scratch);
        for (size_t i = 0; i < scratch.size(); ++i) {
            const auto c = static_cast<uint8_t>(scratch[i]);
            if (c == FoldNone || (i > 0 && scratch[i - 1] != FoldNone))
                continue;
            SetBit(s, FirstBit(c));
            if (i + 1 < scratch.size() && scratch[i + 1] != FoldNone)
                SetBit(s, PairBitOf(c, static_cast<uint8_t>(scratch[i + 1])));
        }
    }
    Fold(m_table->rawField(record, m_phone), scratch);
    for (const char c : scratch) {
        if (IsFoldDigit(static_cast<uint8_t>(c))) {
            SetBit(s, PhoneBit + DigitOf(static_cast<uint8_t>(c)));
            break;
        }
    }
    for (const int field : m_numberFields) {
        Fold(TrimLeft(m_table->rawField(record, field)), scratch);
        if (!scratch.empty() && IsFoldDigit(static_cast<uint8_t>(scratch[0])))
            SetBit(s, HouseBit + DigitOf(static_cast<uint8_t>(scratch[0])));
    }
    return s;
}

bool QuickIndex::wordStartIn(std::string_view raw, const std::string &word) const
{
    const auto *p = reinterpret_cast<const unsigned char *>(raw.data());
    const size_t n = raw.size();
    const size_t length = word.size();
    const auto first = static_cast<uint8_t>(word[0]);
    const uint8_t *fold = m_fold.data();
    int k = 0;
    bool inWord = false;
    for (size_t i = 0; i + length <= n; ++i) {
        const unsigned char b = p[i];
        if (m_separator[b]) {
            k = 0;
            inWord = false;
            continue;
        }
        const uint8_t c = fold[k * 256 + b];
        if (!inWord && c == first) {
            // A separator inside folds to no word character, so the key
            // position of the rest simply runs on.
            size_t j = 1;
            for (int kk = k; j < length; ++j) {
                kk = kk + 1 == KeyLength ? 0 : kk + 1;
                const unsigned char bj = p[i + j];
                if (m_separator[bj] || fold[kk * 256 + bj] != static_cast<uint8_t>(word[j]))
                    break;
            }
            if (j == length)
                return true;
        }
        inWord = c != FoldNone;
        k = k + 1 == KeyLength ? 0 : k + 1;
    }
    return false;
}

bool QuickIndex::phoneStartsWith(std::string_view raw, const std::string &number) const
{
    size_t matched = 0;
    int k = 0;
    for (const char ch : raw) {
        const auto b = static_cast<unsigned char>(ch);
        if (m_separator[b]) {
            k = 0;
            continue;
        }
        const uint8_t c = m_fold[static_cast<size_t>(k * 256 + b)];
        k = k + 1 == KeyLength ? 0 : k + 1;
        if (!IsFoldDigit(c))
            continue;
        if (c != static_cast<uint8_t>(number[matched]))
            return false;
        if (++matched == number.size())
            return true;
    }
    return false;
}

bool QuickIndex::leadingDigitsAre(std::string_view raw, const std::string &number) const
{
    raw = TrimLeft(raw);
    int k = 0;
    for (size_t i = 0;; ++i) {
        if (i == raw.size())
            return i == number.size();
        const auto b = static_cast<unsigned char>(raw[i]);
        const uint8_t c = m_separator[b] ? FoldNone : m_fold[static_cast<size_t>(k * 256 + b)];
        if (i == number.size())
            return !IsFoldDigit(c);
        if (c != static_cast<uint8_t>(number[i]))
            return false;
        k = k + 1 == KeyLength ? 0 : k + 1;
    }
}

bool QuickIndex::matches(uint32_t record, const QuickQuery &query, Scratch &scratch) const
{
    if (!m_singleByte)
        return matchesFolded(record, query, scratch);
    // Straight on the stored bytes, each test stopping at its first answer.
    auto inText = [&](const std::string &word) {
        for (const int field : m_textFields) {
            if (wordStartIn(m_table->rawField(record, field), word))
                return true;
        }
        return false;
    };
    for (const std::string &word : query.words) {
        if (!inText(word))
            return false;
    }
    for (const std::string &number : query.numbers) {
        // The telephone's digits and the houses' keys, kept apart, answer
        // without reading the record unless a number is very long.
        if (number.size() <= PackedDigits) {
            const uint64_t mask = ~uint64_t{0} << (64 - 4 * number.size());
            if ((m_phoneDigits[record] & mask) == PackDigits(number))
                continue;
        } else if (phoneStartsWith(m_table->rawField(record, m_phone), number)) {
            continue;
        }
        const uint32_t key = NumberKey(number);
        bool found = false;
        for (size_t f = 0; f < m_numberFields.size(); ++f) {
            const uint32_t own = m_numberKeys[record * m_numberFields.size() + f];
            if (own == key && (key != UINT32_MAX || leadingDigitsAre(m_table->rawField(record, m_numberFields[f]), number))) {
                found = true;
                break;
            }
        }
        if (found)
            continue;
        Signature wordBits;
        WordBits(number, wordBits);
        if (!Covers(m_signatures[record], wordBits) || !inText(number))
            return false;
    }
    return true;
}

bool QuickIndex::matchesFolded(uint32_t record, const QuickQuery &query, Scratch &scratch) const
{
    std::string &text = scratch.text;
    std::string &codes = scratch.codes;
    bool textFolded = false;
    auto foldText = [&] {
        if (textFolded)
            return;
        textFolded = true;
        text.clear();
        for (const int field : m_textFields) {
            Fold(m_table->rawField(record, field), codes);
            text += codes;
            text.push_back(static_cast<char>(FoldNone));
        }
    };
    for (const std::string &word : query.words) {
        foldText();
        if (!HasWordStart(text, word))
            return false;
    }
    for (const std::string &number : query.numbers) {
        // The telephone number's digits begin with it.
        Fold(m_table->rawField(record, m_phone), codes);
        size_t matched = 0;
        for (const char c : codes) {
            if (matched == number.size() || !IsFoldDigit(static_cast<uint8_t>(c)))
                continue;
            if (c != number[matched])
                break;
            ++matched;
        }
        if (matched == number.size())
            continue;
        // The house's or flat's leading digits are it.
        bool found = false;
        for (const int field : m_numberFields) {
            Fold(TrimLeft(m_table->rawField(record, field)), codes);
            if (LeadingDigits(codes) == number) {
                found = true;
                break;
            }
        }
        if (found)
            continue;
        // A word beginning with it: only where the signature allows one.
        Signature wordBits;
        WordBits(number, wordBits);
        if (!Covers(m_signatures[record], wordBits))
            return false;
        foldText();
        if (!HasWordStart(text, number))
            return false;
    }
    return true;
}

std::optional<std::vector<uint32_t>> QuickIndex::Find(const QuickQuery &query, const std::vector<uint32_t> *within,
                                                      const std::function<bool()> &cancelled,
                                                      bool housesToo) const
{
    std::vector<uint32_t> found;
    if (query.empty())
        return found;
    Signature need;
    bool exact = query.numbers.empty();
    for (const std::string &word : query.words) {
        for (const char c : word) {
            if (static_cast<uint8_t>(c) == FoldUnmatchable)
                return found; // a letter no value can hold
        }
        WordBits(word, need);
        exact = exact && word.size() == 1;
    }
    struct NumberBits {
        Signature text;
        int phone;
        int house;
    };
    std::vector<NumberBits> numbers;
    for (const std::string &number : query.numbers) {
        NumberBits bits;
        WordBits(number, bits.text);
        bits.phone = PhoneBit + DigitOf(static_cast<uint8_t>(number[0]));
        bits.house = HouseBit + DigitOf(static_cast<uint8_t>(number[0]));
        numbers.push_back(bits);
    }
    auto candidate = [&](uint32_t record) {
        const Signature &s = m_signatures[record];
        if (!Covers(s, need))
            return false;
        for (const NumberBits &n : numbers) {
            if (!HasBit(s, n.phone) && !HasBit(s, n.house) && !Covers(s, n.text))
                return false;
        }
        return true;
    };
    Scratch scratch;
    auto accept = [&](uint32_t record) { return candidate(record) && (exact || matches(record, query, scratch)); };

    if (within) {
        for (size_t i = 0; i < within->size(); ++i) {
            if (i % CancelStride == 0 && cancelled && cancelled())
                return std::nullopt;
            if (accept((*within)[i]))
                found.push_back((*within)[i]);
        }
        if (!housesToo || m_numberFields.empty())
            return found;
        // The records whose house or flat is one of the numbers, in the
        // result's order, merged in (a record may be in both).
        std::vector<uint32_t> keys;
        for (const std::string &number : query.numbers)
            keys.push_back(NumberKey(number));
        const size_t fields = m_numberFields.size();
        const auto count = static_cast<uint32_t>(m_signatures.size());
        std::vector<uint32_t> houses;
        for (uint32_t record = 0; record < count; ++record) {
            if (record % CancelStride == 0 && cancelled && cancelled())
                return std::nullopt;
            const uint32_t *own = m_numberKeys.data() + static_cast<size_t>(record) * fields;
            const bool hit = std::any_of(own, own + fields, [&](uint32_t key) {
                return key != 0 && std::find(keys.begin(), keys.end(), key) != keys.end();
            });
            if (hit && accept(record))
                houses.push_back(record);
        }
        if (houses.empty())
            return found;
        auto earlier = [&](uint32_t a, uint32_t b) { return m_rank[a] < m_rank[b]; };
        std::sort(houses.begin(), houses.end(), earlier);
        std::vector<uint32_t> merged;
        merged.reserve(found.size() + houses.size());
        std::set_union(found.begin(), found.end(), houses.begin(), houses.end(), std::back_inserter(merged), earlier);
        return merged;
    }
    // Mark the matches in file order, then collect them in the result's order.
    const auto count = static_cast<uint32_t>(m_signatures.size());
    std::vector<uint64_t> hits((count + 63) / 64, 0);
    size_t total = 0;
    for (uint32_t record = 0; record < count; ++record) {
        if (record % CancelStride == 0 && cancelled && cancelled())
            return std::nullopt;
        if (accept(record)) {
            hits[record / 64] |= uint64_t{1} << (record % 64);
            ++total;
        }
    }
    found.reserve(total);
    for (const uint32_t record : m_order) {
        if ((hits[record / 64] >> (record % 64)) & 1)
            found.push_back(record);
    }
    return found;
}

std::shared_ptr<const RowSource> QuickIndex::Rows(std::vector<uint32_t> records) const
{
    return std::make_shared<QuickRows>(m_table, std::move(records), m_shown, m_shownNames);
}

} // namespace phonebook::search
