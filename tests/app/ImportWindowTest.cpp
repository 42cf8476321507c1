#include "QtTestSuites.h"
#include "FolderFiles.h"
#include "ImportWindow.h"
#include "MainFormHarness.h"
#include "NMail.h"
#include "OperationInProgress.h"
#include "RunningCopyLink.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

namespace Names = WidgetNames;

// The import window as a person uses it: opened from the "ファイル" menu by keys, the source typed
// in, started with a key, its progress and summary shown, the folders' counts updated; and an
// import a later start hands over, run in that window.
class ImportWindowTest : public QObject {
    Q_OBJECT

    static constexpr int Messages = 40;

    static QByteArray mbox()
    {
        QByteArray text;
        for (int n = 1; n <= Messages; ++n) {
            text += "From - Mon Dec  7 10:00:00 2026\nFrom: other@example.jp\nSubject: message " + QByteArray::number(n)
                + "\nDate: Mon, 07 Dec 2026 10:" + QByteArray::number(10 + n) + ":00 +0900\n\nbody " + QByteArray::number(n) + "\n\n";
        }
        return text;
    }

    static void write(const QString& path, const QByteArray& bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static ImportWindow* importWindow()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == Names::ImportWindow && window->isVisible())
                return qobject_cast<ImportWindow*>(window);
        }
        return nullptr;
    }

    // Opens the "ファイル" menu with Alt+F and takes its item steps down with the arrow keys.
    static void chooseFileMenuItem(const MainFormHarness& harness, int steps, const QString& expected)
    {
        harness.form().activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &harness.form());
        QTest::keyClick(harness.form().windowHandle(), Qt::Key_F, Qt::AltModifier);
        auto* fileMenu = harness.find<QMenu>(Names::mFile);
        QTRY_VERIFY(fileMenu->isVisible());
        for (int step = 0; step < steps; ++step)
            QTest::keyClick(fileMenu, Qt::Key_Down);
        QCOMPARE(fileMenu->activeAction()->objectName(), expected);
        QTest::keyClick(fileMenu, Qt::Key_Return);
    }

