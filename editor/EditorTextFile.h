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

StoreResult<QString> read(const QString& path);
// Replaces the file whole. The result says whether characters were replaced by "?".
StoreResult<bool> write(const QString& path, QStringView text);

// The sentence a save shows once when characters were replaced.
QString replacedCharactersNotice(const QString& path);

} // namespace EditorTextFile
