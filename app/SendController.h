#pragma once

#include "SendRun.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class MainForm;
class OperationInProgress;

// Runs the sends of the compose and reply screens on the main window: one operation at a time,
// user input held off, progress in the caption with a repaint between messages, the
// "送信エラー" box for every message the library refuses, and after a send of several messages
// of which only some went, a box that says how many went.
class SendController : public QObject, private SendRunView {
    Q_OBJECT
public:
    explicit SendController(MainForm& form);

    // std::nullopt when another operation is running, so nothing was stored or sent, or when the
    // user stopped the send before every message was tried: the screen keeps what it holds.
    std::optional<SendRun::Outcome> send(const QStringList& recipients, const OutgoingMail& boxes);

    static QString sendErrorTitle() { return QStringLiteral("送信エラー"); }
    static QString stoppedStatus() { return QStringLiteral("送信を中止しました"); }
    static QString stoppedText(int sent, int notSent);

private:
    void showProgress(int number, int count) override;
    void reportSendFailure(const QString& text) override;
    void reportHistoryFailure(const QString& text) override;
    void reportUnconfirmed(const QString& text) override;
    bool stopRequested() override;
    void reportRefusedRecipient(const QString& text) override;
    void reportHistoryReplacement(const QString& text) override;
    SendAccount account() const;

    MainForm& form_;
    QString captionBeforeSend_;
    OperationInProgress* operation_ = nullptr;
};
