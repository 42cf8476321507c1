#include "MainFormHarness.h"
#include "RunningCopyLink.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QLineEdit>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace Names = WidgetNames;

// A later start hands its mailto: link to the copy running on the same program folder, and the
// link fills the compose screen.
class MailtoHandOverTest : public QObject {
    Q_OBJECT

private slots:
    void aLaterStartHandsItsLinkToTheRunningCopy()
    {
        QTemporaryDir folder;
        RunningCopyLink running(folder.path());
        QVERIFY(running.listen());
        QSignalSpy received(&running, &RunningCopyLink::mailtoReceived);

        QVERIFY(RunningCopyLink::handOver(folder.path(), QStringLiteral("mailto:taro@example.jp?subject=%E4%BC%9A%E8%AD%B0")));

        QVERIFY(received.wait(60000));
        QCOMPARE(received.first().first().toString(), QStringLiteral("mailto:taro@example.jp?subject=%E4%BC%9A%E8%AD%B0"));
    }

    void noCopyRunsOnAnotherFolderOrAfterTheFirstEnded()
    {
        QTemporaryDir folder;
        QTemporaryDir other;
        {
            RunningCopyLink running(folder.path());
            QVERIFY(running.listen());
            QVERIFY(!RunningCopyLink::handOver(other.path(), QStringLiteral("mailto:a@example.jp"), 500));
            RunningCopyLink second(folder.path());
            QVERIFY(!second.listen());
        }
        QVERIFY(!RunningCopyLink::handOver(folder.path(), QStringLiteral("mailto:a@example.jp"), 500));
    }

    void aSocketLeftByACrashedCopyIsTakenOver()
    {
        QTemporaryDir folder;
        // A copy that ended without cleaning up leaves its socket file behind.
        QLocalServer crashed;
        crashed.setSocketOptions(QLocalServer::UserAccessOption);
        QVERIFY(crashed.listen(RunningCopyLink::serverName(folder.path())));
        const QString socketFile = crashed.fullServerName();
        crashed.close();
        QFile leftBehind(socketFile);
        QVERIFY(leftBehind.open(QIODevice::WriteOnly));
        leftBehind.close();

        RunningCopyLink running(folder.path());
        QVERIFY(running.listen());
        QVERIFY(RunningCopyLink::handOver(folder.path(), QString()));
    }

    void theLinkFillsRecipientAndSubjectOnTheComposeScreen()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        const MailtoLink link = *MailtoLink::parse(QStringLiteral("mailto:a@example.jp,b@example.jp?subject=%E4%BC%9A%E8%AD%B0%E3%81%AE%E4%BB%B6"));

        QWidget* compose = harness.find<QWidget>(Names::Frame3);
        auto* to = harness.find<QLineEdit>(Names::ToText);
        auto* subject = harness.find<QLineEdit>(Names::SubjectText);
        harness.form().composeMailto(link);
        QCOMPARE(harness.form().tabStrip().selectedIndex(), 2);
        QVERIFY(compose->isVisible());
        QCOMPARE(to->text(), QStringLiteral("a@example.jp, b@example.jp"));
        QCOMPARE(subject->text(), QStringLiteral("会議の件"));
    }
};

QTEST_MAIN(MailtoHandOverTest)
#include "MailtoHandOverTest.moc"
