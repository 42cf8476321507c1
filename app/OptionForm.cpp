#include "OptionForm.h"

#include "ButtonEnterKey.h"
#include "ScreenControls.h"
#include "SettingsEntryCheck.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <utility>

namespace {

QLineEdit* labelledBox(QWidget* parent, const QString& caption, const QString& name, double top)
{
    auto* label = new QLabel(caption, parent);
    label->setGeometry(Twips::rect(120, top - 255, 2652, 240));
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(Twips::rect(120, top, 2652, 264));
    label->setBuddy(box);
    return box;
}

} // namespace

OptionForm::OptionForm(ServerSettings& settings, QString settingsFilePath, const AccountProfile& account, MessageBoxService& messageBoxes,
    QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), settings_(settings), settingsFilePath_(std::move(settingsFilePath)),
      account_(account), messageBoxes_(messageBoxes)
{
    setObjectName(WidgetNames::OptionForm);
    setWindowTitle(QStringLiteral("サーバー設定"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    // Below the buttons, the copy kept on the server, the SMTP login, then a line for each server
    // that may get the password without TLS.
    const double keepTop = 3000;
    const double smtpAccountTop = 3900;
    const double consentTop = 4920;
    const double consentLine = 300;
    const auto consents = static_cast<double>(settings_.PlainPasswordServers.size());
    setFixedSize(Twips::size(2910, 5010 + consents * consentLine));

    smtp_ = labelledBox(this, QStringLiteral("SMTPサーバー名(&S)"), WidgetNames::SmtpText, 360);
    pop3_ = labelledBox(this, QStringLiteral("POP3サーバー名(&P)"), WidgetNames::Pop3Text, 960);
    mail_ = labelledBox(this, QStringLiteral("メールアドレス(&M)"), WidgetNames::MailText, 1560);
    apop_ = new QCheckBox(QStringLiteral("APOP を使用する(&A)"), this);
    apop_->setObjectName(WidgetNames::ApopCheck);
    apop_->setGeometry(Twips::rect(660, 2040, 2172, 252));
    smtp_->setPlaceholderText(QStringLiteral("smtp.example.jp:587"));
    smtp_->setToolTip(QStringLiteral("「ホスト名」「ホスト名:ポート」「smtps://ホスト名」のどれかで入力します。\n"
                                     "ポート 465 は SSL（最初から暗号化）、587 と 25 は STARTTLS で暗号化します。ポートを省くと 587 です。"));
    pop3_->setPlaceholderText(QStringLiteral("pop.example.jp:995"));
    pop3_->setToolTip(QStringLiteral("「ホスト名」「ホスト名:ポート」「pop3s://ホスト名」のどれかで入力します。\n"
                                     "ポート 995 は SSL（最初から暗号化）、110 は STLS で暗号化します。ポートを省くと 110 です。"));

    // No default button: Enter in a box does not confirm the dialog; Enter on a button presses it.
    auto* ok = new QPushButton(QStringLiteral("設定"), this);
    ok->setObjectName(WidgetNames::OKCommand);
    ok->setGeometry(Twips::rect(660, 2520, 972, 372));
    ok->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("中止"), this);
    cancel->setObjectName(WidgetNames::CancelCommand);
    cancel->setGeometry(Twips::rect(1860, 2520, 912, 372));
    cancel->setAutoDefault(false);

    keepOnServer_ = new QCheckBox(QStringLiteral("受信したメールをサーバーに残す"), this);
    keepOnServer_->setObjectName(WidgetNames::KeepOnServerCheck);
    keepOnServer_->setToolTip(QStringLiteral("チェックしないと、受信したメールはサーバーから削除されます。"
                                             "スマートフォンなど他のプログラムでも同じメールを読むときはチェックしてください。"));
    keepOnServer_->setGeometry(Twips::rect(120, keepTop, 2652, 252));
    keepOnServer_->adjustSize();
    keepOnServerDays_ = new QSpinBox(this);
    keepOnServerDays_->setObjectName(WidgetNames::KeepOnServerDays);
    keepOnServerDays_->setRange(0, ServerSettings::MaxKeepOnServerDays);
    keepOnServerDays_->setGeometry(Twips::rect(360, keepTop + 300, 780, 288));
    auto* daysLabel = new QLabel(QStringLiteral("日後にサーバーから削除（0 = 削除しない）"), this);
    daysLabel->setBuddy(keepOnServerDays_);
    daysLabel->move(Twips::point(1200, keepTop + 330));
    daysLabel->adjustSize();
    keepOnServerDays_->setAccessibleName(QStringLiteral("日後にサーバーから削除（0 = 削除しない）"));
    connect(keepOnServer_, &QCheckBox::toggled, keepOnServerDays_, &QWidget::setEnabled);
    smtpId_ = labelledBox(this, QStringLiteral("SMTP 認証 ID(&I)"), WidgetNames::SmtpIdText, smtpAccountTop);
    smtpPassword_ = labelledBox(this, QStringLiteral("SMTP 認証パスワード(&W)"), WidgetNames::SmtpPassText, smtpAccountTop + 600);
    smtpPassword_->setEchoMode(QLineEdit::Password);
    const QString sameAsAccount = QStringLiteral("空のときは「ID/PASS」の ID とパスワードで送信します。");
    smtpId_->setToolTip(sameAsAccount);
    smtpPassword_->setToolTip(sameAsAccount);
    smtpId_->setText(account_.readSmtpId());
    smtpPassword_->setText(account_.readSmtpPassword());

    connect(ok, &QPushButton::clicked, this, &OptionForm::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    smtp_->setText(settings_.SmtpServer);
    pop3_->setText(settings_.Pop3Server);
    mail_->setText(settings_.MailAddress);
    apop_->setChecked(settings_.UseApop != 0);
    keepOnServer_->setChecked(settings_.KeepOnServerDays.has_value());
    keepOnServerDays_->setValue(settings_.KeepOnServerDays.value_or(0));
    keepOnServerDays_->setEnabled(keepOnServer_->isChecked());

    int widest = std::max({width(), daysLabel->x() + daysLabel->width() + keepOnServer_->x(),
        keepOnServer_->x() + keepOnServer_->width() + keepOnServer_->x()});
    for (const QString& server : std::as_const(settings_.PlainPasswordServers)) {
        auto* check = new QCheckBox(QStringLiteral("暗号化なしでパスワードを送る: %1").arg(server), this);
        check->setObjectName(WidgetNames::PlainPasswordCheck);
        check->setToolTip(QStringLiteral("このサーバーは TLS に対応していないため、パスワードを暗号化せずに送ることを許可しています。"
                                         "チェックを外して「設定」を押すと取り消せます。"));
        check->setChecked(true);
        const double top = consentTop + static_cast<double>(plainPasswordChecks_.size()) * consentLine;
        check->setGeometry(Twips::rect(120, top, 2652, 252));
        check->adjustSize();
        widest = std::max(widest, check->x() + check->width() + check->x());
        plainPasswordChecks_.append({server, check});
    }
    setFixedWidth(widest);
    ScreenControls::makeRoomForTitle(*this);
    ButtonEnterKey::install(*this);
}

void OptionForm::confirm()
{
    using Protocol = ServerAddress::Protocol;
    const std::pair<QString, QLineEdit*> checks[] = {
        {SettingsEntryCheck::serverName(smtp_->text(), Protocol::Smtp), smtp_},
        {SettingsEntryCheck::serverName(pop3_->text(), Protocol::Pop3), pop3_},
        {SettingsEntryCheck::mailAddress(mail_->text()), mail_},
        {SettingsEntryCheck::smtpId(smtpId_->text()), smtpId_},
        {SettingsEntryCheck::smtpPassword(smtpPassword_->text()), smtpPassword_},
    };
    for (const auto& [problem, box] : checks) {
        if (!problem.isEmpty()) {
            messageBoxes_.notify(problem, MessageBoxService::Icon::Exclamation);
            box->setFocus();
            return;
        }
    }
    settings_.SmtpServer = smtp_->text();
    settings_.Pop3Server = pop3_->text();
    settings_.MailAddress = mail_->text();
    settings_.UseApop = apop_->isChecked() ? 1 : 0;
    settings_.KeepOnServerDays = keepOnServer_->isChecked() ? std::optional<int>(keepOnServerDays_->value()) : std::nullopt;
    // A consent given while the dialog was open stays; only a cleared box takes one back.
    for (const auto& [server, check] : std::as_const(plainPasswordChecks_)) {
        if (!check->isChecked())
            settings_.PlainPasswordServers.removeAll(server);
    }
    StoreStatus status = settings_.write(settingsFilePath_);
    if (status.ok() && (smtpId_->text() != account_.readSmtpId() || smtpPassword_->text() != account_.readSmtpPassword()))
        status = account_.saveSmtpAccount(smtpId_->text(), smtpPassword_->text());
    if (!status.ok())
        messageBoxes_.notify(QStringLiteral("サーバー設定を保存できませんでした。\r\n") + status.error(), MessageBoxService::Icon::Exclamation);
    accept();
}
