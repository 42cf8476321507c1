#pragma once

#include "AccountProfile.h"
#include "MessageBoxService.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

// The account dialog. Loading it reads the stored ID and password into its boxes; OK takes them
// as the account and stores them when "IDパスワードを保存する" is checked. The receive session
// reads the boxes of a loaded dialog, shown or not.
class IdPassForm : public QDialog {
    Q_OBJECT
public:
    struct Account {
        QString& id;
        QString& password;
    };

    IdPassForm(const AccountProfile& profile, Account account, MessageBoxService& messageBoxes, QWidget* parent = nullptr);

    QString idText() const;
    QString passText() const;

private:
    void confirm();

    const AccountProfile& profile_;
    Account account_;
    MessageBoxService& messageBoxes_;
    QLineEdit* id_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* save_ = nullptr;
};
