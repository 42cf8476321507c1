#include "IdPassForm.h"

#include "ButtonEnterKey.h"
#include "ScreenControls.h"
#include "SettingsEntryCheck.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

IdPassForm::IdPassForm(const AccountProfile& profile, Account account, MessageBoxService& messageBoxes, QWidget* parent)
    : QDialog(parent), profile_(profile), account_(account), messageBoxes_(messageBoxes)
{
    setObjectName(WidgetNames::IdPassForm);
    setWindowTitle(QStringLiteral("ID/PASS"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(Twips::size(2820, 1860));

    auto* idLabel = new QLabel(QStringLiteral("ID"), this);
    idLabel->setGeometry(Twips::rect(120, 120, 780, 264));
    id_ = new QLineEdit(this);
    id_->setObjectName(WidgetNames::IdText);
    id_->setGeometry(Twips::rect(960, 120, 1632, 264));
    idLabel->setBuddy(id_);

    auto* passwordLabel = new QLabel(QStringLiteral("Password"), this);
    passwordLabel->setGeometry(Twips::rect(120, 600, 780, 264));
    password_ = new QLineEdit(this);
    password_->setObjectName(WidgetNames::PassText);
    password_->setGeometry(Twips::rect(960, 600, 1632, 264));
    password_->setEchoMode(QLineEdit::Password);
    password_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    passwordLabel->setBuddy(password_);

    save_ = new QCheckBox(QStringLiteral("IDパスワードを保存する"), this);
    save_->setObjectName(WidgetNames::Check1);
    save_->setGeometry(Twips::rect(420, 1020, 2340, 264));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(WidgetNames::OKCommand);
    ok->setGeometry(Twips::rect(900, 1380, 852, 312));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(WidgetNames::CancelCommand);
    cancel->setGeometry(Twips::rect(1860, 1380, 852, 312));
    cancel->setAutoDefault(false);

    connect(ok, &QPushButton::clicked, this, &IdPassForm::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    ButtonEnterKey::install(*this);
    ScreenControls::makeRoomForTitle(*this);

    id_->setText(profile_.readId());
    password_->setText(profile_.readPassword());
}

QString IdPassForm::idText() const { return id_->text(); }

QString IdPassForm::passText() const { return password_->text(); }

void IdPassForm::confirm()
{
    const std::pair<QString, QLineEdit*> checks[] = {
        {SettingsEntryCheck::accountId(id_->text()), id_},
        {SettingsEntryCheck::accountPassword(password_->text()), password_},
    };
    for (const auto& [problem, box] : checks) {
        if (!problem.isEmpty()) {
            messageBoxes_.notify(problem, MessageBoxService::Icon::Exclamation);
            box->setFocus();
            return;
        }
    }
    account_.id = id_->text();
    account_.password = password_->text();
    const StoreStatus status = save_->isChecked() ? profile_.saveAccount(account_.id, account_.password) : profile_.markNotSaved();
    if (!status.ok())
        messageBoxes_.notify(QStringLiteral("ID/PASS を保存できませんでした。\r\n") + status.error(), MessageBoxService::Icon::Exclamation);
    accept();
}
