#pragma once

#include <QString>

#include <string>
#include <string_view>

// The text a reader sees in an HTML body: tags dropped, scripts and styles left out, line breaks
// where blocks and <br> break lines, character references decoded, runs of blanks made one.
namespace HtmlText {

QString toPlainText(const QString& html);

// The charset an HTML document names in a meta tag, or empty.
std::string declaredCharset(std::string_view html);

} // namespace HtmlText
