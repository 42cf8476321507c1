#pragma once

#include "ReceiveSession.h"

// What a receive session shows, dropped: for the tests and benches that drive a session without a
// window and judge it by what it stored.
class SilentView final : public ReceiveView {
public:
    void setStatus(const QString&) override {}
    void showProgress(int, int) override {}
    void showMessage(const MessageFields&) override {}
    void showForSpamTest(const QString&, const QString&, const QString&) override {}
    void raiseNewCounter(int) override {}
    void lowerNewCounter(int) override {}
};
