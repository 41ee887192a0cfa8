#include "UHelpFull.h"

#include <gtest/gtest.h>

using namespace phonebook;

namespace {

QString Enc(const QString &text) { return EncodeText(text, CipherKey); }
QString Dec(const QString &text) { return DecodeText(text, CipherKey); }

} // namespace

TEST(Cipher, AlphabetLandmarks)
{
    ASSERT_EQ(CipherAlphabet.size(), CipherAlphabetSize);
    const std::pair<char32_t, int> landmarks[] = {
        {U'а', 1},  {U'ё', 7},  {U'я', 33}, {U'А', 34}, {U'Я', 66}, {U'1', 67}, {U'0', 76},
        {U'"', 77}, {U'№', 78}, {U',', 79}, {U'.', 80}, {U'?', 81}, {U'(', 82}, {U')', 83},
        {U'*', 84}, {U'-', 85}, {U'+', 86}, {U'=', 87}, {U' ', 88}, {U'/', 89}, {U'a', 90},
        {U'z', 115}, {U'A', 116}, {U'Z', 141}, {U'\'', 0}, {U'é', 0}, {U'%', 0}};
    for (const auto &[c, position] : landmarks)
        EXPECT_EQ(CipherPosition(c), position) << "U+" << std::hex << static_cast<unsigned>(c);
    // Every character occurs once.
    for (int i = 0; i < CipherAlphabet.size(); ++i)
        EXPECT_EQ(CipherPosition(CipherAlphabet[i].unicode()), i + 1);
}

TEST(Cipher, EnciphersByHand)
{
    // "а" (1) + "v" (111) = 112 = "w"; "б" (2) + "o" (104) = 106 = "q";
    // "1" (67) + "v" (111) = 178 - 141 = 37 = "Г" (every digit wraps).
    EXPECT_EQ(Enc(QStringLiteral("аб")), QStringLiteral("wq"));
    EXPECT_EQ(Enc(QStringLiteral("1")), QStringLiteral("Г"));
    EXPECT_EQ(Dec(QStringLiteral("wq")), QStringLiteral("аб"));
    EXPECT_EQ(Dec(QStringLiteral("Г")), QStringLiteral("1"));
}

TEST(Cipher, EmptyAndSeparatorsOnly)
{
    EXPECT_EQ(Enc(QString()), QString());
    EXPECT_EQ(Dec(QString()), QString());
    const QString separators = QStringLiteral(" \".,  ,.\"");
    EXPECT_EQ(Enc(separators), separators);
    EXPECT_EQ(Dec(separators), separators);
}

TEST(Cipher, KeyRestartsAfterEverySeparator)
{
    // A word enciphers the same wherever it stands: the searches depend on it.
    const QString word = Enc(QStringLiteral("РОГА"));
    for (const char *before : {"", "ООО ", "А.", "\"", "Б,"}) {
        const QString whole = Enc(QString::fromUtf8(before) + QStringLiteral("РОГА И КОПЫТА"));
        EXPECT_TRUE(whole.contains(word)) << before;
    }
    // Right-aligned numbers: the blanks stay blanks, the digits start the key again.
    EXPECT_EQ(Enc(QStringLiteral("     12")), QStringLiteral("     ") + Enc(QStringLiteral("12")));
    // A prefix enciphers to a prefix of the enciphered whole.
    EXPECT_TRUE(Enc(QStringLiteral("ИВАНОВ ИВАН")).startsWith(Enc(QStringLiteral("ИВАН"))));
}

TEST(Cipher, KeyIsUsedCyclically)
{
    const QString eleven = QStringLiteral("ааааааааааа");
    const QString out = Enc(eleven);
    ASSERT_EQ(out.size(), 11);
    EXPECT_EQ(out[10], out[0]);
    EXPECT_NE(out[1], out[0]);
    EXPECT_EQ(Dec(out), eleven);
}

TEST(Cipher, RoundTripOfAlphabetText)
{
    const QString texts[] = {
        QStringLiteral("ИВАНОВ ИВАН ИВАНОВИЧ"), QStringLiteral("ул. Ленина"),
        QStringLiteral("    12А"), QStringLiteral("12/3"), QStringLiteral("ООО \"Ромашка\", цех №2"),
        QStringLiteral("Ёлкин-Палкин (ст.)"), QStringLiteral("abcXYZ 0987654321")};
    for (const QString &text : texts) {
        const QString stored = Enc(text);
        EXPECT_EQ(stored.size(), text.size());
        // Only a cipher output that happens to be a separator breaks the round trip.
        bool hasSeparatorOutput = false;
        for (qsizetype i = 0; i < stored.size(); ++i)
            hasSeparatorOutput |= IsCipherSeparator(stored[i].unicode()) && !IsCipherSeparator(text[i].unicode());
        if (!hasSeparatorOutput) {
            EXPECT_EQ(Dec(stored), text) << text.toStdString();
        }
    }
}

TEST(Cipher, OutputThatIsASeparatorRestartsTheKeyOnDecoding)
{
    // Find a two-letter input whose first character enciphers to a separator.
    for (int i = 0; i < CipherAlphabetSize; ++i) {
        const QString plain = QString(CipherAlphabet[i]) + QStringLiteral("аа");
        if (IsCipherSeparator(plain[0].unicode()))
            continue;
        const QString stored = Enc(plain);
        if (!IsCipherSeparator(stored[0].unicode()))
            continue;
        const QString back = Dec(stored);
        EXPECT_EQ(back[0], stored[0]); // copied unchanged
        EXPECT_NE(back, plain);        // and the rest deciphers with the wrong key position
        return;
    }
    FAIL() << "no alphabet character enciphers to a separator";
}

TEST(Cipher, CharactersOutsideTheAlphabet)
{
    // An apostrophe enciphers to the key character and still advances the key,
    // so no apostrophe can close a quoted SQL literal.
    const QString stored = Enc(QStringLiteral("д'Арк"));
    EXPECT_EQ(stored[1], CipherKey[1]);
    EXPECT_FALSE(stored.contains(u'\''));
    // What follows is enciphered as after any other character, not as if the apostrophe were absent.
    EXPECT_EQ(stored.mid(2), Enc(QStringLiteral("дbАрк")).mid(2));
    EXPECT_NE(stored.mid(2), Enc(QStringLiteral("дАрк")).mid(1));
    // Decoding a foreign character gives the alphabet character at 141 minus the key's position.
    const QString decoded = Dec(QStringLiteral("%"));
    EXPECT_EQ(decoded[0], CipherAlphabet[CipherAlphabetSize - CipherPosition(U'v') - 1]);
    // A character outside the Basic Multilingual Plane counts once.
    const QString emoji = QString::fromUcs4(U"а😀б");
    const QString out = Enc(emoji);
    EXPECT_EQ(out.size(), 3);
    EXPECT_EQ(out[1], CipherKey[1]);
    EXPECT_EQ(out[2], Enc(QStringLiteral("а'б"))[2]);
    EXPECT_EQ(Dec(emoji).size(), 3);
}
