#pragma once

#include "FakeClipboard.h"
#include "FakeClock.h"
#include "FakeFileDialogs.h"
#include "FakeMessageBoxService.h"
#include "FakeNMail.h"
#include "FakeProgramLauncher.h"
#include "MainForm.h"
#include "Services.h"
#include "TestProgramFolder.h"

#include <QWidget>

#include <memory>

// A real MainForm on the offscreen platform, wired to fakes, over a test program folder.
class MainFormHarness {
public:
    explicit MainFormHarness(const TestProgramFolder& folder);
    // The same with another mail library in place of the fake, e.g. the real one against the test servers.
    MainFormHarness(const TestProgramFolder& folder, NMailApi& mailLibrary);
    // The same with other message boxes too, e.g. the real ones answered by keys (BoxKeyAnswers).
    MainFormHarness(const TestProgramFolder& folder, NMailApi& mailLibrary, MessageBoxService& boxes);
    ~MainFormHarness();

    // Builds the window and runs start-up; returns what load() returned. The window is shown when
    // start-up succeeds.
    bool start();
    MainForm& form() const { return *form_; }

    // A control of the main window by object name (the settings windows are separate windows).
    template <typename Widget>
    Widget* find(const QString& name) const
    {
        return form_ ? form_->findChild<Widget*>(name) : nullptr;
    }
    // A control of a screen frame, for names that more than one window uses.
    template <typename Widget>
    Widget* findIn(const QString& frame, const QString& name) const
    {
        QWidget* container = find<QWidget>(frame);
        return container ? container->findChild<Widget*>(name) : nullptr;
    }
    // An open top-level window of the program (SetForm, IdPassForm, OptionForm) or nullptr.
    static QWidget* window(const QString& name);

    // Clicks tab index (1 to 17) with the mouse, as the user does.
    void clickTab(int index) const;

    FakeMessageBoxService messageBoxes;
    FakeClipboard clipboard;
    FakeFileDialogs fileDialogs;
    FakeProgramLauncher launcher;
    FakeClock clock;
    FakeNMail mail;
    int endProcessCalls = 0;
    Services services;

private:
    ProgramPaths paths_;
    std::unique_ptr<MainForm> form_;
};
