#include "ViewerLauncher.h"

#include "MessageBoxService.h"
#include "ProgramLauncher.h"
#include "ProgramPaths.h"

bool LaunchViewer(const ProgramPaths& paths, ProgramLauncher& launcher, MessageBoxService& messageBoxes, const ViewerWindow& window)
{
    window.minimise();
    const QString viewer = paths.viewerProgram();
    if (launcher.startMinimized(viewer))
        return true;
    window.restore();
    messageBoxes.notify(QStringLiteral("「しずくテトラ」を起動できませんでした。\r\n%1").arg(viewer),
        MessageBoxService::Icon::Exclamation);
    return false;
}
