#include "CodePages.h"

#include "Utf8.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace phonebook {

namespace {

// The upper halves (bytes 0x80-0xFF) of the single-byte code pages; the lower
// halves are ASCII. Bytes that a code page leaves undefined map to the C1
// control of the same value, as the platform converters do.
constexpr char16_t kCp866[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 80
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // 88
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // 90
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // 98
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // A0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // D8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // E0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // E8
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E, // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0, // F8
};
constexpr char16_t kWindows1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // F8
};
constexpr char16_t kWindows1252[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, // C8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF, // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, // E8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7, // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF, // F8
};

const char16_t *UpperHalf(CodePage page)
{
    switch (page) {
    case CodePage::Cp866: return kCp866;
    case CodePage::Windows1251: return kWindows1251;
    case CodePage::Windows1252: return kWindows1252;
    case CodePage::Utf8: break;
    }
    return nullptr;
}

int SingleByteIndex(CodePage page)
{
    switch (page) {
    case CodePage::Cp866: return 0;
    case CodePage::Windows1251: return 1;
    case CodePage::Windows1252: return 2;
    case CodePage::Utf8: break;
    }
    return -1;
}

constexpr CodePage kSingleBytePages[] = {CodePage::Cp866, CodePage::Windows1251, CodePage::Windows1252};

// UTF-8 form of every byte: up to three bytes, and the length in the fourth.
struct Utf8Entry {
    char bytes[4];
};

// Byte of every BMP character, 0 where the code page has none (the NUL
// character itself is ASCII and never looked up).
struct CodePageTables {
    std::array<Utf8Entry, 256> utf8[3];
    std::array<unsigned char, 0x10000> reverse[3];
};

Utf8Entry ToUtf8Entry(char16_t c)
{
    Utf8Entry e{};
    char bytes[4];
    const uint32_t length = EncodeUtf8(c, bytes); // a code-page character is in the BMP: at most 3
    std::copy_n(bytes, length, e.bytes);
    e.bytes[3] = static_cast<char>(length);
    return e;
}

const CodePageTables &Tables()
{
    static const std::unique_ptr<const CodePageTables> tables = [] {
        auto t = std::make_unique<CodePageTables>();
        for (int p = 0; p < 3; ++p) {
            t->reverse[p].fill(0);
            for (int b = 0; b < 256; ++b) {
                const char16_t c = ByteToUnicode(kSingleBytePages[p], static_cast<unsigned char>(b));
                t->utf8[p][b] = ToUtf8Entry(c);
                if (b >= 0x80)
                    t->reverse[p][c] = static_cast<unsigned char>(b);
            }
        }
        return std::unique_ptr<const CodePageTables>(std::move(t));
    }();
    return *tables;
}

size_t AsciiRun(const char *s, size_t n)
{
    size_t i = 0;
    while (i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080ULL)
            break;
        i += 8;
    }
    while (i < n && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    return i;
}

void AppendValidatedUtf8(std::string_view raw, std::string &out)
{
    const auto *s = reinterpret_cast<const unsigned char *>(raw.data());
    const size_t n = raw.size();
    size_t i = 0;
    while (i < n) {
        const size_t run = AsciiRun(raw.data() + i, n - i);
        if (run) {
            out.append(raw.data() + i, run);
            i += run;
            continue;
        }
        const Utf8Char c = DecodeUtf8(s + i, n - i);
        if (c.malformed())
            out.append("\xEF\xBF\xBD", 3);
        else
            out.append(raw.data() + i, c.length);
        i += c.length;
    }
}

} // namespace

const char *CodePageName(CodePage page)
{
    switch (page) {
    case CodePage::Cp866: return "cp866";
    case CodePage::Windows1251: return "windows-1251";
    case CodePage::Windows1252: return "windows-1252";
    case CodePage::Utf8: return "utf-8";
    }
    return "unknown";
}

char16_t ByteToUnicode(CodePage page, unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    const char16_t *upper = UpperHalf(page);
    return upper ? upper[byte - 0x80] : char16_t(0xFFFD);
}

QString DecodeBytes(CodePage page, std::string_view raw)
{
    if (page == CodePage::Utf8) {
        // No more UTF-16 units than bytes: a four-byte character is two units.
        QString text(static_cast<qsizetype>(raw.size()), Qt::Uninitialized);
        char16_t *const begin = reinterpret_cast<char16_t *>(text.data());
        char16_t *d = begin;
        const auto *s = reinterpret_cast<const unsigned char *>(raw.data());
        const size_t n = raw.size();
        for (size_t i = 0; i < n;) {
            if (s[i] < 0x80) {
                *d++ = s[i++];
                continue;
            }
            const Utf8Char c = DecodeUtf8(s + i, n - i);
            i += c.length;
            if (c.code >= 0x10000) {
                *d++ = QChar::highSurrogate(c.code);
                *d++ = QChar::lowSurrogate(c.code);
            } else {
                *d++ = static_cast<char16_t>(c.code);
            }
        }
        text.truncate(d - begin);
        return text;
    }
    const char16_t *upper = UpperHalf(page);
    QString text(static_cast<qsizetype>(raw.size()), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(text.data());
    for (unsigned char b : raw)
        *d++ = b < 0x80 ? char16_t(b) : upper[b - 0x80];
    return text;
}

void AppendUtf8(CodePage page, std::string_view raw, std::string &out)
{
    if (page == CodePage::Utf8) {
        AppendValidatedUtf8(raw, out);
        return;
    }
    const auto &table = Tables().utf8[SingleByteIndex(page)];
    const size_t start = out.size();
    // Three bytes at most per byte, plus one for the length byte that each
    // four-byte copy writes past the character.
    out.resize(start + raw.size() * 3 + 1);
    char *d = out.data() + start;
    for (unsigned char b : raw) {
        const Utf8Entry &e = table[b];
        std::memcpy(d, e.bytes, 4);
        d += e.bytes[3];
    }
    out.resize(static_cast<size_t>(d - out.data()));
}

bool EncodeUtf8(CodePage page, std::string_view utf8, std::string &out)
{
    const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
    const size_t n = utf8.size();
    if (page == CodePage::Utf8) {
        for (size_t i = 0; i < n;) {
            const Utf8Char c = DecodeUtf8(s + i, n - i);
            if (c.malformed())
                return false;
            i += c.length;
        }
        out.append(utf8);
        return true;
    }
    const auto &reverse = Tables().reverse[SingleByteIndex(page)];
    // One byte out per character: at most as many bytes as came in.
    const size_t start = out.size();
    out.resize(start + n);
    char *d = out.data() + start;
    for (size_t i = 0; i < n;) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            *d++ = static_cast<char>(b);
            ++i;
            continue;
        }
        const Utf8Char c = DecodeUtf8(s + i, n - i);
        if (c.malformed() || c.code > 0xFFFF)
            return false;
        i += c.length;
        const unsigned char byte = reverse[c.code];
        if (!byte)
            return false;
        *d++ = static_cast<char>(byte);
    }
    out.resize(static_cast<size_t>(d - out.data()));
    return true;
}

bool EncodeText(CodePage page, QStringView text, std::string &out)
{
    if (page == CodePage::Utf8) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                return false;
        }
        out.append(text.toUtf8().toStdString());
        return true;
    }
    const auto &reverse = Tables().reverse[SingleByteIndex(page)];
    out.reserve(out.size() + static_cast<size_t>(text.size()));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        const unsigned char b = reverse[u];
        if (!b)
            return false;
        out.push_back(static_cast<char>(b));
    }
    return true;
}

} // namespace phonebook
