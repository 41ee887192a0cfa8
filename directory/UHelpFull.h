#pragma once
// The field cipher shared by every window: what the tables store and what the
// user types meet only through these two routines.

#include <QString>
#include <QStringView>

namespace phonebook {

// The 141 characters the cipher works on; positions count from 1.
inline constexpr QStringView CipherAlphabet =
    u"абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"
    u"1234567890\"№,.?()*-+= /abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
inline constexpr int CipherAlphabetSize = 141;

// The one key every table of the directory is enciphered with.
inline constexpr QStringView CipherKey = u"vobrizetyl";

// Position of c in CipherAlphabet (1..141), or 0 when c is not in it.
int CipherPosition(char32_t c);

// Space, double quote, full stop and comma are never enciphered and restart the key.
constexpr bool IsCipherSeparator(char32_t c)
{
    return c == U' ' || c == U'"' || c == U'.' || c == U',';
}

// Enciphers plain text. The result has as many characters (code points) as the input.
QString EncodeText(QStringView plain, QStringView key);
// Deciphers stored text. The result has as many characters (code points) as the input.
QString DecodeText(QStringView stored, QStringView key);

} // namespace phonebook
