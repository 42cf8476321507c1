#include "QtTestSuites.h"
#include "FolderFiles.h"
#include "MailSearch.h"
#include "MailSearchWorker.h"
#include "MainFormHarness.h"
#include "RecordLayouts.h"
#include "SearchAllForm.h"
#include "SearchIndex.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>
#include <QWindow>

namespace Names = WidgetNames;

class SearchAllFormTest : public QObject {
    Q_OBJECT

private:
    static void putMail(const TestProgramFolder& folder)
    {
        const auto store = [&](int k, int number, const QString& subject, const QString& date, const QString& body) {
            QVERIFY(StoreMessage(folder.paths(), k, number,
                {subject, QStringLiteral("souko%1@example.jp").arg(number), date, body}).ok());
        };
        store(2, 1, QStringLiteral("週報"), QStringLiteral("Mon, 07 Dec 2026 09:00:00 +0900"), QStringLiteral("特になし"));
        store(2, 2, QStringLiteral("倉庫の棚卸し"), QStringLiteral("Tue, 01 Dec 2026 09:00:00 +0900"), QStringLiteral("春の棚卸し\r\nよろしく"));
        store(2, 3, QStringLiteral("在庫"), QStringLiteral("Wed, 02 Dec 2026 09:00:00 +0900"), QStringLiteral("第２倉庫に在庫あり"));
        using RecordLayouts::SentField;
        Record sent(RecordLayouts::Sent);
        sent.setText(SentField::Subject, QStringLiteral("倉庫の見積もり"));
        sent.setText(SentField::To, QStringLiteral("buyer@example.jp"));
        sent.setText(SentField::SentAt, QStringLiteral("2026/12/08 12:00:00"));
        sent.setText(SentField::Body, QStringLiteral("見積もりです"));
        QVERIFY(FolderFiles::folderFile(folder.paths(), FolderFiles::SentHistory).append(sent).ok());
    }

    // Japanese comes in as the input method commits it.
    static void type(QWidget* box, const QString& text)
    {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(box, &commit);
    }

