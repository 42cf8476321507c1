#pragma once

#include "ProgramPaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A program folder with its data folder, for tests that write store files.
class StoreTestFolder {
public:
    StoreTestFolder() : paths_(folder_.path()) { QDir(folder_.path()).mkdir(ProgramPaths::dataFolderName()); }

    const ProgramPaths& paths() const { return paths_; }
    QString data(const QString& name) const { return paths_.dataFile(name); }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void put(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    }

private:
    QTemporaryDir folder_;
    ProgramPaths paths_;
};
