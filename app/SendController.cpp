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
    const OperationInProgress operation(form_);
    captionBeforeSend_ = form_.windowTitle();
    PlainPasswordConsent passwordConsent = form_.plainPasswordConsent();
    MailSender sender(form_.services().mail, account(), &passwordConsent);
    SendRun run(SentHistory(form_.paths()), sender, [this] { return ClockText(form_.services().clock.localDateTime()); }, *this);
    const SendRun::Outcome outcome = run.run(recipients, boxes);
    form_.setWindowTitle(captionBeforeSend_);
    // Clicks and keys that arrived while the library blocked are dropped here, while input is
    // still held off, instead of landing on whatever screen the send leaves shown.
    QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
    return outcome;
}

void SendController::showProgress(int number, int count)
{
    form_.setWindowTitle(QStringLiteral("%1 - 送信中 %2/%3").arg(captionBeforeSend_).arg(number).arg(count));
    // Repaint without timers: a timer's nested wait (the animation's) would hold the send up.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers);
}

void SendController::reportSendFailure(const QString& text)
{
    form_.services().messageBoxes.show({text, sendErrorTitle(), MessageBoxService::Buttons::Ok, MessageBoxService::Icon::None});
}

void SendController::reportHistoryFailure(const QString& text)
{
    form_.services().messageBoxes.show({text, sendErrorTitle(), MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Critical});
}

void SendController::reportRefusedRecipient(const QString& text)
{
    form_.services().messageBoxes.show({text, sendErrorTitle(), MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
}

void SendController::reportHistoryReplacement(const QString& text)
{
    form_.services().messageBoxes.notify(text, MessageBoxService::Icon::Information);
}
