#include "UHelpFull.h"

#include <array>

namespace phonebook {
namespace {

// Every alphabet character but "№" lies below U+0460, so one small table
// answers CipherPosition for all of them.
constexpr char32_t TableLimit = 0x460;
constexpr char32_t NumeroSign = U'№';

struct PositionTable {
    std::array<unsigned char, TableLimit> position{};
    int numero = 0;

    PositionTable()
    {
        for (int i = 0; i < CipherAlphabet.size(); ++i) {
            const char16_t c = CipherAlphabet[i].unicode();
            if (c < TableLimit)
                position[c] = static_cast<unsigned char>(i + 1);
            else if (c == NumeroSign)
                numero = i + 1;
        }
    }
};

const PositionTable &positions()
{
    static const PositionTable table;
    return table;
}

// Any position wraps into 1..141, so a foreign key can never index outside the alphabet.
QChar AlphabetAt(int position)
{
    const int wrapped = ((position - 1) % CipherAlphabetSize + CipherAlphabetSize) % CipherAlphabetSize;
    return CipherAlphabet[wrapped];
}

// Walks the text by code points, keeping the key position as both directions
// of the cipher do; `shift` turns a character's position and the key's into
// the output position.
template <typename Shift>
QString Transform(QStringView text, QStringView key, Shift shift)
{
    QString out;
    out.reserve(text.size());
    const qsizetype keyLength = key.size();
    qsizetype k = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (IsCipherSeparator(c)) {
            out.append(QChar(static_cast<char16_t>(c)));
            k = 0;
            continue;
        }
        const int keyPosition = keyLength > 0 ? CipherPosition(key[k].unicode()) : 0;
        out.append(AlphabetAt(shift(CipherPosition(c), keyPosition)));
        if (keyLength > 0 && ++k == keyLength)
            k = 0;
    }
    return out;
}

} // namespace

int CipherPosition(char32_t c)
{
    const PositionTable &table = positions();
    if (c < TableLimit)
        return table.position[c];
    return c == NumeroSign ? table.numero : 0;
}

QString EncodeText(QStringView plain, QStringView key)
{
    return Transform(plain, key, [](int position, int keyPosition) {
        int p = position + keyPosition;
        if (p > CipherAlphabetSize)
            p -= CipherAlphabetSize;
        return p;
    });
}

QString DecodeText(QStringView stored, QStringView key)
{
    return Transform(stored, key, [](int position, int keyPosition) {
        const int d = position - keyPosition;
        return d >= 1 ? d : d + CipherAlphabetSize;
    });
}

} // namespace phonebook
