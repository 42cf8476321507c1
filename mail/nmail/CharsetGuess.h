#pragma once

#include <QString>

#include <string_view>

// Which charset 8-bit text that names none (and is not UTF-8) was written in: code page 932,
// EUC-JP, or Windows-1252 for Western text with a few accented letters or curly quotes.
//
// Each reading earns points for what a Japanese reader would accept as text and loses them for
// what no writer produces:
//   code page 932 and EUC-JP: +2 for every hiragana or full-width katakana, +1 for every kanji,
//     full-width letter or Japanese punctuation; -1 for every half-width katakana (what EUC-JP
//     read as code page 932 turns into); -3 for every double-byte character standing alone
//     inside an ASCII word ("world痴s"); -4 for every byte sequence the charset cannot read.
//   Windows-1252, only for text of at most one high byte in four: +2 for a lone high byte that is a letter or typographic punctuation between
//     ASCII characters ("world’s", "café"), +1 for two together ("Größe"); -2 for every byte of a
//     longer run (Western text does not string them together, Japanese does); -4 for a byte
//     Windows-1252 leaves undefined.
// The highest score wins; a tie goes to code page 932, then EUC-JP, the charsets of Japanese mail.
namespace CharsetGuess {

enum class Charset { Cp932, EucJp, Windows1252 };

struct Scores {
    int cp932 = 0;
    int eucJp = 0;
    int windows1252 = 0;
};

Scores scores(std::string_view bytes);
Charset guess(std::string_view bytes);
// The bytes read in the charset guess chooses.
QString decode(std::string_view bytes);

QString decodeEucJp(std::string_view bytes);
QString decodeWindows1252(std::string_view bytes);

} // namespace CharsetGuess
