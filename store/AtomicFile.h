#pragma once

#include "PrivateFolders.h"
#include "StoreResult.h"

#include <QString>

#include <string_view>
#include <sys/types.h>

// Replaces a whole file so that a crash at any instant leaves either the old or the new content:
// the bytes go to a temporary file beside it, which is flushed to disk and renamed over the path.
namespace AtomicFile {

StoreStatus write(const QString& path, std::string_view bytes, mode_t mode = PrivateFolders::FileMode);

// Flushes a rename or a new directory entry to disk.
StoreStatus syncDirectoryOf(const QString& path);

QString describeErrno(int error);

} // namespace AtomicFile
