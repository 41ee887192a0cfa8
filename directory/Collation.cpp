#include "Collation.h"

#include "UHelpFull.h"
#include "Utf8.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace phonebook {
namespace {

constexpr int KeyLength = 10; // characters of CipherKey
constexpr int Positions = CipherAlphabetSize + 1; // 0 (not in the alphabet) .. 141

// Weight classes, in the order the lists are read.
constexpr uint32_t BlankWeight = 1;
constexpr uint32_t PunctuationBase = 2;   // 12 marks
constexpr uint32_t DigitBase = 14;        // 0..9
constexpr uint32_t CyrillicBase = 24;     // 33 letters
constexpr uint32_t LatinBase = 57;        // 26 letters
constexpr uint32_t OtherBase = 83;        // + code point

constexpr std::u16string_view Punctuation = u"\"№,.?()*-+=/";
constexpr std::u16string_view CyrillicUpper = u"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
constexpr std::u16string_view CyrillicLower = u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя";

// What a stored character deciphers to depends only on its alphabet position
// and the key position, so one table per key position gives its weight.
struct WeightTables {
    std::array<std::array<uint8_t, Positions>, KeyLength> weight{};

    WeightTables()
    {
        for (int k = 0; k < KeyLength; ++k) {
            const int keyPosition = CipherPosition(CipherKey[k].unicode());
            for (int position = 0; position < Positions; ++position) {
                int d = position - keyPosition;
                if (d < 1)
                    d += CipherAlphabetSize;
                weight[k][position] = static_cast<uint8_t>(CollationWeight(CipherAlphabet[d - 1].unicode()));
            }
        }
    }
};

const WeightTables &weightTables()
{
    static const WeightTables tables;
    return tables;
}

// Alphabet position of each byte of a single-byte code page, and its code point.
struct ByteTables {
    std::array<uint8_t, 256> position{};
    std::array<char16_t, 256> unicode{};

