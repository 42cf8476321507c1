#pragma once

#include <QString>

// Starting a separate program without waiting for it, and opening a page in the browser.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // true when the program was started.
    virtual bool startMinimized(const QString& program) = 0;
    virtual bool openInBrowser(const QString& url) = 0;
};