    static QWidget* searchWindow() { return MainFormHarness::window(Names::SearchAllForm); }

private slots:
    // A person's path: Ctrl+Shift+F on the main screen (whose menus are disabled), a query typed and
    // Return, a row chosen with the keys and Return: the message is on its folder's mail screen.
    void shortcutQueryAndReturnShowTheMessage()
    {
        TestProgramFolder programFolder;
        putMail(programFolder);
        MainFormHarness harness(programFolder);
        QVERIFY(harness.start());
        MainForm& form = harness.form();
        harness.clickTab(1);
        QVERIFY(!form.menusEnabled());

        QTest::keyClick(form.windowHandle(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(searchWindow() && searchWindow()->isVisible());
        QWidget* window = searchWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("全メール検索"));
        auto* query = window->findChild<QLineEdit*>(Names::SearchAllText);
        auto* list = window->findChild<QTableWidget*>(Names::SearchAllList);
        QTRY_COMPARE(QApplication::focusWidget(), query);

        type(query, QStringLiteral("倉庫"));
        QTest::keyClick(window->windowHandle(), Qt::Key_Return);
        QTRY_COMPARE(list->rowCount(), 3);
        QCOMPARE(window->findChild<QLabel*>(Names::SearchAllCount)->text(), QStringLiteral("3 件"));
        // Newest first: the sent message, then the 倉庫 in the body of 2 December, then 1 December.
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("送信履歴"));
        QCOMPARE(list->item(0, 2)->text(), QStringLiteral("buyer@example.jp"));
        QCOMPARE(list->item(1, 3)->text(), QStringLiteral("在庫"));
        QCOMPARE(list->item(1, 0)->text(), QStringLiteral("フォルダ2")); // its rule has no name
        QCOMPARE(list->item(2, 3)->text(), QStringLiteral("倉庫の棚卸し"));

        QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), list);
        QTest::keyClick(window->windowHandle(), Qt::Key_Down);
        QTest::keyClick(window->windowHandle(), Qt::Key_Down);
        QTest::keyClick(window->windowHandle(), Qt::Key_Return);

        QCOMPARE(form.CurrentFolder, 2);
        QCOMPARE(harness.find<QLineEdit>(Names::Text7)->text(), QStringLiteral("倉庫の棚卸し"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text8)->text(), QStringLiteral("souko2@example.jp"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text9)->text(), QStringLiteral("Tue, 01 Dec 2026 09:00:00 +0900"));
        QCOMPARE(harness.find<QTextEdit>(Names::rtfEd)->toPlainText(), QStringLiteral("春の棚卸し\nよろしく"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text48)->text(), QStringLiteral("1"));
        auto* mailList = harness.find<QTreeView>(Names::MailListView);
        QCOMPARE(mailList->selectionModel()->selectedRows().value(0).row(), 1);
        QVERIFY(window->isVisible());

        // The sent message goes to the sent history's screen.
        list->setFocus();
        QTest::keyClick(window->windowHandle(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(window->windowHandle(), Qt::Key_Return);
        QCOMPARE(form.CurrentFolder, FolderFiles::SentHistory);
        QCOMPARE(harness.find<QLineEdit>(Names::Text7)->text(), QStringLiteral("倉庫の見積もり"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text8)->text(), QStringLiteral("buyer@example.jp"));

        QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!window->isVisible());
    }

    // Typing alone searches after the pause, a double click shows a row, and a message deleted on its
    // screen leaves the rows.
    void typingSearchesAndDeletedMessagesGo()
    {
        TestProgramFolder programFolder;
        putMail(programFolder);
        MainFormHarness harness(programFolder);
        QVERIFY(harness.start());
        harness.clickTab(8);
        QTest::keyClick(harness.form().windowHandle(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(searchWindow() && searchWindow()->isVisible());
        auto* query = searchWindow()->findChild<QLineEdit*>(Names::SearchAllText);
        auto* list = searchWindow()->findChild<QTableWidget*>(Names::SearchAllList);
        type(query, QStringLiteral("棚卸"));
        QTRY_COMPARE(list->rowCount(), 1);
        const QRect row = list->visualRect(list->model()->index(0, 3));
        // A person's double click: a click, then the second press that the window system reports as double.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        QCOMPARE(harness.find<QLineEdit>(Names::Text7)->text(), QStringLiteral("倉庫の棚卸し"));

        // The rows shown follow the deletion by themselves.
        QTest::mouseClick(harness.find<QWidget>(Names::Command3), Qt::LeftButton);
        QTRY_COMPARE(searchWindow()->findChild<QLabel*>(Names::SearchAllCount)->text(), QStringLiteral("0 件"));
        QCOMPARE(list->rowCount(), 0);
    }

    // A missing index is built in the background with its progress told; searching meanwhile reads
    // the store files and finds the same messages as the index once it is done.
    void aMissingIndexIsBuiltWhileSearchesReadTheFiles()
    {
        TestProgramFolder programFolder;
        const int messages = MailSearchWorker::QuietCatchUp + 50;
        int withWord = 0;
        for (int number = 0; number < messages; ++number) {
            withWord += number % 7 == 0 ? 1 : 0;
            QVERIFY(StoreMessage(programFolder.paths(), 1 + number % 10, number / 10 + 1,
                {QStringLiteral("件名%1").arg(number), QStringLiteral("a@example.jp"),
                    QStringLiteral("%1 Dec 2026 09:%2:00 +0900").arg(1 + number % 28).arg(number % 60, 2, 10, QChar(u'0')),
                    number % 7 == 0 ? QStringLiteral("倉庫") : QStringLiteral("本文")}).ok());
        }
        MailSearch search(programFolder.paths());
        QSignalSpy progress(&search, &MailSearch::indexProgress);
        QSignalSpy found(&search, &MailSearch::found);
        search.start();
        search.search(QStringLiteral("倉庫"));
        QTRY_COMPARE(found.size(), 1);
        const auto before = found.at(0).at(1).value<SearchResult>();
        QCOMPARE(before.count, withWord);
        QTRY_VERIFY(search.indexReady());
        // The index thread tells its last step through the event loop, after it is ready.
        QTRY_COMPARE(progress.last().at(0).toInt(), messages);
        QVERIFY(progress.size() >= 2);
        QCOMPARE(progress.first().at(0).toInt(), 0);
        QCOMPARE(progress.last().at(1).toInt(), messages);
        QVERIFY(QFileInfo::exists(programFolder.dataFile(SearchIndex::fileName())));

        search.search(QStringLiteral("倉庫"));
        QTRY_COMPARE(found.size(), 2);
        const auto after = found.at(1).at(1).value<SearchResult>();
        QCOMPARE(after.count, before.count);
        for (int row = 0; row < before.rows.size(); ++row)
            QCOMPARE(std::pair(after.rows.at(row).folder, after.rows.at(row).recordNumber),
                std::pair(before.rows.at(row).folder, before.rows.at(row).recordNumber));
    }
};

NEMUROA_QTEST_SUITE(SearchAllFormTest)
#include "SearchAllFormTest.moc"
