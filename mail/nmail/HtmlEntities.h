#pragma once

#include <string_view>

// Every named character reference of HTML ("rsquo" for ’, "percnt" for %), as pages write them
// with their ";".
namespace HtmlEntities {

// The UTF-8 text the name stands for, empty when HTML has no reference of that name.
std::string_view text(std::string_view name);

} // namespace HtmlEntities
