#pragma once

#include "ProgramPaths.h"
#include "StoreResult.h"

#include <QStringList>

// What a run of the program that was ended in the middle of writing leaves behind, put right at
// the next start before anything reads the files: the records of a receive session or an import
// that did not finish are cut off (ReceiveJournal), and the temporary files named below are removed. Nothing
// else is touched; in particular the parts of split messages kept in the attachment folder are
// mail still waiting for its other parts, and a work file 0.txt left there is removed by the next
// receive, which alone tells it from a file of the user's of that name (AttachmentWorkFile).
namespace StartUpRecovery {

// The temporary files of this program that exist now:
//   ★MAilData/VBMDATA1.TMP ... VBMDATA10.TMP, VBMDATA30.TMP   copies of a compaction (folders,
//                                                             sent history)
//   ★MAilData/VBMDATA20.TMP                                   copy of an address-book compaction
//   ★MAilData/VBMDATA50.TMP                                   copy of a keyword compaction
//   ★MAilData/iniIdPass.ini.tmp-XXXXXX,                       the account and the receive journal
//   ★MAilData/receive.journal.tmp-XXXXXX                      before their rename (six characters;
//                                                             an earlier version's ".tmp" too)
//   ★MAilData/received.ids.new.tmp-XXXXXX                     the pending id file before its rename
//   vbmail.ini.tmp-XXXXXX (current directory)                 the server settings before theirs
//   添付フォルダ/.nmail-work.tmp-XXXXXX                          the work file's note before its rename
//   添付フォルダ/.nmail-XXXXXX (six characters)                 an attachment before it got its name
// Each stands beside a whole original: a compaction and every other rewrite rename their copy
// over the original only once the copy is complete and flushed.
QStringList leftoverTemporaryFiles(const ProgramPaths& paths);

// Rolls back an interrupted receive session or import (or takes the ids of one that was committed)
// and removes the leftover temporary files.
StoreStatus recover(const ProgramPaths& paths);

} // namespace StartUpRecovery
