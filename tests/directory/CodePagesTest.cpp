#include "CodePages.h"

#include <unicode/ucnv.h>

#include <gtest/gtest.h>

#include <memory>

using namespace phonebook;
using namespace Qt::StringLiterals;

namespace {

const CodePage kSingleByte[] = {CodePage::Cp866, CodePage::Windows1251, CodePage::Windows1252};

const char *IcuName(CodePage page)
{
    switch (page) {
    case CodePage::Cp866: return "ibm-866";
    case CodePage::Windows1251: return "windows-1251";
    case CodePage::Windows1252: return "windows-1252";
    case CodePage::Utf8: return "utf-8";
    }
    return "";
}

std::string AllBytes()
{
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    return bytes;
}

std::string Utf8Of(CodePage page, std::string_view raw)
{
    std::string out = "prefix:";
    AppendUtf8(page, raw, out);
    return out.substr(7);
}

} // namespace

// Every byte of every single-byte code page decodes as ICU's converter does.
// The lower half is ASCII: ICU's IBM table for cp866 rotates three control
// codes (0x1A, 0x1C, 0x7F), which DOS and Windows leave as they are.
TEST(CodePages, EveryByteAgreesWithIcu)
{
    for (CodePage page : kSingleByte)
        for (int b = 0; b < 0x80; ++b)
            EXPECT_EQ(ByteToUnicode(page, static_cast<unsigned char>(b)), char16_t(b));
    for (CodePage page : kSingleByte) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, decltype(&ucnv_close)> conv(ucnv_open(IcuName(page), &status), &ucnv_close);
        ASSERT_TRUE(U_SUCCESS(status)) << IcuName(page);
        for (int b = 0x80; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            UChar out[4] = {};
            status = U_ZERO_ERROR;
            const int32_t n = ucnv_toUChars(conv.get(), out, 4, &byte, 1, &status);
            ASSERT_TRUE(U_SUCCESS(status));
            ASSERT_EQ(n, 1) << CodePageName(page) << " byte " << b;
            EXPECT_EQ(static_cast<unsigned>(ByteToUnicode(page, static_cast<unsigned char>(b))),
                      static_cast<unsigned>(out[0]))
                << CodePageName(page) << " byte 0x" << std::hex << b;
        }
    }
}

// The fast paths (UTF-8 out, bytes back) agree with the table for every byte.
TEST(CodePages, ConversionsRoundTripEveryByte)
{
    const std::string bytes = AllBytes();
    for (CodePage page : kSingleByte) {
        const QString text = DecodeBytes(page, bytes);
        ASSERT_EQ(text.size(), 255);
        for (int b = 1; b < 256; ++b)
            EXPECT_EQ(text[b - 1].unicode(), ByteToUnicode(page, static_cast<unsigned char>(b)));
        const std::string utf8 = Utf8Of(page, bytes);
        EXPECT_EQ(QByteArray::fromStdString(utf8), text.toUtf8()) << CodePageName(page);

        std::string back = "x";
        ASSERT_TRUE(EncodeUtf8(page, utf8, back)) << CodePageName(page);
        EXPECT_EQ(back, "x" + bytes);
        back.clear();
        ASSERT_TRUE(EncodeText(page, text, back));
        EXPECT_EQ(back, bytes);
    }
}

TEST(CodePages, KnownLetters)
{
    const std::pair<CodePage, std::string> cases[] = {
        {CodePage::Cp866, "\x8F\xE0\xA8\xA2\xA5\xE2 \xF0\xF1"},        // Привет Ёё
        {CodePage::Windows1251, "\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8"}, // Привет Ёё
    };
    for (const auto &[page, raw] : cases) {
        EXPECT_EQ(DecodeBytes(page, raw), u"Привет Ёё"_s) << CodePageName(page);
        EXPECT_EQ(Utf8Of(page, raw), "Привет Ёё");
    }
    EXPECT_EQ(DecodeBytes(CodePage::Windows1252, "caf\xE9 \x80"), u"café €"_s);
}

// A character the code page cannot hold makes the conversion fail rather
// than become some other byte.
TEST(CodePages, UnencodableCharactersFail)
{
    const std::pair<CodePage, QString> cases[] = {
        {CodePage::Cp866, u"цена 5€"_s},        {CodePage::Cp866, u"й'ü"_s},
        {CodePage::Windows1251, u"日本"_s},      {CodePage::Windows1251, u"a😀"_s},
        {CodePage::Windows1252, u"Привет"_s},
    };
    for (const auto &[page, text] : cases) {
        std::string out;
        EXPECT_FALSE(EncodeText(page, text, out)) << text.toStdString();
        out.clear();
        EXPECT_FALSE(EncodeUtf8(page, text.toStdString(), out)) << text.toStdString();
    }
    std::string out;
    EXPECT_FALSE(EncodeText(CodePage::Windows1251, QString(QChar(0xD800)), out)); // lone surrogate
    EXPECT_FALSE(EncodeText(CodePage::Utf8, QString(QChar(0xDC00)), out));
    EXPECT_FALSE(EncodeUtf8(CodePage::Windows1251, "\xD0", out)); // cut UTF-8 input
    EXPECT_FALSE(EncodeUtf8(CodePage::Utf8, "ok\xC0\x80", out));  // overlong
    out.clear();
    EXPECT_TRUE(EncodeText(CodePage::Utf8, u"a😀я"_s, out));
    EXPECT_EQ(out, "a😀я");
}

// UTF-8 tables: well-formed text passes unchanged, each malformed byte becomes
// U+FFFD, so what reaches the engine is always valid UTF-8.
TEST(CodePages, Utf8TextIsValidated)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Номер 😀", "Номер 😀"},
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},        // overlong slash
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // surrogate
        {"end\xD0", "end\xEF\xBF\xBD"},                  // cut at the end
    };
    for (const auto &[raw, expected] : cases) {
        EXPECT_EQ(Utf8Of(CodePage::Utf8, raw), expected);
        const bool malformed = raw != expected;
        EXPECT_EQ(DecodeBytes(CodePage::Utf8, raw).contains(QChar(0xFFFD)), malformed) << raw;
    }
    EXPECT_EQ(ByteToUnicode(CodePage::Utf8, 'A'), u'A');
    EXPECT_EQ(ByteToUnicode(CodePage::Utf8, 0xD0), u'\xFFFD');
}
