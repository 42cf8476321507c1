#pragma once

#include "ProgramPaths.h"
#include "SearchResult.h"
#include "StoreResult.h"

#include <QStringList>

#include <atomic>

// Searching every live record of the ten folders and the sent history by reading the store files
// themselves: the answer while the index is missing or being rebuilt, and the floor the index is
// measured against.
namespace MailScan {

// Messages holding every folded word, newest first; rows holds at most rowLimit of them. Ends early,
// with what it found so far, once cancel is set.
StoreResult<SearchResult> search(const ProgramPaths& paths, const QStringList& words, int rowLimit,
    const std::atomic<bool>* cancel = nullptr);

} // namespace MailScan
