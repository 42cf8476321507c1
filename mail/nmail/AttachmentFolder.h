#pragma once

#include "StoreResult.h"

#include <QString>

#include <functional>
#include <string_view>

// The folder the program extracts attachments into. A file appears whole or not at all (written
// to a hidden temporary file, flushed, then linked under its name), and an existing file is never
// replaced: a taken name gets " (2)", " (3)", ... before its extension.
class AttachmentFolder {
public:
    // The path as the program passes it, with or without a trailing "/" or "\".
    explicit AttachmentFolder(const QString& path);

    const QString& path() const { return path_; }
    bool exists() const;

    // The path of the file written under the safe form of name (fallback when nothing is left).
    // The bytes are not waited for on disk: the caller flushes what it wrote before it relies on it.
    StoreResult<QString> writeNew(const QString& name, const QString& fallback, std::string_view bytes) const;
    // The same with the bytes of the file at source, read piece by piece.
    StoreResult<QString> copyNew(const QString& name, const QString& fallback, const QString& source) const;
    // The same with the bytes write puts into the open file descriptor; it returns 0 or an errno value.
    StoreResult<QString> writeNewWith(const QString& name, const QString& fallback, const std::function<int(int fd)>& write) const;

private:

    QString path_;
};
