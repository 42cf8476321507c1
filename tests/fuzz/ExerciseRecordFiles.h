#pragma once

#include <QString>

#include <string>
#include <string_view>

// Lays arbitrary bytes out as each kind of record file (a folder, the sent history, the sort rules,
// the spam keywords) in folder and runs every reader and the compaction over them, checking what
// must hold whatever the bytes. Returns what did not hold, or an empty string.
//
// The first four bytes give the length of the folder and sent history files, which repeat the rest
// of the input up to it, so a short input can still make files of several 32 KB records.
std::string ExerciseRecordFiles(std::string_view input, const QString& folder);