    explicit ByteTables(CodePage page)
    {
        for (int b = 0; b < 256; ++b) {
            const char16_t c = ByteToUnicode(page, static_cast<unsigned char>(b));
            unicode[b] = c;
            position[b] = static_cast<uint8_t>(CipherPosition(c));
        }
    }
};

const ByteTables &byteTables(CodePage page)
{
    static const ByteTables cp866(CodePage::Cp866);
    static const ByteTables cp1251(CodePage::Windows1251);
    static const ByteTables cp1252(CodePage::Windows1252);
    switch (page) {
    case CodePage::Cp866:
        return cp866;
    case CodePage::Windows1252:
        return cp1252;
    default:
        return cp1251;
    }
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// A cursor over stored text that yields the weight of each deciphered
// character, keeping the key position as DecodeText does.
struct Utf8Text {
    std::string_view s;
    size_t i = 0;
    int k = 0;
    const WeightTables *w = &weightTables();

    bool atEnd() const { return i >= s.size(); }
    uint32_t nextWeight()
    {
        const Utf8Char decoded = DecodeUtf8(s, i);
        i += decoded.length;
        const char32_t c = decoded.code;
        if (IsCipherSeparator(c)) {
            k = 0;
            return CollationWeight(c);
        }
        const uint32_t weight = w->weight[k][CipherPosition(c)];
        if (++k == KeyLength)
            k = 0;
        return weight;
    }
};

struct ByteText {
    std::string_view s;
    const ByteTables *tables;
    size_t i = 0;
    int k = 0;
    const WeightTables *w = &weightTables();

    bool atEnd() const { return i >= s.size(); }
    uint32_t nextWeight()
    {
        const auto b = static_cast<unsigned char>(s[i++]);
        if (IsCipherSeparator(b)) {
            k = 0;
            return CollationWeight(b);
        }
        const uint32_t weight = w->weight[k][tables->position[b]];
        if (++k == KeyLength)
            k = 0;
        return weight;
    }
};

// Where the text after the last separator before `start` begins.
size_t wordStart(std::string_view s, size_t start)
{
    for (size_t j = start; j > 0; --j) {
        const auto b = static_cast<unsigned char>(s[j - 1]);
        if (b < 0x80 && IsCipherSeparator(b))
            return j;
    }
    return 0;
}

// Key position of the byte at `start`: bytes since the last separator.
int keyPositionAt(std::string_view s, size_t start)
{
    return static_cast<int>((start - wordStart(s, start)) % KeyLength);
}

// Key position of the character at `start`, which starts one: characters
// since the last separator, split as DecodeUtf8 splits them.
int utf8KeyPositionAt(std::string_view s, size_t start)
{
    int count = 0;
    for (size_t j = wordStart(s, start); j < start; j += DecodeUtf8(s, j).length)
        ++count;
    return count % KeyLength;
}

template <typename Text>
int compareWeights(Text a, Text b)
{
    while (!a.atEnd() && !b.atEnd()) {
        const uint32_t wa = a.nextWeight();
        const uint32_t wb = b.nextWeight();
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    if (a.atEnd() != b.atEnd())
        return a.atEnd() ? -1 : 1;
    return 0;
}

size_t commonPrefix(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    // Equal values are common (neighbours in a sorted list): eight bytes at a time first.
    while (i + 8 <= n && std::memcmp(a.data() + i, b.data() + i, 8) == 0)
        i += 8;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

} // namespace

uint32_t CollationWeight(char32_t c)
{
    if (c == U' ')
        return BlankWeight;
    if (c >= U'0' && c <= U'9')
        return DigitBase + (c - U'0');
    if (c >= U'a' && c <= U'z')
        return LatinBase + (c - U'a');
    if (c >= U'A' && c <= U'Z')
        return LatinBase + (c - U'A');
    if (c < 0x10000) {
        const auto c16 = static_cast<char16_t>(c);
        if (const size_t p = Punctuation.find(c16); p != std::u16string_view::npos)
            return PunctuationBase + static_cast<uint32_t>(p);
        if (const size_t p = CyrillicUpper.find(c16); p != std::u16string_view::npos)
            return CyrillicBase + static_cast<uint32_t>(p);
        if (const size_t p = CyrillicLower.find(c16); p != std::u16string_view::npos)
            return CyrillicBase + static_cast<uint32_t>(p);
    }
    return OtherBase + c;
}

int CompareStored(std::string_view a, std::string_view b)
{
    a = trimmed(a);
    b = trimmed(b);
    size_t start = commonPrefix(a, b);
    if (start == a.size() && start == b.size())
        return 0;
    // The common prefix deciphers alike; resume at the start of the first
    // character that differs in either, with the key position it has there.
    // Both are split into the same characters before a place where a
    // character starts in both, so the comparison is the one from the start.
    while (start > 0 && !(StartsUtf8Char(a, start) && StartsUtf8Char(b, start)))
        --start;
    const int k = utf8KeyPositionAt(a, start);
    const int order = compareWeights(Utf8Text{a, start, k}, Utf8Text{b, start, k});
    if (order != 0)
        return order;
    // Ties by code point: raw bytes and their validated form (a malformed
    // byte as U+FFFD) sort alike. In well-formed text this is byte order.
    size_t i = start;
    size_t j = start;
    while (i < a.size() && j < b.size()) {
        const Utf8Char ca = DecodeUtf8(a, i);
        const Utf8Char cb = DecodeUtf8(b, j);
        if (ca.code != cb.code)
            return ca.code < cb.code ? -1 : 1;
        i += ca.length;
        j += cb.length;
    }
    return i < a.size() ? 1 : (j < b.size() ? -1 : 0);
}

int CompareStoredBytes(CodePage page, std::string_view a, std::string_view b)
{
    if (page == CodePage::Utf8)
        return CompareStored(a, b);
    a = trimmed(a);
    b = trimmed(b);
    const size_t start = commonPrefix(a, b);
    if (start == a.size() && start == b.size())
        return 0;
    const ByteTables &tables = byteTables(page);
    const int k = keyPositionAt(a, start);
    const int order = compareWeights(ByteText{a, &tables, start, k}, ByteText{b, &tables, start, k});
    if (order != 0)
        return order;
    // Ties by code point, not by byte value: in Windows-1251 "ё" lies below "а".
    for (size_t j = start; j < a.size() && j < b.size(); ++j) {
        const auto ba = static_cast<unsigned char>(a[j]);
        const auto bb = static_cast<unsigned char>(b[j]);
        if (ba == bb)
            continue;
        const char16_t ca = tables.unicode[ba];
        const char16_t cb = tables.unicode[bb];
        if (ca != cb)
            return ca < cb ? -1 : 1;
        return ba < bb ? -1 : 1; // two bytes the code page leaves undefined
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

namespace {

// The first 2 * SortKeyLength weights of a stored value, one byte each (0
// past the end); `clipped` is where a weight did not fit in a byte (255
// there, 0 after), or -1.
struct Weights {
    uint8_t w[2 * SortKeyLength] = {};
    int clipped = -1;

    SortKey key(int from) const
    {
        SortKey key;
        for (int n = 0; n < 8; ++n) {
            key.hi = (key.hi << 8) | w[from + n];
            key.lo = (key.lo << 8) | w[from + n + 8];
        }
        return key;
    }
};

Weights WeightsOf(CodePage page, std::string_view raw, int count)
{
    raw = trimmed(raw);
    Weights weights;
    auto fill = [&](auto text) {
        for (int n = 0; n < count && !text.atEnd(); ++n) {
            const uint32_t w = text.nextWeight();
            if (w >= 255) {
                // Past this character the keys no longer order: the rest is the full comparison's.
                weights.w[n] = 255;
                weights.clipped = n;
                return;
            }
            weights.w[n] = static_cast<uint8_t>(w);
        }
    };
    if (page == CodePage::Utf8)
        fill(Utf8Text{raw});
    else
        fill(ByteText{raw, &byteTables(page)});
    return weights;
}

std::optional<SortKey> NextKey(const Weights &weights)
{
    if (weights.clipped >= 0 && weights.clipped < SortKeyLength)
        return std::nullopt;
    return weights.key(SortKeyLength);
}

} // namespace

SortKey MakeSortKey(CodePage page, std::string_view raw) { return WeightsOf(page, raw, SortKeyLength).key(0); }

std::optional<SortKey> MakeNextSortKey(CodePage page, std::string_view raw)
{
    return NextKey(WeightsOf(page, raw, 2 * SortKeyLength));
}

std::pair<SortKey, std::optional<SortKey>> MakeSortKeys(CodePage page, std::string_view raw)
{
    const Weights weights = WeightsOf(page, raw, 2 * SortKeyLength);
    return {weights.key(0), NextKey(weights)};
}

} // namespace phonebook
