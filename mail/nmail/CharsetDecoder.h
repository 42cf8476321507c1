#pragma once

#include <QString>

#include <optional>
#include <string_view>

// Turns the bytes of a mail text into Unicode by the charset it is labelled with. Japanese labels
// read as Windows writes them: every Shift_JIS name as code page 932, ISO-2022-JP as its Microsoft
// superset, EUC-JP with the NEC and IBM rows. Unlabelled or plainly mislabelled 8-bit text is
// read as UTF-8 when it is valid UTF-8, else by CharsetGuess; an unknown label is read likewise.
namespace CharsetDecoder {

QString decode(std::string_view bytes, std::string_view charset);

// The text when the bytes read cleanly in their charset or, failing that, as UTF-8 or code page
// 932; nothing when every reading leaves unreadable bytes.
std::optional<QString> decodeIfClean(std::string_view bytes, std::string_view charset);

// Text whose charset nobody stated (raw 8-bit header text, unlabelled bodies).
QString decodeUnlabelled(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);

} // namespace CharsetDecoder
