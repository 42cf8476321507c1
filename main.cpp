#include "CommandLineWork.h"
#include "MailtoLink.h"
#include "MainForm.h"
#include "NMail.h"
#include "ProgramFolderLock.h"
#include "ProgramPaths.h"
#include "QtClipboard.h"
#include "QtEventPump.h"
#include "QtFileDialogs.h"
#include "QtJapaneseTranslation.h"
#include "QtMessageBoxService.h"
#include "QtProgramLauncher.h"
#include "RunningCopyLink.h"
#include "StartOptions.h"
#include "SystemMillisecondClock.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char* argv[])
{
    // Answered before any window exists, so that they need no display.
    if (const std::optional<QString> information = StartOptions::informationFor(argumentsOf(argc, argv))) {
        std::fputs(information->toLocal8Bit().constData(), stdout);
        return EXIT_SUCCESS;
    }
    // An import or an export asked on the command line is done without a window.
    if (const QStringList arguments = argumentsOf(argc, argv);
        arguments.contains(StartOptions::ImportOption) || arguments.contains(StartOptions::ExportOption)) {
        QCoreApplication application(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        const StartOptions work = StartOptions::parse(
            arguments, qEnvironmentVariable(qPrintable(StartOptions::FolderVariable)), QCoreApplication::applicationDirPath());
        if (!work.error.isEmpty()) {
            err << work.error << Qt::endl;
            return 2;
        }
        if (work.exportFolder != 0)
            return CommandLineWork::exportMbox(work, out, err);
        NMail mail;
        return CommandLineWork::importMail(
            work, RunningCopyLink::socketFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath()), mail, out, err);
    }
    QApplication application(argc, argv);
    QApplication::setFont(MainForm::programFont());
    // The desktop finds the menu entry, its name and icon, by this name (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("nemuroa"));
    QtJapaneseTranslation qtTranslation;
    (void)qtTranslation.install();

    // The program folder is the executable's unless the start names another (the per-user
    // launcher does); the current directory stays as started (vbmail.ini).
    const StartOptions options = StartOptions::parse(QApplication::arguments().mid(1),
        qEnvironmentVariable(qPrintable(StartOptions::FolderVariable)), QCoreApplication::applicationDirPath());
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << options.error << Qt::endl;
        QtMessageBoxService().notify(options.error, MessageBoxService::Icon::Critical);
        return 2;
    }

    QtMessageBoxService messageBoxes;
    QtClipboard clipboard;
    QtFileDialogs fileDialogs;
    QtProgramLauncher launcher;
    SystemMillisecondClock clock;
    NMail mail;
    // The hand-over socket lives where only this user can reach it: the runtime folder, or a folder
    // of the user's own in the temporary folder.
    const QString socketFolder = RunningCopyLink::socketFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath());
    RunningCopyLink runningCopy(options.programFolder, socketFolder);
    Services services{messageBoxes, clipboard, fileDialogs, launcher, clock, mail, &ProcessWindowEvents, [&runningCopy] {
                          // Every change was written when it was made; open windows are discarded as they stand.
                          runningCopy.close();
                          std::fflush(nullptr);
                          std::_Exit(EXIT_SUCCESS);
                      }};

    const ProgramPaths paths(options.programFolder);
    // One copy per program folder. A second start hands its mailto: link (or nothing) to the
    // running copy, which comes to the front; only when that copy does not answer is the user told
    // why this one ends. A lock file that cannot be made (a folder the user may only read) leaves
    // the program unguarded rather than unusable.
    ProgramFolderLock folderLock(paths);
    if (folderLock.acquire() == ProgramFolderLock::Outcome::HeldByAnotherCopy) {
        if (RunningCopyLink::handOver(socketFolder, options.programFolder, options.mailto))
            return EXIT_SUCCESS;
        messageBoxes.notify(folderLock.heldByAnotherCopyText(), MessageBoxService::Icon::Exclamation);
        return EXIT_FAILURE;
    }
    MainForm window(paths, services);
    messageBoxes.setParentWindow(&window);
    fileDialogs.setParentWindow(&window);
    if (!window.load())
        return EXIT_FAILURE;
    window.show();

    if (runningCopy.listen()) {
        QObject::connect(&runningCopy, &RunningCopyLink::mailtoReceived, &window, &MainForm::takeHandOver);
        QObject::connect(&runningCopy, &RunningCopyLink::importReceived, &window, &MainForm::takeImportHandOver);
    }
    if (const std::optional<MailtoLink> link = MailtoLink::parse(options.mailto))
        window.composeMailto(*link);
    return application.exec();
}
