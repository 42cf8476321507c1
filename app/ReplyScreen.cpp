#include "ReplyScreen.h"

#include "ComposeScreen.h"
#include "Cp932Codec.h"
#include "MailScreen.h"
#include "MainForm.h"
#include "RecordLayouts.h"
#include "ReadingOrder.h"
#include "ScreenControls.h"
#include "SendController.h"
#include "TextHelpers.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace {

namespace Names = WidgetNames;
using ScreenControls::box;
using ScreenControls::button;
using ScreenControls::label;

// The sender comes from a received record's From field: a text that fills it, or an address whose
// "<" is never closed, was most likely cut there.
bool looksCut(const QString& recipient)
{
    const QString trimmed = TrimBlanks(recipient);
    const qsizetype open = trimmed.lastIndexOf(u'<');
    const bool unclosed = open >= 0 && trimmed.indexOf(u'>', open) < 0;
    const auto fieldWidth = static_cast<std::size_t>(RecordLayouts::Message[RecordLayouts::MessageField::From].width);
    return unclosed || Cp932Codec::encode(trimmed).size() >= fieldWidth;
}

} // namespace

QString ReplyScreen::cutRecipientQuestion(const QString& recipient)
{
    return QStringLiteral("宛先「%1」は受信したメールの差出人欄に収まらず、途中で切れている可能性があります。\r\n"
                          "宛先を直しますか？（「いいえ」を選ぶと、このまま送信します）")
        .arg(recipient);
}

ReplyScreen::ReplyScreen(MainForm& form, SendController& sender, ComposeScreen& compose, QWidget* parent)
    : QFrame(parent)
    , form_(form)
    , services_(form.services())
    , sender_(sender)
    , compose_(compose)
    , to_(box(Names::Text41, Twips::rect(960, 600, 6000, 330), this))
    , subject_(box(Names::Text40, Twips::rect(960, 990, 6000, 330), this))
    , attachments_(box(Names::Text26, Twips::rect(960, 1380, 4200, 330), this))
    , attach_(button(Names::Command32, QStringLiteral("添付"), Twips::rect(5280, 1357, 855, 375), this))
    , attachmentList_(new QListWidget(this))
    , body_(new QPlainTextEdit(this))
{
    setObjectName(Names::Frame8);
    // It takes the place of the tab strip as well, so it starts at the top.
    setGeometry(Twips::rect(0, 0, 11200, 8600));
    setAutoFillBackground(true);

    QPushButton* send = button(Names::Command34, QStringLiteral("送信"), Twips::rect(120, 120, 1095, 375), this);
    QPushButton* back = button(Names::Command33, QStringLiteral("戻る"), Twips::rect(1275, 120, 1095, 375), this);

    label(QStringLiteral("宛先"), Twips::rect(120, 645, 800, 255), this)->setBuddy(to_);
    to_->setAccessibleName(QStringLiteral("宛先"));
    label(QStringLiteral("題名"), Twips::rect(120, 1035, 800, 255), this)->setBuddy(subject_);
    subject_->setAccessibleName(QStringLiteral("題名"));
    label(QStringLiteral("添付File"), Twips::rect(120, 1425, 800, 255), this)->setBuddy(attachments_);
    attachments_->setAccessibleName(QStringLiteral("添付File"));
    QPushButton* add = button(Names::Command30, QStringLiteral("追加"), Twips::rect(6195, 1357, 735, 375), this);
    QPushButton* cancel = button(Names::Command31, QStringLiteral("取り消し"), Twips::rect(6990, 1357, 975, 375), this);

    body_->setObjectName(Names::Text42);
    body_->setGeometry(Twips::rect(120, 1800, 10900, 6600));
    body_->setAccessibleName(QStringLiteral("本文"));
    attachmentList_->setObjectName(Names::List6);
    attachmentList_->setGeometry(Twips::rect(960, 1770, 4200, 840));
    attachmentList_->setAccessibleName(QStringLiteral("添付ファイル一覧"));
    attachmentList_->raise();

    connect(send, &QPushButton::clicked, this, &ReplyScreen::SendReply);
    connect(back, &QPushButton::clicked, this, &ReplyScreen::GoBack);
    connect(attach_, &QPushButton::clicked, this, &ReplyScreen::AttachFile);
    connect(add, &QPushButton::clicked, this, &ReplyScreen::AddAttachment);
    connect(cancel, &QPushButton::clicked, this, &ReplyScreen::CancelAttachments);

    ReadingOrder::set(*this, {send, back, to_, subject_, attachments_, attach_, add, cancel, attachmentList_, body_});
}

