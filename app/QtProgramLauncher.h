#pragma once

#include "ProgramLauncher.h"

// Starts programs detached from this process and opens pages in the desktop's browser.
class QtProgramLauncher final : public ProgramLauncher {
public:
    bool startMinimized(const QString& program) override;
    bool openInBrowser(const QString& url) override;
};
