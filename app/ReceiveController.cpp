#include "ReceiveController.h"

#include "IdPassForm.h"
#include "MainForm.h"
#include "SpamKeywordList.h"
#include "TextHelpers.h"
#include "WidgetNames.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTextEdit>

namespace Names = WidgetNames;

ReceiveController::ReceiveController(MainForm& form) : QObject(&form), form_(form)
{
    connect(&form_, &MainForm::receiveRequested, this, &ReceiveController::ReceiveMail);
}

void ReceiveController::ReceiveMail()
{
    if (running_)
        return;
    running_ = true;
    captionBeforeSession_ = form_.windowTitle();

    const ReceiveAccount account = takeAccount();
    const SpamKeywordList keywords(form_.paths());
    Services& services = form_.services();
    // A keyword file that cannot be read condemns nothing: the message is kept rather than lost.
    auto isSpam = [&keywords](const QString& subject, const QString& sender, const QString& body) {
        const auto hit = keywords.IsSpam(subject, sender, body);
        return hit.ok() && hit.value().has_value();
    };
    ReceiveSession session(form_.paths(), services.mail, services.messageBoxes, isSpam, form_.sortingAddresses(), *this);
    const ReceiveSession::Outcome outcome = session.run(account);

    form_.setWindowTitle(captionBeforeSession_);
    setStatus(FinalStatusText(outcome.spamCount, newCounterSum()));
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
    return {form_.Settings.Pop3Server, form_.Settings.UseApop, form_.AccountId, form_.AccountPassword};
}

void ReceiveController::setStatus(const QString& text) { form_.setStatusText(text); }

void ReceiveController::showProgress(int messageNumber, int messageCount)
{
    form_.setWindowTitle(QStringLiteral("%1 - 受信中 %2/%3").arg(captionBeforeSession_).arg(messageNumber).arg(messageCount));
    // Repaint between messages, but take no clicks: the session owns the window until it ends.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ReceiveController::showMessage(const MessageFields& fields)
{
    form_.findChild<QLineEdit*>(Names::Text7)->setText(fields.subject);
    form_.findChild<QLineEdit*>(Names::Text8)->setText(fields.from);
    form_.findChild<QLineEdit*>(Names::Text9)->setText(fields.date);
    form_.findChild<QTextEdit*>(Names::rtfEd)->setPlainText(fields.body);
}

void ReceiveController::raiseNewCounter(int folder)
{
    form_.setNewCounter(folder, QString::number(LeadingNumber(form_.newCounter(folder)) + 1));
}

int ReceiveController::newCounterSum() const
{
    double sum = 0;
    for (int folder = 1; folder <= MainForm::FolderCount; ++folder)
        sum += LeadingNumber(form_.newCounter(folder));
    return static_cast<int>(sum);
}
