#include "ReceiveController.h"

#include "IdPassForm.h"
#include "MainForm.h"
#include "OperationInProgress.h"
#include "SpamKeywordList.h"
#include "TextHelpers.h"
#include "WidgetNames.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTextEdit>

#include <algorithm>

namespace Names = WidgetNames;

ReceiveController::ReceiveController(MainForm& form) : QObject(&form), form_(form)
{
    connect(&form_, &MainForm::receiveRequested, this, &ReceiveController::ReceiveMail);
}

void ReceiveController::ReceiveMail()
{
    if (running_ || form_.isOperationInProgress())
        return;
    const ReceiveAccount account = takeAccount();
    if (offerMissingSetting(account))
        return;
    running_ = true;
    captionBeforeSession_ = form_.windowTitle();

    Services& services = form_.services();
    ReceiveSession::Outcome outcome;
    {
        // From the login to the QUIT nothing else may run; the final status lets the user act again.
        const OperationInProgress operation(form_, receivingStatus());
        sessionKeywords_.reset();
        ReceiveSession session(
            form_.paths(), services.mail, services.messageBoxes,
            [this](const QString& subject, const QString& sender, const QString& body) { return IsSpam(subject, sender, body); },
            form_.sortingAddresses(), *this);
        PlainPasswordConsent passwordConsent = form_.plainPasswordConsent();
        session.setPasswordConsent(passwordConsent);
        outcome = session.run(account);
    }

    form_.setWindowTitle(captionBeforeSession_);
    setStatus(outcome.stopped ? stoppedStatus()
                              : FinalStatusText(outcome.spamCount, newCounterSum(), outcome.failed && outcome.storedCount == 0));
    services.waitMilliseconds(FinalStatusMilliseconds);
    setStatus(QString());
    running_ = false;
}

ReceiveAccount ReceiveController::takeAccount()
{
    IdPassForm& dialog = form_.idPassForm();
    form_.AccountId = dialog.idText();
    form_.AccountPassword = dialog.passText();
    const StoreStatus saved = AccountProfile(form_.paths()).saveAccount(form_.AccountId, form_.AccountPassword);
    if (!saved.ok())
        form_.services().messageBoxes.notify(QStringLiteral("ID とパスワードを保存できませんでした。\r\n%1").arg(saved.error()),
            MessageBoxService::Icon::Exclamation);
    return {form_.Settings.Pop3Server, form_.Settings.UseApop, form_.AccountId, form_.AccountPassword,
        form_.Settings.KeepOnServerDays};
}

QString ReceiveController::missingSettingQuestion(MissingSetting missing)
{
    switch (missing) {
    case MissingSetting::Pop3Server:
        return QStringLiteral("POP3 サーバー名が設定されていないため、受信できません。\r\nサーバー設定を開きますか？");
    case MissingSetting::AccountId:
        return QStringLiteral("ID が設定されていないため、受信できません。\r\nID とパスワードの設定を開きますか？");
    case MissingSetting::AccountPassword:
        return QStringLiteral("パスワードが設定されていないため、受信できません。\r\nID とパスワードの設定を開きますか？");
    }
    return {};
}

bool ReceiveController::offerMissingSetting(const ReceiveAccount& account)
{
    // Without these the server cannot be asked at all: an empty mailbox must not be reported for it.
    MissingSetting missing;
    if (account.Pop3Server.isEmpty())
        missing = MissingSetting::Pop3Server;
    else if (account.AccountId.isEmpty())
        missing = MissingSetting::AccountId;
    else if (account.AccountPassword.isEmpty())
        missing = MissingSetting::AccountPassword;
    else
        return false;
    if (form_.services().messageBoxes.confirm(missingSettingQuestion(missing))) {
        if (missing == MissingSetting::Pop3Server)
            form_.openServerDialog();
        else
            form_.openAccountDialog();
    }
    return true;
}

void ReceiveController::setStatus(const QString& text) { form_.setStatusText(text); }

void ReceiveController::showProgress(int messageNumber, int messageCount)
{
    form_.setWindowTitle(QStringLiteral("%1 - 受信中 %2/%3").arg(captionBeforeSession_).arg(messageNumber).arg(messageCount));
    // Repaint between messages. Clicks and keys meanwhile are dropped, and Esc or a close request
    // asks whether to stop at the next network wait (OperationInProgress).
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ReceiveController::showMessage(const MessageFields& fields)
{
    form_.findChild<QLineEdit*>(Names::Text7)->setText(fields.subject);
    form_.findChild<QLineEdit*>(Names::Text8)->setText(fields.from);
    form_.findChild<QLineEdit*>(Names::Text9)->setText(fields.date);
    form_.findChild<QTextEdit*>(Names::rtfEd)->setPlainText(fields.body);
}

void ReceiveController::showForSpamTest(const QString& subject, const QString& sender, const QString& body)
{
    form_.findChild<QLineEdit*>(Names::Text7)->setText(subject);
    form_.findChild<QLineEdit*>(Names::Text9)->setText(sender);
    form_.findChild<QTextEdit*>(Names::rtfEd)->setPlainText(body);
}

bool ReceiveController::IsSpam(const QString& subject, const QString& sender, const QString& body)
{
    // Read once a session: input is blocked while it runs, so the list cannot change meanwhile.
    if (!sessionKeywords_) {
        auto read = SpamKeywordList(form_.paths()).ReadMatcher();
        // A keyword file that cannot be read condemns nothing: the message is kept rather than
        // lost, and the next message tries the file again.
        if (!read.ok())
            return false;
        sessionKeywords_ = std::move(read.value());
    }
    const std::optional<SpamHit> hit = sessionKeywords_->firstHit(subject, sender, body);
    if (!hit)
        return false;
    // The keyword found is selected where the message was put for the test.
    const SpamHit& found = *hit;
    if (found.field != SpamHit::Field::Body) {
        auto* field = form_.findChild<QLineEdit*>(found.field == SpamHit::Field::Subject ? Names::Text7 : Names::Text9);
        field->setSelection(static_cast<int>(found.position), static_cast<int>(found.length));
    }
    return true;
}

void ReceiveController::raiseNewCounter(int folder)
{
    // Called once the message is stored.
    emit form_.storeChanged();
    form_.setNewCounter(folder, QString::number(LeadingNumber(form_.newCounter(folder)) + 1));
}

void ReceiveController::lowerNewCounter(int folder)
{
    form_.setNewCounter(folder, QString::number(std::max(0.0, LeadingNumber(form_.newCounter(folder)) - 1)));
}

int ReceiveController::newCounterSum() const
{
    double sum = 0;
    for (int folder = 1; folder <= MainForm::FolderCount; ++folder)
        sum += LeadingNumber(form_.newCounter(folder));
    return static_cast<int>(sum);
}