void ReplyScreen::OpenReply()
{
    auto* mail = qobject_cast<MailScreen*>(form_.screenFrame(MainForm::Screen::Mail));
    if (mail->markerBox()->text().isEmpty()) {
        services_.messageBoxes.notify(MailScreen::nothingSelected());
        return;
    }
    if (LeadingNumber(mail->countBox()->text()) == 0) {
        services_.messageBoxes.notify(MailScreen::nothingToSelect());
        return;
    }
    form_.setMenusEnabled(false);
    form_.showScreen(MainForm::Screen::Reply);
    attachmentList_->hide();

    to_->setText(mail->senderBox()->text());
    // The prefix goes on even when the subject already has one.
    subject_->setText(replyPrefix() + mail->subjectBox()->text());
    services_.clipboard.clear();
    services_.clipboard.setText(mail->bodyBox()->toPlainText());
    body_->setPlainText(TrimBlanks(services_.clipboard.text()));
    mail->markerBox()->clear();
    // The reply is written next; the button that opened it is hidden, and the tab strip with it.
    body_->setFocus(Qt::OtherFocusReason);
}

void ReplyScreen::SendReply()
{
    if (form_.isOperationInProgress())
        return;
    if (looksCut(to_->text()) && services_.messageBoxes.confirm(cutRecipientQuestion(to_->text()))) {
        to_->setFocus();
        return;
    }
    const OutgoingMail boxes{to_->text(), subject_->text(), body_->toPlainText(), attachments_->text()};
    const std::optional<SendRun::Outcome> outcome = sender_.send({boxes.to}, boxes);
    if (!outcome)
        return;
    if (!outcome->allSent()) {
        form_.setStatusText(SendRun::notSentStatus(*outcome));
        to_->setFocus();
        return;
    }
    form_.setStatusText(ComposeScreen::sentStatus());
    compose_.EmptyAfterSend();
    // The attachments stay for the next reply; the menus wait for the next tab.
    form_.showScreen(MainForm::Screen::Main);
    form_.setStatusText(ComposeScreen::finishedStatus());
}

void ReplyScreen::GoBack()
{
    form_.setMenusEnabled(true);
    form_.showScreen(MainForm::Screen::Main);
    attach_->setEnabled(true);
}

void ReplyScreen::AttachFile()
{
    const std::optional<QString> chosen = ComposeScreen::chooseAttachment(services_);
    if (!chosen)
        return;
    attachments_->setText(*chosen);
    attachmentList_->addItem(*chosen);
    attach_->setEnabled(false);
    compose_.setAttachEnabled(false);
}

void ReplyScreen::AddAttachment()
{
    attachmentList_->show();
    attach_->setEnabled(false);
    if (attachments_->text().isEmpty())
        return;
    const std::optional<QString> chosen = ComposeScreen::chooseAttachment(services_);
    if (!chosen)
        return;
    attachments_->setText(attachments_->text() + u',' + *chosen);
    attachmentList_->addItem(*chosen);
}

void ReplyScreen::CancelAttachments()
{
    attachments_->clear();
    attachmentList_->clear();
    attachmentList_->hide();
    // The list is empty again, so its first file is chosen with "添付" once more.
    attach_->setEnabled(true);
    AttachFile();
}
