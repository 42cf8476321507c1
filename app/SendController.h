#pragma once

#include "SendRun.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class MainForm;

// Runs the sends of the compose and reply screens on the main window: one operation at a time,
// user input held off, progress in the caption with a repaint between messages, and the
// "送信エラー" box for every message the library refuses.
class SendController : public QObject, private SendRunView {
    Q_OBJECT
public:
    explicit SendController(MainForm& form);

    // std::nullopt when another operation is running, so nothing was stored or sent.
    std::optional<SendRun::Outcome> send(const QStringList& recipients, const OutgoingMail& boxes);

    static QString sendErrorTitle() { return QStringLiteral("送信エラー"); }

private:
    void showProgress(int number, int count) override;
    void reportSendFailure(const QString& text) override;
    void reportHistoryFailure(const QString& text) override;
    void reportRefusedRecipient(const QString& text) override;
    void reportHistoryReplacement(const QString& text) override;
    SendAccount account() const;

    MainForm& form_;
    QString captionBeforeSend_;
};
