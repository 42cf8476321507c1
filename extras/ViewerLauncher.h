#pragma once

#include <functional>

class MessageBoxService;
class ProgramLauncher;
class ProgramPaths;

// The main screen's viewer button: gets the main window out of the way and starts the separate
// picture viewer Data/tetra.exe of the program folder, with no arguments and without waiting for
// it; each call starts one more viewer. A viewer that is missing or cannot be started brings the
// window back and is reported with its path.
struct ViewerWindow {
    std::function<void()> minimise;
    std::function<void()> restore;
};

// true when the viewer was started.
bool LaunchViewer(const ProgramPaths& paths, ProgramLauncher& launcher, MessageBoxService& messageBoxes, const ViewerWindow& window);
