#include "QtTestSuites.h"
#include "BoxKeyAnswerer.h"
#include "MainFormHarness.h"
#include "QtMessageBoxService.h"
#include "RunningCopyLink.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <sys/stat.h>
#include <unistd.h>

namespace Names = WidgetNames;
using namespace Qt::Literals::StringLiterals;

// A later start hands its mailto: link to the copy running on the same program folder, and the
// link fills the compose screen.
class MailtoHandOverTest : public QObject {
    Q_OBJECT

    // A folder of the user's own, as the runtime folder is.
    QTemporaryDir sockets;

private slots:
    void aLaterStartHandsItsLinkToTheRunningCopy()
    {
        QTemporaryDir folder;
        RunningCopyLink running(folder.path(), sockets.path());
        QVERIFY(running.listen());
        QSignalSpy received(&running, &RunningCopyLink::mailtoReceived);

        QVERIFY(RunningCopyLink::handOver(sockets.path(), folder.path(), QStringLiteral("mailto:taro@example.jp?subject=%E4%BC%9A%E8%AD%B0")));

        QVERIFY(received.wait(60000));
        QCOMPARE(received.first().first().toString(), QStringLiteral("mailto:taro@example.jp?subject=%E4%BC%9A%E8%AD%B0"));
    }

    void noCopyRunsOnAnotherFolderOrAfterTheFirstEnded()
    {
        QTemporaryDir folder;
        QTemporaryDir other;
        {
            RunningCopyLink running(folder.path(), sockets.path());
            QVERIFY(running.listen());
            QVERIFY(!RunningCopyLink::handOver(sockets.path(), other.path(), QStringLiteral("mailto:a@example.jp"), 500));
            RunningCopyLink second(folder.path(), sockets.path());
            QVERIFY(!second.listen());
        }
        QVERIFY(!RunningCopyLink::handOver(sockets.path(), folder.path(), QStringLiteral("mailto:a@example.jp"), 500));
    }

    void aSocketLeftByACrashedCopyIsTakenOver()
    {
        QTemporaryDir folder;
        // A copy that ended without cleaning up leaves its socket file behind.
        QLocalServer crashed;
        crashed.setSocketOptions(QLocalServer::UserAccessOption);
        QVERIFY(crashed.listen(RunningCopyLink::serverName(sockets.path(), folder.path())));
        const QString socketFile = crashed.fullServerName();
        crashed.close();
        QFile leftBehind(socketFile);
        QVERIFY(leftBehind.open(QIODevice::WriteOnly));
        leftBehind.close();

        RunningCopyLink running(folder.path(), sockets.path());
        QVERIFY(running.listen());
        QVERIFY(RunningCopyLink::handOver(sockets.path(), folder.path(), QString()));
    }

