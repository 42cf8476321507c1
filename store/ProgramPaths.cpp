#include "ProgramPaths.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

ProgramPaths::ProgramPaths(QString programFolder) : programFolder_(std::move(programFolder)) {}

QString ProgramPaths::path(QStringView tail) const { return resolve(programFolder_, tail); }

QString ProgramPaths::dataFile(QStringView name) const
{
    return resolve(programFolder_, QString(dataFolderName() + u'/' + name.toString()));
}

QString ProgramPaths::inCurrentDirectory(QStringView name) { return resolve(QDir::currentPath(), name); }

QString ProgramPaths::resolve(const QString& base, QStringView tail)
{
    QString result = base;
    const auto parts = tail.toString().replace(u'\\', u'/').split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QString candidate = result + u'/' + part;
        if (!QFileInfo::exists(candidate)) {
            const QStringList entries = QDir(result).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            for (const QString& entry : entries) {
                if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                    candidate = result + u'/' + entry;
                    break;
                }
            }
        }
        result = std::move(candidate);
    }
    return result;
}
