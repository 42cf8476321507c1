#pragma once

#include <QString>

#include <string>
#include <string_view>

// The text a reader sees in an HTML body: paragraphs apart by a blank line, <br> and blocks
// breaking lines, list items one to a line, table cells apart by a tab, a link's address after
// its text when the text does not say it, a picture as its alt text; scripts, styles, the head
// and comments left out; every character reference decoded; runs of blanks made one.
namespace HtmlText {

QString toPlainText(const QString& html);

// The charset an HTML document names in a meta tag, or empty.
std::string declaredCharset(std::string_view html);

} // namespace HtmlText
