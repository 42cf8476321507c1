#pragma once

#include "ProgramPaths.h"
#include "Record.h"
#include "StoreResult.h"

// Removing mail from a store file (folders 1 to 10, 11 the sent history) in two phases: the
// records to go are marked with Live 0, then the file is compacted through its temporary copy,
// which keeps the live records in their order and leaves no temporary copy behind.
namespace MessageDeletion {

// Writes the file's record buffer back as record n with Live 0 and compacts. The buffer holds the
// record that the click on row n read, so the record marked is the one that was shown.
StoreStatus deleteOne(const ProgramPaths& paths, int folder, int recordNumber, const Record& buffer);

// Marks every record of the file and compacts, which leaves the file empty. A missing file is
// created empty first.
StoreStatus deleteAll(const ProgramPaths& paths, int folder);

} // namespace MessageDeletion
