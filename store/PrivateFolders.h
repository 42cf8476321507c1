#pragma once

#include "ProgramPaths.h"

#include <QStringList>

#include <sys/types.h>

// Received and sent mail, the account and the lists are the user's alone, as mail stores keep
// them: the folders that hold them are open to their owner only, and so is every file the program
// writes: the store's files, attachments, exports and a text saved under a chosen name alike.
namespace PrivateFolders {

inline constexpr mode_t FolderMode = 0700;
inline constexpr mode_t FileMode = 0600;

// Takes group and other access away from the data folder, the attachment folder and the export
// folder where an older version or the desktop left it, and says so once per folder in the
// returned lines. A folder that does not exist is left to the start-up check that needs it; one
// that cannot be changed is reported in a line too.
QStringList narrow(const ProgramPaths& paths);

} // namespace PrivateFolders
