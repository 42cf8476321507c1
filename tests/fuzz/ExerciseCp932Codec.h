#pragma once

#include <string>
#include <string_view>

// Decodes arbitrary bytes as code page 932 and encodes arbitrary text (the bytes taken as UTF-16),
// checking what every file of the program relies on: decoding what was encoded gives the same text
// back, and fixed-width fields are exactly their width without a split character. Returns what did
// not hold, or an empty string.
std::string ExerciseCp932Codec(std::string_view input);
