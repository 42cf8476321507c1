#include "QtTestSuites.h"
#include "MainFormHarness.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace Names = WidgetNames;

class ShutdownTest : public QObject {
    Q_OBJECT

private slots:
    void everyExitReleasesTheMailLibraryThenEndsAndSavesNothing_data()
    {
        QTest::addColumn<QString>("exit");
        QTest::addColumn<int>("notices");
        QTest::newRow("menu 終了") << Names::mend << 1;
        QTest::newRow("exit button") << Names::Command2 << 0;
        QTest::newRow("close box") << QStringLiteral("close") << 0;
    }
    void everyExitReleasesTheMailLibraryThenEndsAndSavesNothing()
    {
        QFETCH(QString, exit);
        QFETCH(int, notices);
        TestProgramFolder folder;
        const QByteArray settings("SMTP=s\r\nPOP3=p\r\nMAIL=m\r\nAPOP=0\r\n");
        const QByteArray account("[EXEINI]\r\nNAME=id\r\nNAME2=pw\r\nNAME3=1\r\n");
        folder.putServerSettings(settings);
        folder.put(QStringLiteral("★MailData/iniIdPass.ini"), account);
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        // Typed into open settings windows but never confirmed.
        harness.form().openServerDialog();
        MainFormHarness::window(Names::OptionForm)->findChild<QLineEdit*>(Names::Pop3Text)->setText(QStringLiteral("typed"));
        harness.form().openAccountDialog();
        MainFormHarness::window(Names::IdPassForm)->findChild<QLineEdit*>(Names::IdText)->setText(QStringLiteral("typed"));

        bool libraryReleasedBeforeNotice = false;
        harness.messageBoxes.whileShown = [&](const MessageBoxService::Request&) {
            libraryReleasedBeforeNotice = harness.mail.count(QStringLiteral("NMailEndWinSock")) > 0;
        };
        harness.mail.calls.clear();

        if (exit == Names::mend)
            harness.find<QAction>(Names::mend)->trigger();
        else if (exit == Names::Command2)
            QTest::mouseClick(harness.find<QPushButton>(Names::Command2), Qt::LeftButton);
        else
            QVERIFY(harness.form().close());

        QCOMPARE(harness.messageBoxes.requests.size(), notices);
        if (notices == 1) {
            const MessageBoxService::Request& notice = harness.messageBoxes.requests[0];
            QCOMPARE(notice.text, QStringLiteral("終了します。"));
            QCOMPARE(notice.title, QStringLiteral("Nemuroa"));
            QCOMPARE(notice.buttons, MessageBoxService::Buttons::Ok);
            QVERIFY(!libraryReleasedBeforeNotice);
        }
        QCOMPARE(harness.mail.calls, QStringList{QStringLiteral("NMailEndWinSock")});
        QCOMPARE(harness.endProcessCalls, 1);
        QCOMPARE(folder.contents(QStringLiteral("vbmail.ini")), settings);
        QCOMPARE(folder.contents(QStringLiteral("★MailData/iniIdPass.ini")), account);
    }

    void endingWithoutTheShutdownStepsLeavesTheLibraryAlone()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.mail.calls.clear();
        harness.form().endProgram();
        QCOMPARE(harness.endProcessCalls, 1);
        QVERIFY(harness.mail.calls.isEmpty());
    }

    void minimiseAndHomePageButtons()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.find<QAction>(Names::mhp2)->trigger();
        QCOMPARE(harness.launcher.openedPages, QStringList{harness.form().homePageAddress()});
        QVERIFY(harness.messageBoxes.requests.isEmpty());
        // Without a browser the menu item says so, with the page's address, instead of doing nothing.
        harness.launcher.browserOpens = false;
        harness.find<QAction>(Names::mhp2)->trigger();
        QCOMPARE(harness.messageBoxes.texts(), QStringList{MainForm::noBrowserText(harness.form().homePageAddress())});
        QTest::mouseClick(harness.find<QPushButton>(Names::Command21), Qt::LeftButton);
        QTRY_VERIFY(harness.form().isMinimized());
        QCOMPARE(harness.endProcessCalls, 0);
    }
};

NEMUROA_QTEST_SUITE(ShutdownTest)
#include "ShutdownTest.moc"
