#pragma once

#include "ReceiveSession.h"
#include "SpamKeywordMatcher.h"

#include <QObject>

#include <optional>

class MainForm;

// Runs a receive session for the receive tab on the main window's controls: the account from the
// account dialog, progress in the caption, the stored message in the view fields, the New
// counters, and the final status in the status bar for five seconds.
class ReceiveController : public QObject, private ReceiveView {
    Q_OBJECT
public:
    explicit ReceiveController(MainForm& form);

    // One session; a request while a session or its final status is running is ignored.
    void ReceiveMail();
    bool isRunning() const { return running_; }

    static constexpr std::uint32_t FinalStatusMilliseconds = 5000;
    static QString stoppedStatus() { return QStringLiteral("受信を中止しました"); }
    // From the start, also while the server has not answered yet.
    static QString receivingStatus() { return QStringLiteral("受信中・・・"); }

private:
    void setStatus(const QString& text) override;
    void showProgress(int messageNumber, int messageCount) override;
    void showMessage(const MessageFields& fields) override;
    void showForSpamTest(const QString& subject, const QString& sender, const QString& body) override;
    bool IsSpam(const QString& subject, const QString& sender, const QString& body);
    void raiseNewCounter(int folder) override;
    void lowerNewCounter(int folder) override;

    ReceiveAccount takeAccount();
    int newCounterSum() const;

    MainForm& form_;
    QString captionBeforeSession_;
    bool running_ = false;
    // The spam keywords as read for the running session.
    std::optional<SpamKeywordMatcher> sessionKeywords_;
};
