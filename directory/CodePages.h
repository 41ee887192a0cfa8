#pragma once
// Single-byte code pages of the directory's table files, decoded by tables of
// our own so that no platform converter is needed.

#include <QString>

#include <string>
#include <string_view>

namespace phonebook {

enum class CodePage { Cp866, Windows1251, Windows1252, Utf8 };

// Human-readable name ("cp866", "windows-1251", "windows-1252", "utf-8").
const char *CodePageName(CodePage page);

// Unicode character of one byte (for Utf8, bytes below 0x80 only).
char16_t ByteToUnicode(CodePage page, unsigned char byte);

// Decodes raw table bytes (in UTF-8, each byte that is no well-formed
// character becomes U+FFFD, as DecodeUtf8 reads it).
QString DecodeBytes(CodePage page, std::string_view raw);

// Appends the UTF-8 form of raw table bytes to out (malformed bytes as U+FFFD).
void AppendUtf8(CodePage page, std::string_view raw, std::string &out);

// Converts UTF-8 text to the code page's bytes. Returns false, leaving out
// unspecified, when a character has no byte in that code page.
bool EncodeUtf8(CodePage page, std::string_view utf8, std::string &out);

// Converts text to the code page's bytes; false when a character has no byte.
bool EncodeText(CodePage page, QStringView text, std::string &out);

} // namespace phonebook
