#pragma once

#include <QString>

#include <string>
#include <string_view>

// Takes arbitrary bytes as a settings file in folder, writes keys into a section named by the input
// and reads everything back: the written values read as written, every other key reads as before,
// and the server settings file reads the same after it is written back. Returns what did not hold,
// or an empty string.
std::string ExerciseProfileFile(std::string_view input, const QString& folder);
