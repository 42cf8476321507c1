#include "SendController.h"

#include "AccountProfile.h"
#include "ClockText.h"
#include "IdPassForm.h"
#include "MainForm.h"
#include "OperationInProgress.h"

#include <QCoreApplication>
#include <QDateTime>

SendController::SendController(MainForm& form) : QObject(&form), form_(form) {}

SendAccount SendController::account() const
{
    // A provider's SMTP login of its own, when the server dialog holds one; else the POP3 account.
    const AccountProfile profile(form_.paths());
    if (const QString smtpId = profile.readSmtpId(); !smtpId.isEmpty())
        return {form_.Settings.SmtpServer, form_.Settings.MailAddress, smtpId, profile.readSmtpPassword()};
    IdPassForm& dialog = form_.idPassForm();
    return {form_.Settings.SmtpServer, form_.Settings.MailAddress, dialog.idText(), dialog.passText()};
}

std::optional<SendRun::Outcome> SendController::send(const QStringList& recipients, const OutgoingMail& boxes)
{
    if (form_.isOperationInProgress())
        return std::nullopt;
    OperationInProgress operation(form_);
    operation_ = &operation;
    captionBeforeSend_ = form_.windowTitle();
    PlainPasswordConsent passwordConsent = form_.plainPasswordConsent();
    MailSender sender(form_.services().mail, account(), &passwordConsent);
    SendRun run(SentHistory(form_.paths()), sender, [this] { return ClockText(form_.services().clock.localDateTime()); }, *this);
    const SendRun::Outcome outcome = run.run(recipients, boxes);
    emit form_.storeChanged();
    form_.setWindowTitle(captionBeforeSend_);
    // Clicks and keys that arrived while the library blocked are dropped here, while input is
    // still held off, instead of landing on whatever screen the send leaves shown.
    QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
    operation_ = nullptr;
    if (!operation.stopConfirmed()) {
        // The boxes of each refused message named it; the tally says how much of the whole went,
        // since the status line is not in sight of the screen that sent.
        if (outcome.messages > 1 && !outcome.allSent() && outcome.sent + outcome.unconfirmed > 0)
            form_.services().messageBoxes.notify(SendRun::notSentStatus(outcome), MessageBoxService::Icon::Exclamation);
        return outcome;
    }
    form_.setStatusText(stoppedStatus());
    form_.services().messageBoxes.notify(stoppedText(outcome.sent, static_cast<int>(recipients.size()) - outcome.sent));
    if (outcome.stoppedByUser)
        return std::nullopt;
    return outcome;
}

QString SendController::stoppedText(int sent, int notSent)
{
    return QStringLiteral("送信を中止しました。\r\n%1 件送信しました。%2 件は送信していません。").arg(sent).arg(notSent);
}

bool SendController::stopRequested() { return operation_ && operation_->keepWindowAlive(); }

void SendController::showProgress(int number, int count)
{
    form_.setWindowTitle(QStringLiteral("%1 - 送信中 %2/%3").arg(captionBeforeSend_).arg(number).arg(count));
    // Repaint between messages; timers run in the library's waits (OperationInProgress).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SendController::reportSendFailure(const QString& text)
{
    form_.services().messageBoxes.show({text, sendErrorTitle(), MessageBoxService::Buttons::Ok, MessageBoxService::Icon::None});
}

void SendController::reportHistoryFailure(const QString& text)
{
    form_.services().messageBoxes.show({text, sendErrorTitle(), MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Critical});
}

void SendController::reportUnconfirmed(const QString& text)
{
    form_.services().messageBoxes.show({text, sendErrorTitle(), MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
}
void SendController::reportRefusedRecipient(const QString& text)
{
    form_.services().messageBoxes.show({text, sendErrorTitle(), MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
}

void SendController::reportHistoryReplacement(const QString& text)
{
    form_.services().messageBoxes.notify(text, MessageBoxService::Icon::Information);
}
