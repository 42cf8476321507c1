#pragma once

#include <QString>
#include <QStringView>

// Builds every path of the program: the program folder followed by a literal tail such as
// "★MAilData/vbmdata1.data". File names are matched without regard to case, as the program's
// files have always been addressed ("★MAilData" and "★MailData" are one folder): an existing
// entry keeps its own spelling, a new one gets the spelling given.
class ProgramPaths {
public:
    explicit ProgramPaths(QString programFolder);

    const QString& programFolder() const { return programFolder_; }

    // tail uses "/" or "\" between its parts.
    QString path(QStringView tail) const;

    // The same matching below the current directory (vbmail.ini is addressed by its bare name).
    static QString inCurrentDirectory(QStringView name);

    static QString dataFolderName() { return QStringLiteral("★MAilData"); }
    QString dataFolder() const { return path(dataFolderName()); }
    QString dataFile(QStringView name) const;
    QString attachmentFolder() const { return path(u"添付フォルダ"); }
    QString quickSaveFolder() const { return path(u"■TextQuickSave"); }
    QString viewerProgram() const { return path(u"Data/tetra.exe"); }

    static QString resolve(const QString& base, QStringView tail);

private:
    QString programFolder_;
};
