#pragma once

#include "MailSender.h"
#include "SentHistory.h"

#include <QString>
#include <QStringList>

#include <functional>

// What a running send shows; the main window implements it.
class SendRunView {
public:
    virtual ~SendRunView() = default;
    // Message number of count is about to be stored and sent; also the moment to repaint.
    virtual void showProgress(int number, int count) = 0;
    // The library refused a message, or the server could not be used at all ("送信エラー").
    virtual void reportSendFailure(const QString& text) = 0;
    // The sent record could not be written, so the message was not sent.
    virtual void reportHistoryFailure(const QString& text) = 0;
    // Once, at the end of a run: the messages that may or may not have been delivered.
    virtual void reportUnconfirmed(const QString& text) = 0;
    // Asked before each message: the user wants no further message sent.
    virtual bool stopRequested() { return false; }
    // A recipient part is not an address: nothing was stored or sent.
    virtual void reportRefusedRecipient(const QString& text) = 0;
    // Once per send: the sent history keeps "?" for characters code page 932 cannot hold, while
    // the messages went out with them.
    virtual void reportHistoryReplacement(const QString& text) = 0;
};

// One press of "送信": one message per recipient, in order, each written to the sent history and
// flushed before the library is called. A refused message does not stop the others; a server that
// cannot be reached or refuses the login stops the run after one report, and a sent history that
// cannot be written stops it before anything more is sent, so no record stands for a message
// that was never tried. Recipients that are not addresses are refused before anything is stored.
// A message the server took without ever answering may have been delivered: the run goes on, and
// its last report names every such message, so that the user checks before sending one again. A
// stop asked by the user lets the message on the wire finish and starts no further one.
class SendRun {
public:
    struct Outcome {
        // The messages of the run: one per recipient.
        int messages = 0;
        int stored = 0;
        int sent = 0;
        int unconfirmed = 0;
        bool stopped = false;
        // The user stopped the run before every message was tried.
        bool stoppedByUser = false;

        // Every message reached the server and was taken. Anything less, a run of no message
        // included, leaves the screen holding what the user typed.
        bool allSent() const { return messages > 0 && sent == messages; }
    };

    SendRun(SentHistory history, MailSender& sender, std::function<QString()> clockText, SendRunView& view);

    // boxes is the message as the screen holds it: its recipient is what every sent record keeps,
    // while each message goes to its own entry of recipients.
    Outcome run(const QStringList& recipients, const OutgoingMail& boxes);

    static QString notTriedText(int remaining);
    // In a send of several messages: message number, to recipient, was refused or could not go.
    static QString messageNotSentText(int number, const QString& recipient);
    // unconfirmed: "number: recipient" of each message; reason: the library's text of the first.
    static QString unconfirmedText(const QStringList& unconfirmed, const QString& reason);
    static QString nothingSentText() { return QStringLiteral("メールは送信していません。"); }
    // The status line after a send that kept the screen's boxes (not Outcome::allSent).
    static QString notSentStatus(const Outcome& outcome);
    static QString historyReplacementText(const QString& characters);

private:
    // The run itself; every message that may or may not have gone is handed to unconfirmed.
    Outcome sendEach(const QStringList& recipients, const OutgoingMail& boxes,
        const std::function<void(int number, const QString& recipient, const QString& reason)>& unconfirmed);

    SentHistory history_;
    MailSender& sender_;
    std::function<QString()> clockText_;
    SendRunView& view_;
};
