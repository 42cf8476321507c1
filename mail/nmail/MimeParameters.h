#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// Parameters of a raw Content-Type or Content-Disposition value, read the way mailers actually
// write them: RFC 2231 sections and charsets (name*0*=iso-2022-jp''%1B...), quoted strings with
// encoded words inside, and bare 8-bit text.
namespace MimeParameters {

// The value before the first ";", lower case and trimmed ("text/plain", "attachment").
std::string mainValue(std::string_view headerValue);

// A parameter's bytes as written (quotes and escapes removed), for ASCII values such as id or total.
std::optional<std::string> raw(std::string_view headerValue, std::string_view name);

// A parameter as text: RFC 2231 sections joined and converted by their charset, else encoded
// words decoded.
std::optional<QString> text(std::string_view headerValue, std::string_view name);

} // namespace MimeParameters
