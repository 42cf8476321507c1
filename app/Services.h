#pragma once

#include "Clipboard.h"
#include "FileDialogs.h"
#include "MessageBoxService.h"
#include "MillisecondClock.h"
#include "NMailApi.h"
#include "ProgramLauncher.h"

#include <cstdint>
#include <functional>

// Everything the main window and its screens reach outside the process through. main() passes the
// real ones; tests pass fakes.
struct Services {
    MessageBoxService& messageBoxes;
    Clipboard& clipboard;
    FileDialogs& fileDialogs;
    ProgramLauncher& launcher;
    MillisecondClock& clock;
    NMailApi& mail;
    // Handles pending window events once; WaitMilliseconds calls it until its time is up.
    std::function<void()> processEvents;
    // Ends the process at once: nothing after it runs in the real program. Tests record the call
    // instead, so the caller must return right after it.
    std::function<void()> endProcess;

    void waitMilliseconds(std::uint32_t ms) const { WaitMilliseconds(ms, clock, processEvents); }
};
