#pragma once

#include "StoreResult.h"

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

// Text files as the editor reads and writes them: code page 932 with CR LF line ends. A file that
// is plainly UTF-8 (a byte order mark, or valid UTF-8 beyond ASCII) is read as UTF-8.
namespace EditorTextFile {

struct Encoded {
    std::string bytes;
    // Some character had no code page 932 form and was written as "?".
    bool charactersReplaced = false;
};

// The text of a file: every line followed by CR LF, a line ending at CR or CR LF (a lone LF stays
// part of its line), so a text that is not empty always ends with CR LF.
QString decode(std::string_view bytes);

// The bytes of a text whose lines end at "\n" or CR LF: CR LF between the lines and one more CR LF
// at the end.
Encoded encode(QStringView text);

// What a byte sequence without a character reads as: KATAKANA MIDDLE DOT, as on Windows.
inline constexpr char16_t UnreadableMark = 0x30FB;

struct ReadText {
    QString text;
    // Some bytes were no character of code page 932 and read as "・", which a save writes back.
    bool unreadableBytes = false;
};

StoreResult<ReadText> read(const QString& path);
// Replaces the file whole, open to its owner only: a mail's text is as private as the mail. The result says
// whether characters were replaced by "?".
StoreResult<bool> write(const QString& path, QStringView text);

// The sentence a save shows once when characters were replaced.
QString replacedCharactersNotice(const QString& path);
// The sentence a save shows once when the text came from a file with bytes that were no character.
QString unreadableBytesNotice(const QString& path);

} // namespace EditorTextFile
