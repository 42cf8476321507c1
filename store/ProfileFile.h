#pragma once

#include "PrivateFolders.h"
#include "StoreResult.h"

#include <QList>
#include <QString>

#include <sys/types.h>

// A settings file of sections in brackets and key=value lines, in code page 932 with CR LF, read
// and written the way the system profile functions treat them: sections and keys match without
// regard to case, a missing file, section or key reads as empty, values are cut to 255 bytes, and
// a write keeps every other section, key and line as it was.
class ProfileFile {
public:
    static constexpr std::size_t MaxValueBytes = 255;

    explicit ProfileFile(QString path, mode_t mode = PrivateFolders::FileMode);

    QString read(const QString& section, const QString& key) const;

    // Sets the keys in order, in one rewrite of the file (temporary file, flush, rename).
    struct Entry {
        QString key;
        QString value;
    };
    StoreStatus write(const QString& section, const QList<Entry>& entries) const;

private:
    QString path_;
    mode_t mode_;
};
