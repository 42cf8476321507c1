#include "QtTestSuites.h"
#include "AtomicFile.h"
#include "BoxKeyAnswerer.h"
#include "IdPassForm.h"
#include "NMailApi.h"
#include "MainFormHarness.h"
#include "OptionForm.h"
#include "QtMessageBoxService.h"
#include "ScreenControls.h"
#include "SetForm.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTest>

namespace Names = WidgetNames;

namespace {

const QString AccountFile = QStringLiteral("★MailData/iniIdPass.ini");

template <typename Widget>
Widget* control(QWidget* window, const QString& name)
{
    return window ? window->findChild<Widget*>(name) : nullptr;
}

void click(QWidget* window, const QString& button) { QTest::mouseClick(control<QPushButton>(window, button), Qt::LeftButton); }

// Opens one of the three settings windows as the program does and makes it the active window.
QWidget* openActive(MainFormHarness& harness, const QString& name)
{
    if (name == Names::SetForm)
        harness.clickTab(6);
    else if (name == Names::IdPassForm)
        harness.form().openAccountDialog();
    else
        harness.form().openServerDialog();
    QWidget* window = MainFormHarness::window(name);
    if (!window)
        return nullptr;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window) ? window : nullptr;
}

// Puts the focus on a control and presses Enter, both as keys from the window system.
void focusAndPressEnter(QWidget* window, const QString& control)
{
    window->findChild<QWidget*>(control)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
}

} // namespace

class SettingsWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void theWindowsCarryTheirCaptionsControlsAndSizes()
    {
        TestProgramFolder folder;
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        MainForm& form = harness.form();

        SetForm& chooser = form.setForm();
        QCOMPARE(chooser.windowTitle(), QStringLiteral("ID.PASS.サーバー設定"));
        QCOMPARE(control<QPushButton>(&chooser, Names::SetFormAccount)->text(), QStringLiteral("ID/PASS"));
        QCOMPARE(control<QPushButton>(&chooser, Names::SetFormServers)->text(), QStringLiteral("POPサーバー"));
        QCOMPARE(control<QPushButton>(&chooser, Names::SetFormServers)->size(), QSize(97, 25));
        // Widened for its title, the chooser keeps its buttons in the middle.
        const int leftMargin = control<QPushButton>(&chooser, Names::SetFormAccount)->x();
        const int rightMargin = chooser.width() - control<QPushButton>(&chooser, Names::SetFormServers)->geometry().right() - 1;
        QVERIFY(std::abs(leftMargin - rightMargin) <= 1);

        IdPassForm& account = form.idPassForm();
        QCOMPARE(account.windowTitle(), QStringLiteral("ID/PASS"));
        QCOMPARE(account.height(), 124);
        QVERIFY(account.width() >= 188);
        auto* password = control<QLineEdit>(&account, Names::PassText);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password), int(u'*'));
        QVERIFY(control<QPushButton>(&account, Names::OKCommand)->isDefault());
        QCOMPARE(control<QCheckBox>(&account, Names::Check1)->text(), QStringLiteral("IDパスワードを保存する"));

        OptionForm& servers = form.optionForm();
        QCOMPARE(servers.windowTitle(), QStringLiteral("サーバー設定"));
        // The Part's 2910 × 3090 twips, and below the buttons the copy kept on the server and the SMTP login.
        QCOMPARE(servers.height(), 334);
        QVERIFY(servers.width() >= 194);
        QCOMPARE(control<QCheckBox>(&servers, Names::KeepOnServerCheck)->text(), QStringLiteral("受信したメールをサーバーに残す"));
        QCOMPARE(control<QSpinBox>(&servers, Names::KeepOnServerDays)->accessibleName(), QStringLiteral("日後にサーバーから削除（0 = 削除しない）"));
        QCOMPARE(control<QLineEdit>(&servers, Names::SmtpPassText)->echoMode(), QLineEdit::Password);
        QVERIFY(!control<QLineEdit>(&servers, Names::SmtpText)->placeholderText().isEmpty());
        QVERIFY(control<QLineEdit>(&servers, Names::Pop3Text)->toolTip().contains(QStringLiteral("995")));
        QVERIFY(servers.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(control<QPushButton>(&servers, Names::OKCommand)->text(), QStringLiteral("設定"));
        QCOMPARE(control<QPushButton>(&servers, Names::CancelCommand)->text(), QStringLiteral("中止"));
        QCOMPARE(control<QCheckBox>(&servers, Names::ApopCheck)->text(), QStringLiteral("APOP を使用する(&A)"));
        for (QWidget* window : {static_cast<QWidget*>(&chooser), static_cast<QWidget*>(&account), static_cast<QWidget*>(&servers)}) {
            QVERIFY(!window->isModal());
            // Room for the whole title beside the title bar's icon and buttons.
            QVERIFY2(window->width() >= QFontMetrics(QApplication::font()).horizontalAdvance(window->windowTitle()) + ScreenControls::TitleBarControlsWidth,
                qPrintable(window->windowTitle()));
        }
    }

    void theServerDialogsControlsLieApartWithinIt()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\nPLAINPASS=pop.example\r\nPLAINPASS=other.example\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        OptionForm& servers = harness.form().optionForm();
        const QList<QWidget*> controls = servers.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (qsizetype first = 0; first < controls.size(); ++first) {
            QVERIFY2(servers.rect().contains(controls[first]->geometry()), qPrintable(controls[first]->objectName()));
            for (qsizetype second = first + 1; second < controls.size(); ++second) {
                QVERIFY2(!controls[first]->geometry().intersects(controls[second]->geometry()),
                    qPrintable(controls[first]->objectName() + u' ' + controls[second]->objectName()));
            }
        }
    }

    void serverSettingsConfirmedAreWrittenAndShownAgainAfterARestart()
    {
        TestProgramFolder folder;
        {
            MainFormHarness harness(folder);
            QVERIFY(harness.start());
            QWidget* dialog = MainFormHarness::window(Names::OptionForm);
            QVERIFY(dialog);
            control<QLineEdit>(dialog, Names::SmtpText)->setText(QStringLiteral("smtp.example"));
            QTest::keyClicks(control<QLineEdit>(dialog, Names::Pop3Text), QStringLiteral(" pop.example"));
            control<QLineEdit>(dialog, Names::MailText)->setText(QStringLiteral("太郎@example.jp"));
            control<QCheckBox>(dialog, Names::ApopCheck)->setChecked(true);
            QPointer<QWidget> watched(dialog);
            click(dialog, Names::OKCommand);
            QTRY_VERIFY(watched.isNull());
            QCOMPARE(harness.form().Settings.Pop3Server, QStringLiteral(" pop.example"));
            QCOMPARE(harness.form().Settings.UseApop, 1);
            QCOMPARE(folder.contents(QStringLiteral("vbmail.ini")),
                QByteArray("SMTP=smtp.example\r\nPOP3= pop.example\r\nMAIL=\x91\xbe\x98\x59@example.jp\r\nAPOP=1\r\n"));
        }
        MainFormHarness restarted(folder);
        QVERIFY(restarted.start());
        QVERIFY(!MainFormHarness::window(Names::OptionForm));
        restarted.clickTab(6);
        click(MainFormHarness::window(Names::SetForm), Names::SetFormServers);
        QWidget* dialog = MainFormHarness::window(Names::OptionForm);
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(control<QLineEdit>(dialog, Names::SmtpText)->text(), QStringLiteral("smtp.example"));
        QCOMPARE(control<QLineEdit>(dialog, Names::Pop3Text)->text(), QStringLiteral(" pop.example"));
        QCOMPARE(control<QLineEdit>(dialog, Names::MailText)->text(), QStringLiteral("太郎@example.jp"));
        QVERIFY(control<QCheckBox>(dialog, Names::ApopCheck)->isChecked());
    }

    // By keys alone, as a person does: Tab to the check box, Space, Tab to the days, type, then the
    // OK button; the dialog shows the option again when it is opened next, and clearing it drops the line.
    void keepingMailOnTheServerIsSwitchedOnByKeysAndKeptAsALineOfItsOwn()
    {
        TestProgramFolder folder;
        folder.putServerSettings("SMTP=smtp.example\r\nPOP3=pop.example\r\nMAIL=a@example.jp\r\nAPOP=0\r\nPLAINPASS=pop.example\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.form().openServerDialog();
        QWidget* dialog = MainFormHarness::window(Names::OptionForm);
        QVERIFY(dialog);
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        auto* keep = control<QCheckBox>(dialog, Names::KeepOnServerCheck);
        auto* days = control<QSpinBox>(dialog, Names::KeepOnServerDays);
        QVERIFY(!keep->isChecked());
        QVERIFY(!days->isEnabled());
        control<QCheckBox>(dialog, Names::ApopCheck)->setFocus();
        QTRY_VERIFY(control<QCheckBox>(dialog, Names::ApopCheck)->hasFocus());
        for (int step = 0; step < 10 && !keep->hasFocus(); ++step)
            QTest::keyClick(dialog->windowHandle(), Qt::Key_Tab);
        QVERIFY(keep->hasFocus());
        QTest::keyClick(dialog->windowHandle(), Qt::Key_Space);
        QVERIFY(keep->isChecked());
        QVERIFY(days->isEnabled());
        QTest::keyClick(dialog->windowHandle(), Qt::Key_Tab);
        QVERIFY(days->hasFocus());
        QTest::keyClick(dialog->windowHandle(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(dialog->windowHandle(), '1');
        QTest::keyClick(dialog->windowHandle(), '4');
        QCOMPARE(days->value(), 14);
        QPointer<QWidget> watched(dialog);
        click(dialog, Names::OKCommand);
        QTRY_VERIFY(watched.isNull());
        QCOMPARE(harness.form().Settings.KeepOnServerDays, std::optional<int>(14));
        QCOMPARE(folder.contents(QStringLiteral("vbmail.ini")),
            QByteArray("SMTP=smtp.example\r\nPOP3=pop.example\r\nMAIL=a@example.jp\r\nAPOP=0\r\nPLAINPASS=pop.example\r\nKEEPONSERVER=14\r\n"));

        harness.form().openServerDialog();
        dialog = MainFormHarness::window(Names::OptionForm);
        QVERIFY(control<QCheckBox>(dialog, Names::KeepOnServerCheck)->isChecked());
        QCOMPARE(control<QSpinBox>(dialog, Names::KeepOnServerDays)->value(), 14);
        control<QCheckBox>(dialog, Names::KeepOnServerCheck)->setChecked(false);
        watched = dialog;
        click(dialog, Names::OKCommand);
        QTRY_VERIFY(watched.isNull());
        QCOMPARE(harness.form().Settings.KeepOnServerDays, std::nullopt);
        QVERIFY(!folder.contents(QStringLiteral("vbmail.ini")).contains("KEEPONSERVER"));
    }

    void anSmtpLoginOfItsOwnIsKeptBesideTheAccountAndUsedForSending()
    {
        TestProgramFolder folder;
        folder.putServerSettings("SMTP=smtp.example.jp\r\nPOP3=pop.example\r\nMAIL=me@example.jp\r\n");
        folder.put(AccountFile, "[EXEINI]\r\nNAME=pop-user\r\nNAME2=pop-secret\r\nNAME3=1\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        const auto sendOne = [&] {
            harness.clickTab(2);
            harness.find<QLineEdit>(Names::ToText)->setText(QStringLiteral("to@example.jp"));
            QTest::mouseClick(harness.find<QPushButton>(Names::Command14), Qt::LeftButton);
            return std::pair{harness.mail.textOptions.value(NMailApi::OptionSmtpUser), harness.mail.textOptions.value(NMailApi::OptionSmtpPassword)};
        };
        const auto typeSmtpLogin = [&](const QString& id, const QString& password) {
            harness.clickTab(6);
            click(MainFormHarness::window(Names::SetForm), Names::SetFormServers);
            QWidget* dialog = MainFormHarness::window(Names::OptionForm);
            QVERIFY(dialog);
            control<QLineEdit>(dialog, Names::SmtpIdText)->setText(id);
            control<QLineEdit>(dialog, Names::SmtpPassText)->setText(password);
            QPointer<QWidget> watched(dialog);
            click(dialog, Names::OKCommand);
            QTRY_VERIFY(watched.isNull());
        };

        QCOMPARE(sendOne(), std::pair(QStringLiteral("pop-user"), QStringLiteral("pop-secret")));
        typeSmtpLogin(QStringLiteral("smtp-user"), QStringLiteral("smtp-secret"));
        QCOMPARE(folder.contents(AccountFile),
            QByteArray("[EXEINI]\r\nNAME=pop-user\r\nNAME2=pop-secret\r\nNAME3=1\r\nSMTPID=smtp-user\r\nSMTPPASS=smtp-secret\r\n"));
        QCOMPARE(QFile::permissions(folder.path(AccountFile)) & 0x0077, QFileDevice::Permissions());
        QCOMPARE(sendOne(), std::pair(QStringLiteral("smtp-user"), QStringLiteral("smtp-secret")));
        typeSmtpLogin(QString(), QString());
        QCOMPARE(sendOne(), std::pair(QStringLiteral("pop-user"), QStringLiteral("pop-secret")));
    }

    void theServerDialogShowsAPasswordAllowedWithoutTlsAndClearingItTakesItBack_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("kept") << true;
        QTest::newRow("taken back") << false;
    }
    void theServerDialogShowsAPasswordAllowedWithoutTlsAndClearingItTakesItBack()
    {
        QFETCH(bool, keep);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\nPLAINPASS=pop.example\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(6);
        click(MainFormHarness::window(Names::SetForm), Names::SetFormServers);
        QWidget* dialog = MainFormHarness::window(Names::OptionForm);
        auto* check = control<QCheckBox>(dialog, Names::PlainPasswordCheck);
        QVERIFY(check && check->isChecked());
        QVERIFY(check->text().contains(QStringLiteral("pop.example")));
        check->setChecked(keep);
        click(dialog, Names::OKCommand);
        QCOMPARE(harness.form().plainPasswordConsent().isRemembered(QStringLiteral("pop.example")), keep);
        QCOMPARE(folder.contents(QStringLiteral("vbmail.ini")),
            QByteArray("SMTP=\r\nPOP3=pop.example\r\nMAIL=\r\nAPOP=0\r\n") + (keep ? "PLAINPASS=pop.example\r\n" : ""));
    }

    void cancellingTheServerDialogChangesNothingAndReopeningDiscardsTheTyping_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("中止") << false;
        QTest::newRow("Esc") << true;
    }
    void cancellingTheServerDialogChangesNothingAndReopeningDiscardsTheTyping()
    {
        QFETCH(bool, byEscape);
        TestProgramFolder folder;
        const QByteArray settings("SMTP=smtp.example\r\nPOP3=pop.example\r\nMAIL=a@example.jp\r\nAPOP=0\r\n");
        folder.putServerSettings(settings);
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.form().openServerDialog();
        QWidget* dialog = MainFormHarness::window(Names::OptionForm);
        control<QLineEdit>(dialog, Names::Pop3Text)->setText(QStringLiteral("typed.example"));
        QPointer<QWidget> watched(dialog);
        if (byEscape)
            QTest::keyClick(control<QLineEdit>(dialog, Names::Pop3Text), Qt::Key_Escape);
        else
            click(dialog, Names::CancelCommand);
        QTRY_VERIFY(watched.isNull());
        QCOMPARE(harness.form().Settings.Pop3Server, QStringLiteral("pop.example"));
        QCOMPARE(folder.contents(QStringLiteral("vbmail.ini")), settings);

        harness.form().openServerDialog();
        QCOMPARE(control<QLineEdit>(MainFormHarness::window(Names::OptionForm), Names::Pop3Text)->text(), QStringLiteral("pop.example"));
    }

    void aServerFileThatCannotBeWrittenIsReportedAndLeftWhole()
    {
        TestProgramFolder folder;
        // A folder where vbmail.ini belongs: no file can replace it.
        QVERIFY(QDir(folder.folder()).mkdir(QStringLiteral("vbmail.ini")));
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QWidget* dialog = MainFormHarness::window(Names::OptionForm);
        control<QLineEdit>(dialog, Names::Pop3Text)->setText(QStringLiteral("pop.example"));
        click(dialog, Names::OKCommand);
        QCOMPARE(harness.messageBoxes.requests.size(), 1);
        QVERIFY(harness.messageBoxes.requests[0].text.contains(QStringLiteral("vbmail.ini")));
        QCOMPARE(harness.messageBoxes.requests[0].title, QStringLiteral("Nemuroa"));
        QVERIFY(QFileInfo(folder.path(QStringLiteral("vbmail.ini"))).isDir());
        QCOMPARE(AtomicFile::temporariesOf(folder.path(QStringLiteral("vbmail.ini"))), QStringList());
    }

    void theAccountDialogShowsTheStoredAccountAndSavesOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("saved") << true << QByteArray("[EXEINI]\r\nNAME=new-id\r\nNAME2=new-pass\r\nNAME3=1\r\n");
        QTest::newRow("not saved") << false << QByteArray("[EXEINI]\r\nNAME=old-id\r\nNAME2=old-pass\r\nNAME3=0\r\n");
    }
    void theAccountDialogShowsTheStoredAccountAndSavesOnlyWhenAsked()
    {
        QFETCH(bool, save);
        QFETCH(QByteArray, expected);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\n");
        folder.put(AccountFile, "[EXEINI]\r\nNAME=old-id\r\nNAME2=old-pass\r\nNAME3=1\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(6);
        click(MainFormHarness::window(Names::SetForm), Names::SetFormAccount);
        QWidget* dialog = MainFormHarness::window(Names::IdPassForm);
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(control<QLineEdit>(dialog, Names::IdText)->text(), QStringLiteral("old-id"));
        QCOMPARE(control<QLineEdit>(dialog, Names::PassText)->text(), QStringLiteral("old-pass"));
        QVERIFY(!control<QCheckBox>(dialog, Names::Check1)->isChecked());

        control<QLineEdit>(dialog, Names::IdText)->setText(QStringLiteral("new-id"));
        control<QLineEdit>(dialog, Names::PassText)->setText(QStringLiteral("new-pass"));
        control<QCheckBox>(dialog, Names::Check1)->setChecked(save);
        QPointer<QWidget> watched(dialog);
        // Enter confirms: OK is the default button.
        QTest::keyClick(control<QLineEdit>(dialog, Names::PassText), Qt::Key_Return);
        QTRY_VERIFY(watched.isNull());
        QCOMPARE(harness.form().AccountId, QStringLiteral("new-id"));
        QCOMPARE(harness.form().AccountPassword, QStringLiteral("new-pass"));
        QCOMPARE(folder.contents(AccountFile), expected);
    }

    void cancellingTheAccountDialogWritesNothing()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.form().openAccountDialog();
        QWidget* dialog = MainFormHarness::window(Names::IdPassForm);
        control<QLineEdit>(dialog, Names::IdText)->setText(QStringLiteral("typed"));
        control<QCheckBox>(dialog, Names::Check1)->setChecked(true);
        click(dialog, Names::CancelCommand);
        QTRY_VERIFY(!MainFormHarness::window(Names::IdPassForm));
        QVERIFY(!folder.exists(AccountFile));
        QCOMPARE(harness.form().AccountId, QString());
    }

    // Enter on a focused button presses that button, as in the main window; Enter in a box of the
    // server dialog presses nothing, for it has no default button. The account dialog's default
    // button is OK: Enter on Cancel must not confirm the typing.
    void enterPressesTheFocusedButtonOfTheSettingsWindows_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("opens");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QByteArray>("serverFile");
        const QByteArray typed("SMTP=\r\nPOP3=typed.example\r\nMAIL=\r\nAPOP=0\r\n");
        QTest::newRow("chooser: ID/PASS") << Names::SetForm << Names::SetFormAccount << Names::IdPassForm << false << QByteArray();
        QTest::newRow("chooser: POPサーバー") << Names::SetForm << Names::SetFormServers << Names::OptionForm << false << QByteArray();
        QTest::newRow("account: Cancel") << Names::IdPassForm << Names::CancelCommand << QString() << true << QByteArray();
        QTest::newRow("servers: 設定") << Names::OptionForm << Names::OKCommand << QString() << true << typed;
        QTest::newRow("servers: 中止") << Names::OptionForm << Names::CancelCommand << QString() << true << QByteArray();
        QTest::newRow("servers: Enter in a box") << Names::OptionForm << Names::Pop3Text << QString() << false << QByteArray();
    }
    void enterPressesTheFocusedButtonOfTheSettingsWindows()
    {
        QFETCH(QString, window);
        QFETCH(QString, focused);
        QFETCH(QString, opens);
        QFETCH(bool, closes);
        QFETCH(QByteArray, serverFile);
        TestProgramFolder folder;
        const QByteArray settings("POP3=pop.example\r\n");
        folder.putServerSettings(settings);
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QWidget* shown = openActive(harness, window);
        QVERIFY(shown);
        for (const QString& box : {Names::IdText, Names::Pop3Text}) {
            if (auto* typedInto = control<QLineEdit>(shown, box))
                typedInto->setText(QStringLiteral("typed.example"));
        }
        QPointer<QWidget> watched(shown);

        focusAndPressEnter(shown, focused);

        if (!opens.isEmpty())
            QTRY_VERIFY(MainFormHarness::window(opens) && MainFormHarness::window(opens)->isVisible());
        if (closes)
            QTRY_VERIFY(watched.isNull());
        else
            QVERIFY(!watched.isNull() && watched->isVisible());
        QCOMPARE(harness.form().AccountId, QString());
        QCOMPARE(folder.contents(QStringLiteral("vbmail.ini")), serverFile.isEmpty() ? settings : serverFile);
        QVERIFY(!folder.exists(AccountFile));
    }

    // A setting that the files cannot keep, or that a receive or a send would refuse, is refused
    // when the window is confirmed by keys: the real notice says what is wrong in the words of the
    // later error, the window stays open with the typing, and nothing is written.
    void settingsThatCannotWorkAreRefusedWhenConfirmed_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("says");
        QTest::newRow("port 99999") << Names::OptionForm << Names::Pop3Text << QStringLiteral("pop.example.jp:99999")
                                    << QStringLiteral("POP3 サーバー名「pop.example.jp:99999」を読み取れません。");
        QTest::newRow("a blank in the host name") << Names::OptionForm << Names::SmtpText << QStringLiteral("smtp example.jp")
                                                  << QStringLiteral("使えない文字（空白）");
        QTest::newRow("101 characters") << Names::OptionForm << Names::SmtpText << QString(98, u'a') + QStringLiteral(".jp")
                                        << QStringLiteral("保存できるのは 100 文字までです。");
        QTest::newRow("SMTP password outside code page 932") << Names::OptionForm << Names::SmtpPassText << QStringLiteral("비밀")
                                                             << QStringLiteral("SMTP 認証パスワードに、シフトJIS（コードページ932）で表せない文字（비밀）");
        QTest::newRow("ID outside code page 932, not asked to be saved") << Names::IdPassForm << Names::IdText << QStringLiteral("비밀")
                                                        << QStringLiteral("ユーザー ID に、シフトJIS（コードページ932）で表せない文字（비밀）");
        QTest::newRow("password with a blank after it") << Names::IdPassForm << Names::PassText << QStringLiteral("secret ")
                                                              << QStringLiteral("パスワードの前後に空白があります。");
    }
    void settingsThatCannotWorkAreRefusedWhenConfirmed()
    {
        QFETCH(QString, window);
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, says);
        TestProgramFolder folder;
        const QByteArray settings("POP3=pop.example\r\n");
        folder.putServerSettings(settings);
        FakeNMail mail;
        QtMessageBoxService boxes;
        MainFormHarness harness(folder, mail, boxes);
        QVERIFY(harness.start());
        boxes.setParentWindow(&harness.form());
        QWidget* shown = openActive(harness, window);
        QVERIFY(shown);
        auto* typedInto = control<QLineEdit>(shown, box);
        typedInto->setFocus(Qt::TabFocusReason);
        typedInto->clear();
        // Keys for what a keyboard types alone; characters an input method would give, put in as it does.
        if (text.front().unicode() < 0x80) {
            for (const QChar character : text)
                QTest::keyClick(shown->windowHandle(), character.toLatin1());
        } else {
            typedInto->insert(text);
        }
        QCOMPARE(typedInto->text(), text);
        BoxKeyAnswerer answerer({Qt::Key_Return});

        focusAndPressEnter(shown, Names::OKCommand);

        QTRY_COMPARE(answerer.seen.size(), 1);
        QVERIFY2(answerer.texts().constFirst().contains(says), qPrintable(answerer.texts().constFirst()));
        QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Nemuroa")});
        QVERIFY(answerer.ignored.isEmpty());
        QVERIFY(shown->isVisible());
        QCOMPARE(typedInto->text(), text);
        QCOMPARE(shown->focusWidget(), typedInto);
        QCOMPARE(folder.contents(QStringLiteral("vbmail.ini")), settings);
        QVERIFY(!folder.exists(AccountFile));
        QCOMPARE(harness.form().AccountId, QString());
    }

    void theReceivePathLoadsTheAccountDialogHiddenWithTheStoredAccount()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\n");
        folder.put(AccountFile, "[EXEINI]\r\nNAME=\x91\xbe\x98\x59\r\nNAME2=secret\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QVERIFY(!harness.form().isLoaded(Names::IdPassForm));
        IdPassForm& dialog = harness.form().idPassForm();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.idText(), QStringLiteral("太郎"));
        QCOMPARE(dialog.passText(), QStringLiteral("secret"));
        // Still loaded: the same fields, typing included, until it is closed.
        control<QLineEdit>(&dialog, Names::IdText)->setText(QStringLiteral("typed"));
        QCOMPARE(&harness.form().idPassForm(), &dialog);
        QCOMPARE(harness.form().idPassForm().idText(), QStringLiteral("typed"));
    }
};

NEMUROA_QTEST_SUITE(SettingsWindowsTest)
#include "SettingsWindowsTest.moc"
