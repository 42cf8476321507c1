#pragma once

#include "ReceiveSession.h"
#include "SpamKeywordMatcher.h"

#include <QObject>

#include <optional>

class MainForm;

// Runs a receive session for the receive tab on the main window's controls: the account from the
// account dialog, progress in the caption, the stored message in the view fields, the New
// counters, and the final status in the status bar for five seconds. Without a POP3 server, an
// ID or a password it connects to nothing and offers the window that sets what is missing.
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

    enum class MissingSetting { Pop3Server, AccountId, AccountPassword };
    // Asked instead of a receive that could not log in: yes opens the dialog that sets it.
    static QString missingSettingQuestion(MissingSetting missing);

private:
    void setStatus(const QString& text) override;
    void showProgress(int messageNumber, int messageCount) override;
    void showMessage(const MessageFields& fields) override;
    void showForSpamTest(const QString& subject, const QString& sender, const QString& body) override;
    bool IsSpam(const QString& subject, const QString& sender, const QString& body);
    void raiseNewCounter(int folder) override;
    void lowerNewCounter(int folder) override;

    ReceiveAccount takeAccount();
    // True when the account lacks what a login needs; the user was asked and the dialog that sets
    // it opened on a yes. Nothing is connected then.
    bool offerMissingSetting(const ReceiveAccount& account);
    int newCounterSum() const;

    MainForm& form_;
    QString captionBeforeSession_;
    bool running_ = false;
    // The spam keywords as read for the running session.
    std::optional<SpamKeywordMatcher> sessionKeywords_;
};
