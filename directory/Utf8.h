#pragma once
// The one UTF-8 decoder and encoder of the program: the engine's LIKE, the
// collation, the code pages and the table reader all split text into
// characters with it, so that they agree on what a damaged value holds; the
// code pages and the CSV writer encode with it.
//
// A well-formed sequence (no overlong form, no surrogate, nothing above
// U+10FFFF) is its character. Every other byte, a stray continuation byte or
// the lead of a broken or cut sequence, is one character on its own: U+FFFD.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace phonebook {

constexpr char32_t Utf8Replacement = 0xFFFD;

struct Utf8Char {
    char32_t code;
    uint32_t length; // bytes taken, 1 to 4

    // A byte that is no character of its own, read as U+FFFD.
    bool malformed() const { return length == 1 && code == Utf8Replacement; }
};

inline bool IsUtf8Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Writes the character's UTF-8 form to out[0..4) and returns its length, 1 to
// 4. A surrogate or a code above U+10FFFF is written as U+FFFD.
inline uint32_t EncodeUtf8(char32_t c, char out[4])
{
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        c = Utf8Replacement;
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// The character that starts at s[0]; n > 0 bytes are available.
inline Utf8Char DecodeUtf8(const unsigned char *s, size_t n)
{
    const unsigned char b0 = s[0];
    if (b0 < 0x80)
        return {b0, 1};
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (n >= 2 && IsUtf8Continuation(s[1]))
            return {(char32_t(b0 & 0x1F) << 6) | (s[1] & 0x3F), 2};
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        // The second byte's range excludes overlong forms and surrogates.
        const unsigned char low = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = b0 == 0xED ? 0x9F : 0xBF;
        if (n >= 3 && s[1] >= low && s[1] <= high && IsUtf8Continuation(s[2]))
            return {(char32_t(b0 & 0x0F) << 12) | (char32_t(s[1] & 0x3F) << 6) | (s[2] & 0x3F), 3};
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        const unsigned char low = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = b0 == 0xF4 ? 0x8F : 0xBF;
        if (n >= 4 && s[1] >= low && s[1] <= high && IsUtf8Continuation(s[2]) && IsUtf8Continuation(s[3]))
            return {(char32_t(b0 & 0x07) << 18) | (char32_t(s[1] & 0x3F) << 12) | (char32_t(s[2] & 0x3F) << 6)
                        | (s[3] & 0x3F),
                    4};
    }
    return {Utf8Replacement, 1};
}

// The character at s[i], i < s.size().
inline Utf8Char DecodeUtf8(std::string_view s, size_t i)
{
    return DecodeUtf8(reinterpret_cast<const unsigned char *>(s.data()) + i, s.size() - i);
}

// Whether a character starts at s[i] (true at either end). Every byte but a
// continuation byte does; a continuation byte does unless the nearest lead
// byte before it, at most three back, starts a sequence that covers it.
inline bool StartsUtf8Char(std::string_view s, size_t i)
{
    const auto *u = reinterpret_cast<const unsigned char *>(s.data());
    if (i == 0 || i >= s.size() || !IsUtf8Continuation(u[i]))
        return true;
    for (size_t back = 1; back <= 3 && back <= i; ++back) {
        const unsigned char b = u[i - back];
        if (!IsUtf8Continuation(b))
            return b < 0x80 || DecodeUtf8(u + i - back, s.size() - i + back).length <= back;
    }
    return true;
}

// Whether s[0..n) is the start of a well-formed sequence that the end of the
// bytes cut short (a fixed-width field may cut its last character).
inline bool IsCutUtf8(const unsigned char *s, size_t n)
{
    unsigned char whole[4] = {s[0], 0x80, 0x80, 0x80};
    if (n >= 4)
        return false;
    for (size_t i = 1; i < n; ++i)
        whole[i] = s[i];
    // Completed with the lowest continuation bytes the lead allows.
    if (n == 1 && whole[0] == 0xE0)
        whole[1] = 0xA0;
    if (n == 1 && whole[0] == 0xF0)
        whole[1] = 0x90;
    return DecodeUtf8(whole, 4).length > n;
}

} // namespace phonebook
