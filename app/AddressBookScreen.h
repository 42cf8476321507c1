#pragma once

#include "AddressBook.h"

#include <QFrame>

class MainForm;
class QLineEdit;
class QListWidget;
class QPushButton;
struct Services;

// The address book screen (Frame2): the entries in List3 with their count, the address and name
// boxes, and the buttons that register, delete, paste and put a display name before the address.
class AddressBookScreen : public QFrame {
    Q_OBJECT
public:
    explicit AddressBookScreen(MainForm& form, QWidget* parent = nullptr);

    // Fills List3, RowRecordMap and the count from the file; run when the tab is opened.
    void LoadAddressList();
    // A click on List3: the entry of the selected row into the two boxes.
    void SelectAddressRow();
    // "登録"
    void RegisterAddress();
    // "削除"
    void DeleteAddress();
    // "名刺挿入"
    void InsertCardName();
    // "貼付"
    void PasteAddress();
    // "アドレス帳登録" on the mail screen: the selected message's sender into the address box.
    void AddSenderToAddressBook();

    QLineEdit* addressBox() const { return address_; } // Text11

    static QString nothingSelected() { return QStringLiteral("データが選択されていません"); }
    static QString nothingToSelect() { return QStringLiteral("選択するデータがありません。"); }
    static QString deleteQuestion() { return QStringLiteral("選択された（行、青色）データを削除します。よろしいですか"); }
    static QString addressMissing() { return QStringLiteral("メールアドレスが入力されていません。"); }
    // The message for characters that the file's code page cannot hold, or empty when all fit.
    static QString unencodableMessage(const QString& boxLabel, const QString& text);
    // One row of List3: the address, padded to addressColumn characters so that the names line up
    // in one column after the longest address of the list, two spaces, the name field as read. The
    // field's own padding to 90 characters would push every name out of sight.
    static QString rowText(const AddressEntry& entry, qsizetype addressColumn);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int selectedRow() const;
    bool refuseUnencodable(const QString& boxLabel, const QString& text);
    void report(const StoreStatus& failure);

    MainForm& form_;
    Services& services_;
    AddressBook book_;
    QLineEdit* address_;
    QLineEdit* name_;
    QLineEdit* count_;
    QLineEdit* cardName_;
    QListWidget* list_;
};
