#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

// Code page 932 as Windows converts it (glibc iconv "CP932"): FULLWIDTH TILDE and WAVE DASH, NEC and
// IBM extension characters and half-width katakana all as on Windows. Every file of the program is
// written and read through this one converter.
namespace Cp932Codec {

// Converts to code page 932; a character it cannot hold becomes "?", as on Windows.
std::string encode(QStringView text);

// What encoding the text and decoding its bytes gives back, made without the bytes: "?" for a
// character the code page cannot hold, the read-back form (storedForm) of every other. A text that
// reads back unchanged is shared, not copied.
QString readBack(const QString& text);

// Converts from code page 932; a byte sequence without a character becomes U+30FB, as on Windows.
QString decode(std::string_view bytes);

// The longest prefix of at most maxBytes bytes that does not end in the first half of a
// double-byte character.
std::size_t wholeCharacterPrefix(std::string_view bytes, std::size_t maxBytes);

bool isLeadByte(unsigned char byte);

// The characters of text that code page 932 cannot hold (each once, in order of appearance): they
// would be stored as "?".
QString unstorableCharacters(QStringView text);

// The text as code page 932 stores it and reads it back: every character it holds becomes the one
// its bytes decode to (WAVE DASH becomes FULLWIDTH TILDE, MINUS SIGN becomes FULLWIDTH HYPHEN-MINUS),
// so two forms the code page stores as the same bytes compare equal; a character it cannot hold
// stays as it is, never "?". Always one character for one, so positions carry over. A text already
// in that form is shared, not copied.
QString storedForm(const QString& text);

// True when every byte sequence is a character of code page 932 (decode marks none as unreadable).
bool isWellFormed(std::string_view bytes);

// A text field of a fixed-length record: cut to width characters, padded with spaces, converted,
// cut to width bytes without splitting a character; a byte freed by the cut is a space.
std::string encodeField(QStringView text, int width);

} // namespace Cp932Codec
