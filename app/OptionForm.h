#pragma once

#include "AccountProfile.h"
#include "MessageBoxService.h"
#include "ServerSettings.h"

#include <QDialog>
#include <QList>

#include <utility>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// The server dialog, kept above every other window. Loading it shows the settings in memory; OK
// takes the boxes as typed and rewrites vbmail.ini with them. Below the buttons, an SMTP login of
// its own for providers that give one, kept in iniIdPass.ini beside the POP3 account.
class OptionForm : public QDialog {
    Q_OBJECT
public:
    OptionForm(ServerSettings& settings, QString settingsFilePath, const AccountProfile& account, MessageBoxService& messageBoxes,
        QWidget* parent = nullptr);

private:
    void confirm();

    ServerSettings& settings_;
    QString settingsFilePath_;
    const AccountProfile& account_;
    MessageBoxService& messageBoxes_;
    QLineEdit* smtp_ = nullptr;
    QLineEdit* pop3_ = nullptr;
    QLineEdit* mail_ = nullptr;
    QCheckBox* apop_ = nullptr;
    QCheckBox* keepOnServer_ = nullptr;
    QSpinBox* keepOnServerDays_ = nullptr;
    QLineEdit* smtpId_ = nullptr;
    QLineEdit* smtpPassword_ = nullptr;
    // One per consent to send a password without TLS that was remembered when the dialog opened.
    QList<std::pair<QString, QCheckBox*>> plainPasswordChecks_;
};
