#pragma once

#include "PrivateFolders.h"
#include "StoreResult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string_view>
#include <sys/types.h>

// Replaces a whole file so that a crash at any instant leaves either the old or the new content:
// the bytes go to a new temporary file beside it, which is flushed to disk and renamed over the path.
namespace AtomicFile {

StoreStatus write(const QString& path, std::string_view bytes, mode_t mode = PrivateFolders::FileMode);

// Creates a new file beside path named "<name>.tmp-" and six random characters, never through a
// link and never over an existing file: its descriptor (open for writing, with mode), or -1 with
// errno set. temporaryName receives the new file's name.
int createTemporaryBeside(const QString& path, mode_t mode, QByteArray& temporaryName);

// The temporary files write() may have left beside path: the names createTemporaryBeside() gives,
// and "<name>.tmp" of earlier versions; regular files only, never a link.
QStringList temporariesOf(const QString& path);

// Flushes a rename or a new directory entry to disk.
StoreStatus syncDirectoryOf(const QString& path);

QString describeErrno(int error);

} // namespace AtomicFile
