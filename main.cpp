#include "MainForm.h"
#include "NMail.h"
#include "ProgramFolderLock.h"
#include "ProgramPaths.h"
#include "QtClipboard.h"
#include "QtEventPump.h"
#include "QtFileDialogs.h"
#include "QtMessageBoxService.h"
#include "QtProgramLauncher.h"
#include "SystemMillisecondClock.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setFont(MainForm::programFont());

    QtMessageBoxService messageBoxes;
    QtClipboard clipboard;
    QtFileDialogs fileDialogs;
    QtProgramLauncher launcher;
    SystemMillisecondClock clock;
    NMail mail;
    Services services{messageBoxes, clipboard, fileDialogs, launcher, clock, mail, &ProcessWindowEvents, [] {
                          // Every change was written when it was made; open windows are discarded as they stand.
                          std::fflush(nullptr);
                          std::_Exit(EXIT_SUCCESS);
                      }};

    // The program folder is the executable's; the current directory stays as started (vbmail.ini).
    const ProgramPaths paths(QCoreApplication::applicationDirPath());
    // One copy per program folder. A lock file that cannot be made (a folder the user may only
    // read) leaves the program unguarded rather than unusable.
    ProgramFolderLock folderLock(paths);
    if (folderLock.acquire() == ProgramFolderLock::Outcome::HeldByAnotherCopy) {
        messageBoxes.notify(folderLock.heldByAnotherCopyText(), MessageBoxService::Icon::Exclamation);
        return EXIT_FAILURE;
    }
    MainForm window(paths, services);
    messageBoxes.setParentWindow(&window);
    fileDialogs.setParentWindow(&window);
    if (!window.load())
        return EXIT_FAILURE;
    window.show();
    return application.exec();
}
