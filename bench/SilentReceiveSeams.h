#pragma once

#include "MessageBoxService.h"
#include "ReceiveSession.h"

// What a receive session shows, dropped: the benches time the session, not a window.
class SilentView final : public ReceiveView {
public:
    void setStatus(const QString&) override {}
    void showProgress(int, int) override {}
    void showMessage(const MessageFields&) override {}
    void showForSpamTest(const QString&, const QString&, const QString&) override {}
    void raiseNewCounter(int) override {}
    void lowerNewCounter(int) override {}
};

// Answers every box with OK and counts them: a bench run that shows one has gone wrong.
class CountingMessageBoxes final : public MessageBoxService {
public:
    Answer show(const Request&) override
    {
        ++shown;
        return Answer::Ok;
    }
    int shown = 0;
};