    void theSocketFolderIsOnlyEverOneOfTheUsersOwn_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("a runtime folder of the user's") << u"runtime"_s << u"runtime"_s;
        QTest::newRow("no runtime folder: one of the user's in the shared folder") << u"no runtime"_s << u"own"_s;
        QTest::newRow("a runtime folder open to others is passed over") << u"runtime open to others"_s << u"own"_s;
        QTest::newRow("a folder of that name open to others is refused") << u"own open to others"_s << QString();
        QTest::newRow("a link of that name is refused") << u"own is a link"_s << QString();
        QTest::newRow("a shared folder where others can replace it is refused") << u"shared without sticky bit"_s << QString();
        if (::geteuid() == 0)
            QTest::newRow("a folder of that name another user made is refused") << u"own made by another user"_s << QString();
    }
    void theSocketFolderIsOnlyEverOneOfTheUsersOwn()
    {
        QFETCH(QString, situation);
        QFETCH(QString, chosen);
        QTemporaryDir root;
        const QString shared = root.filePath(u"tmp"_s);
        const QString runtime = root.filePath(u"run"_s);
        const QString own = shared + u"/nemuroa-"_s + QString::number(::geteuid());
        QVERIFY(QDir().mkpath(shared) && QDir().mkpath(runtime));
        QCOMPARE(::chmod(QFile::encodeName(shared).constData(), situation == u"shared without sticky bit" ? 0777 : 01777), 0);
        QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), situation == u"runtime open to others" ? 0755 : 0700), 0);
        if (situation == u"own open to others") {
            QVERIFY(QDir().mkdir(own));
            QCOMPARE(::chmod(QFile::encodeName(own).constData(), 0755), 0);
        } else if (situation == u"own is a link") {
            QCOMPARE(::symlink(QFile::encodeName(runtime).constData(), QFile::encodeName(own).constData()), 0);
        } else if (situation == u"own made by another user") {
            QVERIFY(QDir().mkdir(own));
            QCOMPARE(::chmod(QFile::encodeName(own).constData(), 0700), 0);
            QCOMPARE(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
        }

        const QString found = RunningCopyLink::socketFolder(situation.startsWith(u"runtime") ? runtime : QString(), shared);

        QCOMPARE(found, chosen == u"runtime" ? runtime : chosen == u"own" ? own : QString());
        RunningCopyLink refused(root.path(), own);
        if (chosen.isEmpty())
            QVERIFY(!refused.listen());
    }

    void aHandOverThroughASharedTemporaryFolderLeavesNothingThereOthersCanReach()
    {
        QTemporaryDir root;
        const QString shared = root.filePath(u"tmp"_s);
        QVERIFY(QDir().mkpath(shared));
        QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
        const QString socketFolder = RunningCopyLink::socketFolder(QString(), shared);
        QVERIFY(!socketFolder.isEmpty());
        {
            RunningCopyLink running(root.path(), socketFolder);
            QVERIFY(running.listen());
            QSignalSpy received(&running, &RunningCopyLink::mailtoReceived);
            QVERIFY(RunningCopyLink::handOver(socketFolder, root.path(), u"mailto:taro@example.jp"_s));
            QVERIFY(received.wait(60000));
            QCOMPARE(received.first().first().toString(), u"mailto:taro@example.jp"_s);

            // Only the user's own folder, closed to everyone else, sits in the shared folder.
            QCOMPARE(QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                QStringList{QFileInfo(socketFolder).fileName()});
            struct stat info {};
            QCOMPARE(::lstat(QFile::encodeName(socketFolder).constData(), &info), 0);
            QVERIFY(S_ISDIR(info.st_mode));
            QCOMPARE(info.st_uid, ::geteuid());
            QCOMPARE(info.st_mode & 0777, 0700u);
        }
        // The copy that ended took its socket with it.
        QCOMPARE(QDir(socketFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), QStringList());
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
        QCOMPARE(harness.find<QPlainTextEdit>(Names::BodyText)->toPlainText(), QString());
        // An empty screen is filled without a question.
        QVERIFY(harness.messageBoxes.requests.isEmpty());
    }

    void theLinksBodyFillsTheBody()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.form().composeMailto(*MailtoLink::parse(QStringLiteral("mailto:a@example.jp?body=%E6%9C%AC%E6%96%87%0D%0A2%E8%A1%8C%E7%9B%AE")));
        QCOMPARE(harness.find<QPlainTextEdit>(Names::BodyText)->toPlainText(), QStringLiteral("本文\n2行目"));
    }

    void aMailBeingWrittenIsReplacedOnlyWhenThePersonSaysYes_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("body");
        QTest::newRow("yes") << static_cast<int>(MessageBoxService::Answer::Yes) << QStringLiteral("b@example.jp") << QStringLiteral("リンクの本文");
        QTest::newRow("no") << static_cast<int>(MessageBoxService::Answer::No) << QStringLiteral("a@example.jp") << QStringLiteral("書きかけ");
    }
    void aMailBeingWrittenIsReplacedOnlyWhenThePersonSaysYes()
    {
        QFETCH(int, answer);
        QFETCH(QString, to);
        QFETCH(QString, body);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(2);
        harness.find<QLineEdit>(Names::ToText)->setText(QStringLiteral("a@example.jp"));
        harness.find<QPlainTextEdit>(Names::BodyText)->setPlainText(QStringLiteral("書きかけ"));
        harness.messageBoxes.answers = {static_cast<MessageBoxService::Answer>(answer)};

        harness.form().takeHandOver(QStringLiteral("mailto:b@example.jp?body=%E3%83%AA%E3%83%B3%E3%82%AF%E3%81%AE%E6%9C%AC%E6%96%87"));

        QCOMPARE(harness.messageBoxes.requests.size(), 1);
        QCOMPARE(harness.messageBoxes.requests.first().title, QStringLiteral("確認"));
        QCOMPARE(harness.messageBoxes.requests.first().buttons, MessageBoxService::Buttons::YesNo);
        QCOMPARE(harness.find<QLineEdit>(Names::ToText)->text(), to);
        QCOMPARE(harness.find<QPlainTextEdit>(Names::BodyText)->toPlainText(), body);
    }

    void theQuestionIsAnsweredByKeysAtTheRealBox_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("to");
        QTest::newRow("Return: はい") << static_cast<int>(Qt::Key_Return) << QStringLiteral("b@example.jp");
        QTest::newRow("Esc: いいえ") << static_cast<int>(Qt::Key_Escape) << QStringLiteral("a@example.jp");
    }
    void theQuestionIsAnsweredByKeysAtTheRealBox()
    {
        QFETCH(int, key);
        QFETCH(QString, to);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness fakes(folder);
        QtMessageBoxService boxes;
        Services services{boxes, fakes.clipboard, fakes.fileDialogs, fakes.launcher, fakes.clock, fakes.mail,
            fakes.services.processEvents, fakes.services.endProcess};
        const ProgramPaths paths(folder.folder());
        MainForm form(paths, services);
        boxes.setParentWindow(&form);
        QVERIFY(form.load());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.composeMailto(*MailtoLink::parse(QStringLiteral("mailto:a@example.jp")));

        // The person answers the box that comes up, at its window, as the keyboard does.
        QString asked;
        QTimer answerer;
        answerer.setInterval(10);
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->windowHandle() || !box->windowHandle()->isExposed())
                return;
            answerer.stop();
            asked = box->windowTitle();
            QTest::keyClick(box->windowHandle(), static_cast<Qt::Key>(key));
        });
        answerer.start();
        form.takeHandOver(QStringLiteral("mailto:b@example.jp"));

        QCOMPARE(asked, QStringLiteral("確認"));
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(form.findChild<QLineEdit*>(Names::ToText)->text(), to);
    }

    void ccAndBccTheScreenCannotTakeAreNamedInANotice_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QStringList>("named");
        QTest::newRow("cc") << u"mailto:a@example.jp?cc=b@example.jp,c@example.jp"_s << QStringList{u"CC: b@example.jp, c@example.jp"_s};
        QTest::newRow("bcc") << u"mailto:a@example.jp?bcc=d@example.jp"_s << QStringList{u"BCC: d@example.jp"_s};
        QTest::newRow("both") << u"mailto:a@example.jp?bcc=d@example.jp&cc=b@example.jp"_s
                              << QStringList{u"CC: b@example.jp"_s, u"BCC: d@example.jp"_s};
        QTest::newRow("neither") << u"mailto:a@example.jp?subject=x"_s << QStringList();
    }
    void ccAndBccTheScreenCannotTakeAreNamedInANotice()
    {
        QFETCH(QString, link);
        QFETCH(QStringList, named);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness fakes(folder);
        QtMessageBoxService boxes;
        Services services{boxes, fakes.clipboard, fakes.fileDialogs, fakes.launcher, fakes.clock, fakes.mail,
            fakes.services.processEvents, fakes.services.endProcess};
        const ProgramPaths paths(folder.folder());
        MainForm form(paths, services);
        boxes.setParentWindow(&form);
        QVERIFY(form.load());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        BoxKeyAnswerer answerer({Qt::Key_Return});

        form.takeHandOver(link);

        QCOMPARE(answerer.ignored, QStringList());
        QCOMPARE(answerer.seen.size(), named.isEmpty() ? 0 : 1);
        for (const QString& line : std::as_const(named))
            QVERIFY2(answerer.seen[0].text.contains(line), qPrintable(answerer.seen[0].text));
        QCOMPARE(form.findChild<QLineEdit*>(Names::ToText)->text(), u"a@example.jp"_s);
    }

    void aLaterStartWithoutALinkBringsTheWindowBack()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        RunningCopyLink running(folder.folder(), sockets.path());
        QVERIFY(running.listen());
        QObject::connect(&running, &RunningCopyLink::mailtoReceived, &harness.form(), &MainForm::takeHandOver);
        harness.form().showMinimized();
        QTRY_VERIFY(harness.form().isMinimized());

        QVERIFY(RunningCopyLink::handOver(sockets.path(), folder.folder(), QString()));

        QTRY_VERIFY(!harness.form().isMinimized());
        // Nothing else changed: no screen switch, no box.
        QCOMPARE(harness.form().tabStrip().selectedIndex(), 1);
        QVERIFY(harness.messageBoxes.requests.isEmpty());
    }
};

NEMUROA_QTEST_SUITE(MailtoHandOverTest)
#include "MailtoHandOverTest.moc"
