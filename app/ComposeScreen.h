#pragma once

#include "AddressBook.h"

#include <QColor>
#include <QFrame>
#include <QString>

#include <optional>

class MainForm;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class SendController;
struct Services;

// The compose screen (Frame3): recipient, subject, opening lines, attachments and body, the
// address book's names to pick a recipient from, bulk send, and "送信".
class ComposeScreen : public QFrame {
    Q_OBJECT
public:
    ComposeScreen(MainForm& form, SendController& sender, QWidget* parent = nullptr);

    // Fills List5, RowRecordMap and the count Text12 from the address book; run when the tab is opened.
    void LoadNameList();
    // A click on List5: the entry's address into ToText.
    void PickRecipient();
    // "送信"
    void SendComposed();
    // "添付File", "追加", "取り消し"
    void AttachFile();
    void AddAttachment();
    void CancelAttachments();
    // "本文貼付", "宛先貼付", "クリア"
    void PasteIntoBody();
    void PasteRecipient();
    void ClearScreen();
    // The opening-line list lost the focus after a line was chosen or typed: its text replaces the body.
    void TakeOpeningLine();

    // After a send that reached every recipient, also one from the reply screen: the four boxes
    // empty and bulk send off, with no option selected and the list's colour left as it is.
    void EmptyAfterSend();
    // "添付File" can be used again, or not.
    void setAttachEnabled(bool enabled);

    bool bulkSendOn() const;
    static QColor bulkColour();
    static QColor normalColour();

    static QString sending() { return QStringLiteral("メールを送信中です。しばらくお待ち下さい。"); }
    static QString sentStatus() { return QStringLiteral("送信完了です。"); }
    static QString finishedStatus() { return QStringLiteral("送信を完了しました。"); }
    static QString nothingSelected() { return QStringLiteral("データが選択されていません"); }
    // Bulk send on with an address book that holds no entry.
    static QString noBulkRecipients()
    {
        return QStringLiteral("アドレス帳に宛先が登録されていないため、一括送信できません。\r\nメールは送信していません。");
    }
    // Asks for a file to attach; std::nullopt when cancelled or refused after a message.
    static std::optional<QString> chooseAttachment(Services& services);
    static QString commaRefused(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setBulkSend(bool on);
    void colourNameList(const QColor& colour);

    MainForm& form_;
    Services& services_;
    SendController& sender_;
    AddressBook book_;
    QLineEdit* to_;
    QLineEdit* subject_;
    QComboBox* openingLines_;
    QPushButton* attach_;
    QLineEdit* attachments_;
    QListWidget* attachmentList_;
    QPlainTextEdit* body_;
    QListWidget* names_;
    QLineEdit* count_;
    QRadioButton* bulkOn_;
    QRadioButton* bulkOff_;
    bool openingLineChosen_ = false;
};
