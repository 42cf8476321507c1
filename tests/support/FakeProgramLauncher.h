#pragma once

#include "ProgramLauncher.h"

#include <QStringList>

// Records the programs and pages the program asks to open.
class FakeProgramLauncher final : public ProgramLauncher {
public:
    bool startMinimized(const QString& program) override
    {
        startedPrograms.append(program);
        return startSucceeds;
    }
    bool openInBrowser(const QString& url) override
    {
        openedPages.append(url);
        return browserOpens;
    }

    QStringList startedPrograms;
    QStringList openedPages;
    bool startSucceeds = true;
    bool browserOpens = true;
};
