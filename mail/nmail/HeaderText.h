#pragma once

#include <QString>

#include <string_view>

// Header text as a reader sees it: RFC 2047 encoded words decoded wherever they stand (also
// inside quotes and words, as careless mailers write them), adjacent encoded words of one charset
// joined before conversion so a character split between them survives, the blanks between encoded
// words dropped, raw 8-bit text read as UTF-8 or code page 932, and malformed encoded words left
// as they stand. Work is linear in the input; longer values are cut to MaximumBytes first.
namespace HeaderText {

constexpr std::size_t MaximumBytes = 64 * 1024;

QString decode(std::string_view value);

} // namespace HeaderText
