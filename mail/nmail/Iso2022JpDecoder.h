#pragma once

#include <QString>

#include <string_view>

// ISO-2022-JP as Windows mail programs write it (the Microsoft superset): JIS X 0208 plus NEC
// row 13 (①, ㈱, Ⅰ) and the NEC-selected IBM extensions (髙) in rows 89 to 92, half-width
// katakana after ESC ( I or between SO and SI, and JIS X 0212 where a sender used it. Each
// double-byte character goes through code page 932, so it reads as Windows shows it (～ stays
// FULLWIDTH TILDE). A missing ESC ( B at a line end is forgiven: every line starts in ASCII.
// What cannot be read (an unknown escape sequence, a stray byte) becomes 〓, never a raw ESC.
namespace Iso2022JpDecoder {

QString decode(std::string_view bytes);

// True when the bytes switch to a double-byte set somewhere, i.e. they read as ISO-2022-JP.
bool looksLikeIso2022Jp(std::string_view bytes);

} // namespace Iso2022JpDecoder
