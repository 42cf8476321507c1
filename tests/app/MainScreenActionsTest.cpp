#include "QtTestSuites.h"
#include "ClockText.h"
#include "ExplanationText.h"
#include "MainFormHarness.h"
#include "MainScreenActions.h"
#include "QtProgramLauncher.h"
#include "TestProgramFolder.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace Names = WidgetNames;

namespace {

void tick(QTimer* timer) { QVERIFY(QMetaObject::invokeMethod(timer, "timeout")); }

QStringList linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class MainScreenActionsTest : public QObject {
    Q_OBJECT

private slots:
    void theExplanationShowsNineteenParagraphsAndSwapsTheButtons()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        auto* box = harness.find<QPlainTextEdit>(Names::Text18);
        auto* show = harness.find<QPushButton>(Names::Command19);
        auto* hide = harness.find<QPushButton>(Names::Command20);
        QVERIFY(!box->isVisible() && show->isEnabled() && !hide->isEnabled());

        QTest::mouseClick(show, Qt::LeftButton);
        QVERIFY(box->isVisible() && !show->isEnabled() && hide->isEnabled());
        const QStringList paragraphs = ExplanationParagraphs(harness.form().homePageAddress());
        QCOMPARE(paragraphs.size(), 19);
        QCOMPARE(paragraphs.first(), QStringLiteral("■ここはメイン画面です。"));
        QCOMPARE(paragraphs.at(10), QStringLiteral("■送信や着信の状態は、画面中央の「ZID3000」の緑のバーに表示されます。例；「メールを送信中です・・・」「新着メールがあります」等"));
        QCOMPARE(paragraphs.at(17), QStringLiteral("■メニューバーに表示されているファイル(&F)等は使用出来るフォームが限定されています。着信履歴（全１０）、送信履歴でのフォームだけです。"));
        // It ends with the address of the help page beside the program.
        QCOMPARE(QUrl(harness.form().homePageAddress()), QUrl::fromLocalFile(folder.path(QStringLiteral("help.html"))));
        QCOMPARE(paragraphs.last(), QStringLiteral("■疑問、サポートは作者のホームページ、メールにてお受けします。　") + harness.form().homePageAddress());
        QCOMPARE(ExplanationText(harness.form().homePageAddress()), paragraphs.join(QStringLiteral("\r\n\r\n")));
        QCOMPARE(box->toPlainText(), paragraphs.join(QStringLiteral("\n\n")));

        QTest::mouseClick(hide, Qt::LeftButton);
        QVERIFY(!box->isVisible() && show->isEnabled() && !hide->isEnabled());
    }

    void theClockShowsTheClockTextOfEveryTick()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        auto* timer = harness.form().findChild<QTimer*>(Names::Timer2);
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        timer->stop();
        auto* clock = harness.find<QLineEdit>(Names::Text27);

        tick(timer);
        const QString first = clock->text();
        QCOMPARE(first, ClockText(harness.clock.localDateTime()));
        harness.clock.advance(1000);
        tick(timer);
        QVERIFY(clock->text() != first);
        QCOMPARE(clock->text(), ClockText(harness.clock.localDateTime()));
    }

    void theAnimationClimbsInFiveStepsOnePassAtATime()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        auto* timer = harness.form().findChild<QTimer*>(Names::Timer1);
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 500);
        timer->stop();
        QWidget* picture = harness.find<QWidget>(Names::Image3);

        QList<int> tops;
        for (int step = 0; step < 12; ++step) {
            tick(timer);
            tops.append(picture->y());
        }
        QList<int> expected;
        for (const double top : {2380, 2168, 1956, 1744, 1532, 2380, 2168, 1956, 1744, 1532, 2380, 2168})
            expected.append(Twips::toPixels(top));
        QCOMPARE(tops, expected);
        QCOMPARE(picture->x(), Twips::toPixels(4845));
    }

    void theViewerButtonMinimisesAndStartsTheViewerEachTime()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        auto* button = harness.find<QPushButton>(Names::Command22);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(harness.form().isMinimized());
        // Already minimised, the click still starts one more.
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(harness.launcher.startedPrograms, QStringList(2, folder.paths().viewerProgram()));
        QVERIFY(harness.form().isMinimized());
        QVERIFY(harness.messageBoxes.requests.isEmpty());
    }

    void aViewerThatCannotStartBringsTheWindowBackWithItsPath()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.launcher.startSucceeds = false;
        QTest::mouseClick(harness.find<QPushButton>(Names::Command22), Qt::LeftButton);
        QVERIFY(!harness.form().isMinimized());
        QCOMPARE(harness.messageBoxes.requests.size(), 1);
        QVERIFY(harness.messageBoxes.requests.first().text.contains(folder.paths().viewerProgram()));
        QCOMPARE(harness.messageBoxes.requests.first().title, QStringLiteral("Nemuroa"));
    }

    void theLauncherStartsEachViewerWithoutWaitingForIt()
    {
        TestProgramFolder folder;
        // A viewer that notes its process id, stays two seconds, then notes that it ended.
        folder.put(QStringLiteral("Data/tetra.exe"),
            "#!/bin/sh\nbase=$(dirname \"$0\")\necho $$ >> \"$base/started\"\nsleep 2\necho $$ >> \"$base/ended\"\n");
        QFile::setPermissions(folder.paths().viewerProgram(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QtProgramLauncher launcher;
        QVERIFY(launcher.startMinimized(folder.paths().viewerProgram()));
        QVERIFY(launcher.startMinimized(folder.paths().viewerProgram()));
        QVERIFY(!QFile::exists(folder.path(QStringLiteral("Data/ended"))));
        const QString started = folder.path(QStringLiteral("Data/started"));
        QTRY_COMPARE(linesOf(started).size(), 2);
        QVERIFY(linesOf(started).at(0) != linesOf(started).at(1));
        QTRY_COMPARE_WITH_TIMEOUT(linesOf(folder.path(QStringLiteral("Data/ended"))).size(), 2, 10000);

        QVERIFY(!launcher.startMinimized(folder.path(QStringLiteral("Data/missing.exe"))));
    }
};

NEMUROA_QTEST_SUITE(MainScreenActionsTest)
#include "MainScreenActionsTest.moc"
