#pragma once

#include "NMailApi.h"
#include "ProgramPaths.h"
#include "StartOptions.h"
#include "StoreResult.h"

#include <QTextStream>

#include <array>

// The work the command line asks for without a window: "--import" and "--export-mbox". Each
// prints one line on out (failures on err) and gives the process's exit code.
class CommandLineWork {
public:
    // socketFolder: where a copy running on the same program folder listens (RunningCopyLink);
    // the import is handed to it, since two processes must never write the store.
    static int importMail(const StartOptions& options, const QString& socketFolder, NMailApi& mail, QTextStream& out, QTextStream& err);
    static int exportMbox(const StartOptions& options, QTextStream& out, QTextStream& err);

    // The held sorting addresses of rules 1 to 9, as the main window holds them at start.
    static StoreResult<std::array<QString, 9>> sortingAddresses(const ProgramPaths& paths);
};