private slots:
    void aPersonImportsAnMboxThroughTheMenuWithKeys()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        write(folder.path(QStringLiteral("source/Inbox")), mbox());
        NMail mail;
        MainFormHarness harness(folder, mail);
        QVERIFY(harness.start());
        harness.clickTab(16);
        // 新規作成, 開く, 名前を付けて保存, 印刷, then the import.
        chooseFileMenuItem(harness, 4, Names::mImport);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY(importWindow());
        ImportWindow* window = importWindow();
        // Spam is dropped only when the person asks for it.
        QVERIFY(!window->findChild<QCheckBox*>(Names::ImportSpamCheck)->isChecked());
        auto* pathBox = window->findChild<QLineEdit*>(Names::ImportPathText);
        QTRY_VERIFY(pathBox->hasFocus());
        QTest::keyClicks(QApplication::focusWidget(), folder.path(QStringLiteral("source")));
        QCOMPARE(pathBox->text(), folder.path(QStringLiteral("source")));
        for (int step = 0; step < 3; ++step)
            QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
        QVERIFY(window->findChild<QPushButton*>(Names::ImportStart)->hasFocus());
        QTest::keyClick(window->windowHandle(), Qt::Key_Space);

        auto* summary = window->findChild<QPlainTextEdit*>(Names::ImportSummaryText);
        QTRY_VERIFY2_WITH_TIMEOUT(summary->toPlainText().startsWith(QStringLiteral("%1 通を保存（着信 その他 %1）").arg(Messages)), qPrintable(summary->toPlainText()), 10000);
        auto* progress = window->findChild<QProgressBar*>(Names::ImportProgress);
        QCOMPARE(progress->maximum(), Messages);
        QCOMPARE(progress->value(), Messages);
        QCOMPARE(window->findChild<QLabel*>(Names::ImportCountLabel)->text(), QStringLiteral("%1 / %1 通").arg(Messages));
        QCOMPARE(harness.form().pastCounter(10), QString::number(Messages));
        QCOMPARE(folder.storedSubjects(10).size(), Messages);
        QCOMPARE(folder.storedSubjects(10).first(), QStringLiteral("message 1"));

        // Again, with Enter on the start button: nothing is added.
        window->findChild<QPushButton*>(Names::ImportStart)->setFocus();
        QTest::keyClick(window->windowHandle(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(summary->toPlainText().startsWith(QStringLiteral("0 通を保存、取り込み済みのため %1 通を省略").arg(Messages)), 30000);
        QCOMPARE(folder.storedSubjects(10).size(), Messages);
        QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!importWindow());

        // The folder, listed again, goes out as an mbox, and its first message as an .eml file.
        auto* list = harness.find<QAbstractItemView>(Names::MailListView);
        QTRY_COMPARE(list->model()->rowCount(), Messages);
        const QString mboxFile = folder.path(QStringLiteral("others.mbox"));
        const QString emlFile = folder.path(QStringLiteral("first.eml"));
        harness.fileDialogs.saveAnswers << mboxFile << emlFile;
        chooseFileMenuItem(harness, 5, Names::mExport);
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE(harness.messageBoxes.texts().size(), 1);
        QVERIFY(harness.messageBoxes.texts().first().startsWith(QStringLiteral("%1 通を").arg(Messages)));
        QVERIFY(folder.contents(QStringLiteral("others.mbox")).startsWith("From other@example.jp "));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        chooseFileMenuItem(harness, 6, Names::mSaveEml);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY(folder.contents(QStringLiteral("first.eml")).contains("Subject: message 1\r\n"));
    }

    void anImportALaterStartHandsOverRunsInTheImportWindow()
    {
        QTemporaryDir sockets;
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        const QString source = folder.path(QStringLiteral("a folder with 100% spaces/Inbox"));
        write(source, mbox());
        NMail mail;
        MainFormHarness harness(folder, mail);
        QVERIFY(harness.start());
        RunningCopyLink running(folder.folder(), sockets.path());
        QVERIFY(running.listen());
        QObject::connect(&running, &RunningCopyLink::importReceived, &harness.form(), &MainForm::takeImportHandOver);
        QSignalSpy received(&running, &RunningCopyLink::importReceived);

        auto receiving = std::make_unique<OperationInProgress>(harness.form());
        QVERIFY(RunningCopyLink::handOverImport(sockets.path(), folder.folder(), {source}));
        QVERIFY(received.wait(60000));
        QCOMPARE(received.first().first().toStringList(), QStringList{source});
        // A receive is running: the import waits for its end.
        QVERIFY(!importWindow());
        receiving.reset();
        QTRY_VERIFY(importWindow());
        auto* summary = importWindow()->findChild<QPlainTextEdit*>(Names::ImportSummaryText);
        QTRY_VERIFY_WITH_TIMEOUT(summary->toPlainText().startsWith(QStringLiteral("%1 通を保存").arg(Messages)), 30000);
        QCOMPARE(folder.storedSubjects(10).size(), Messages);
    }

    void theTimeLeftFollowsTheRateSoFar_data()
    {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing yet") << 0 << 10 << qint64(500) << QStringLiteral("0 / 10 通");
        QTest::newRow("seconds") << 5 << 10 << qint64(4000) << QStringLiteral("5 / 10 通　残り約 4 秒");
        QTest::newRow("minutes") << 100 << 10000 << qint64(2000) << QStringLiteral("100 / 10000 通　残り約 3 分 18 秒");
        QTest::newRow("done") << 10 << 10 << qint64(9000) << QStringLiteral("10 / 10 通");
        QTest::newRow("stopped") << 4 << 10 << qint64(0) << QStringLiteral("4 / 10 通");
    }
    void theTimeLeftFollowsTheRateSoFar()
    {
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(qint64, elapsed);
        QFETCH(QString, text);
        QCOMPARE(ImportWindow::countText(done, total, elapsed), text);
    }
};

NEMUROA_QTEST_SUITE(ImportWindowTest)
#include "ImportWindowTest.moc"
