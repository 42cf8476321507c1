#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Escaped bytes written as a mark and two hexadecimal digits: "=E6" in encoded words, "%E6" in
// parameter values.
namespace HexEscape {

inline int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// When text[at] is the mark followed by two hexadecimal digits, appends the byte they give to
// bytes and returns true; at stays where it was.
inline bool take(std::string_view text, std::size_t at, char mark, std::string& bytes)
{
    if (text[at] != mark || at + 2 >= text.size())
        return false;
    const int high = digitValue(text[at + 1]);
    const int low = digitValue(text[at + 2]);
    if (high < 0 || low < 0)
        return false;
    bytes += static_cast<char>(high * 16 + low);
    return true;
}

} // namespace HexEscape
