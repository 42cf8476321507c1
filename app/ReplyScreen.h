#pragma once

#include <QFrame>
#include <QString>

class ComposeScreen;
class MainForm;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class SendController;
struct Services;

// The reply screen (Frame8): an answer to the selected message, with its own attachments and
// "送信". While it is shown the tab strip is hidden and the three menus are disabled, so it is
// left only by "送信" or "戻る".
class ReplyScreen : public QFrame {
    Q_OBJECT
public:
    ReplyScreen(MainForm& form, SendController& sender, ComposeScreen& compose, QWidget* parent = nullptr);

    // "返事" on the mail screen.
    void OpenReply();
    // "送信"
    void SendReply();
    // "戻る"
    void GoBack();
    // "添付", "追加", "取り消し"
    void AttachFile();
    void AddAttachment();
    void CancelAttachments();

    static QString replyPrefix() { return QStringLiteral("Re: "); }
    // Asked before a reply goes to an address that was probably cut when it was received.
    static QString cutRecipientQuestion(const QString& recipient);

private:
    MainForm& form_;
    Services& services_;
    SendController& sender_;
    ComposeScreen& compose_;
    QLineEdit* to_;
    QLineEdit* subject_;
    QLineEdit* attachments_;
    QPushButton* attach_;
    QListWidget* attachmentList_;
    QPlainTextEdit* body_;
};
