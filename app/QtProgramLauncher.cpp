#include "QtProgramLauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

bool QtProgramLauncher::startMinimized(const QString& program)
{
    // The desktop decides how a new program's window opens; starting it is all that can be asked.
    return QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
}

bool QtProgramLauncher::openInBrowser(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }
