#include "QtTestSuites.h"
#include "BoxKeyAnswerer.h"
#include "EnlargedView.h"
#include "FolderFiles.h"
#include "MainFormHarness.h"
#include "MainScreen.h"
#include "QtMessageBoxService.h"
#include "RecordLayouts.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>

#include <algorithm>

namespace Names = WidgetNames;
using Request = MessageBoxService::Request;

namespace {

constexpr int MessageLength = 32284;

MessageFields message(int number)
{
    return {QStringLiteral("件名%1").arg(number), QStringLiteral("sender%1@example.jp").arg(number),
        QStringLiteral("Mon, %1 Dec 2026 10:00:00 +0900").arg(number), QStringLiteral("本文%1\r\n二行目").arg(number)};
}

// The body as the body box and the clipboard hold it: the editor keeps line breaks as LF.
QString shownBody(int number) { return message(number).body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

} // namespace

class MailScreenTest : public QObject {
    Q_OBJECT

private:
    struct Window {
        explicit Window(const TestProgramFolder& folder) : harness(folder) {}
        Window(const TestProgramFolder& folder, NMailApi& mail, MessageBoxService& boxes) : harness(folder, mail, boxes) {}
        MainFormHarness harness;

        MainForm& form() const { return harness.form(); }
        QLineEdit* box(const QString& name) const { return harness.find<QLineEdit>(name); }
        QString text(const QString& name) const { return box(name)->text(); }
        QString body() const { return harness.find<QTextEdit>(Names::rtfEd)->toPlainText(); }
        QTreeView* list() const { return harness.find<QTreeView>(Names::MailListView); }
        QString cell(int row, int column) const { return list()->model()->index(row, column).data().toString(); }
        int rows() const { return list()->model()->rowCount(); }
        void press(const QString& button) const { QTest::mouseClick(harness.find<QPushButton>(button), Qt::LeftButton); }
        void clickRow(int row) const
        {
            const QRect cellRect = list()->visualRect(list()->model()->index(row, 0));
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier, cellRect.center());
        }
        void clickBelowTheRows() const
        {
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier, list()->viewport()->rect().bottomLeft() + QPoint(5, -5));
        }
        QToolButton* arrow(Qt::ArrowType type) const
        {
            for (QToolButton* button : harness.find<QWidget>(Names::UpDown1)->findChildren<QToolButton*>()) {
                if (button->arrowType() == type)
                    return button;
            }
            return nullptr;
        }
        bool visible(const QString& name) const { return harness.find<QWidget>(name)->isVisible(); }
    };

    static void putMessages(const TestProgramFolder& folder, int k, int count)
    {
        for (int number = 1; number <= count; ++number)
            QVERIFY(StoreMessage(folder.paths(), k, number, message(number)).ok());
    }

    static bool temporaryCopyLeft(const TestProgramFolder& folder)
    {
        return !QDir(folder.paths().dataFolder()).entryList({QStringLiteral("VBMDATA*.TMP")}, QDir::Files).isEmpty();
    }

    // A question whose yes deletes: a stray Enter answers no.
    static bool isDeleteQuestion(const Request& request, const QString& text)
    {
        return request.text == text && request.title == QStringLiteral("確認") && request.buttons == MessageBoxService::Buttons::YesNo
            && request.icon == MessageBoxService::Icon::Question && request.defaultAnswer == MessageBoxService::Answer::No;
    }

private slots:
    void openingAFolderShowsItsRecordsAndTheNewestMessage_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("messages");
        QTest::newRow("empty folder 1") << 7 << 0;
        QTest::newRow("folder 3 of three") << 9 << 3;
        QTest::newRow("others folder of one") << 16 << 1;
    }
    void openingAFolderShowsItsRecordsAndTheNewestMessage()
    {
        QFETCH(int, tab);
        QFETCH(int, messages);
        const int folder = tab - 6;
        TestProgramFolder programFolder;
        putMessages(programFolder, folder, messages);
        Window window(programFolder);
        QVERIFY(window.harness.start());
        // Left-overs of earlier screens that opening a folder must clear.
        window.harness.clickTab(17);
        window.harness.clickTab(4);
        window.box(Names::Text11)->setText(QStringLiteral("old@example.jp"));
        window.box(Names::Text48)->setText(QStringLiteral("1"));
        window.box(Names::Text7)->setText(QStringLiteral("old subject"));
        window.form().setNewCounter(folder, QStringLiteral("5"));
        auto* body = window.harness.find<QTextEdit>(Names::rtfEd);
        body->move(body->x(), 0);

        window.harness.clickTab(tab);

        QCOMPARE(window.form().CurrentFolder, folder);
        QVERIFY(window.form().menusEnabled());
        QVERIFY(window.visible(Names::Frame1_0));
        QVERIFY(!window.visible(Names::Frame2));
        QCOMPARE(window.text(Names::Text48), QString());
        QCOMPARE(window.text(Names::Text11), QString());
        QCOMPARE(body->geometry().top(), Twips::toPixels(3900));
        QCOMPARE(body->height(), Twips::toPixels(3700));
        QCOMPARE(window.rows(), messages);
        QList<qint16> map;
        // The fields' padding stays in the file and out of the list, where it would be elided.
        for (int row = 0; row < messages; ++row) {
            QCOMPARE(window.cell(row, 0), message(row + 1).subject);
            QCOMPARE(window.cell(row, 1), message(row + 1).from);
            QCOMPARE(window.cell(row, 2), message(row + 1).date);
            map.append(static_cast<qint16>(row + 1));
        }
        map.append(0);
        QCOMPARE(window.form().RowRecordMap, map);

        const MessageFields newest = messages > 0 ? message(messages) : MessageFields{};
        QCOMPARE(window.text(Names::Text7), newest.subject);
        QCOMPARE(window.text(Names::Text8), newest.from);
        QCOMPARE(window.text(Names::Text9), newest.date);
        QCOMPARE(window.body(), messages > 0 ? shownBody(messages) : QString());
        // One round trip through the clipboard, for the newest body only.
        QCOMPARE(window.harness.clipboard.sets, messages > 0 ? 1 : 0);
        QCOMPARE(window.harness.clipboard.contents, messages > 0 ? shownBody(messages) : QString());
        QCOMPARE(window.text(Names::Text29), QString::number(messages));
        QCOMPARE(window.form().pastCounter(folder), QString::number(messages));
        QCOMPARE(window.form().newCounter(folder), QStringLiteral("0"));
        QVERIFY(window.harness.messageBoxes.requests.isEmpty());
    }

    void aSubjectWithANulShowsCutInTheListAndWholeInTheBox()
    {
        TestProgramFolder programFolder;
        Record record(RecordLayouts::Message);
        record.setText(RecordLayouts::MessageField::From, u"a@example.jp");
        std::string bytes = record.bytes();
        bytes.replace(0, 9, std::string("abc\0def g", 9));
        QVERIFY(FolderFiles::folderFile(programFolder.paths(), 2).append(Record(RecordLayouts::Message, bytes)).ok());
        Window window(programFolder);
        QVERIFY(window.harness.start());

        window.harness.clickTab(8);

        QCOMPARE(window.cell(0, 0), QStringLiteral("abc"));
        QCOMPARE(window.text(Names::Text7), QStringLiteral("abc") + QChar(u'\0') + QStringLiteral("def g"));
    }

    void theSentHistoryShowsRecipientAndSendingTimeAndLeavesTheCounters()
    {
        TestProgramFolder programFolder;
        const RecordFile history = FolderFiles::folderFile(programFolder.paths(), FolderFiles::SentHistory);
        for (int number = 1; number <= 2; ++number) {
            Record sent(RecordLayouts::Sent);
            sent.setText(RecordLayouts::SentField::Subject, QStringLiteral("送信%1").arg(number));
            sent.setText(RecordLayouts::SentField::To, QStringLiteral("to%1@example.jp").arg(number));
            sent.setText(RecordLayouts::SentField::Body, QStringLiteral("body %1").arg(number));
            sent.setText(RecordLayouts::SentField::SentAt, QStringLiteral("2026/12/0%1 10:00:00").arg(number));
            QVERIFY(history.append(sent).ok());
        }
        putMessages(programFolder, 10, 1);
        Window window(programFolder);
        QVERIFY(window.harness.start());

        window.harness.clickTab(17);

        QCOMPARE(window.form().CurrentFolder, 11);
        QCOMPARE(window.rows(), 2);
        QCOMPARE(window.cell(1, 0).trimmed(), QStringLiteral("送信2"));
        QCOMPARE(window.cell(1, 1).trimmed(), QStringLiteral("to2@example.jp"));
        QCOMPARE(window.cell(1, 2).trimmed(), QStringLiteral("2026/12/02 10:00:00"));
        QCOMPARE(window.text(Names::Text8), QStringLiteral("to2@example.jp"));
        QCOMPARE(window.text(Names::Text9), QStringLiteral("2026/12/02 10:00:00"));
        QCOMPARE(window.body(), QStringLiteral("body 2"));
        QCOMPARE(window.text(Names::Text29), QStringLiteral("2"));
        QCOMPARE(window.form().pastCounter(10), QStringLiteral("1"));
        QCOMPARE(window.form().newCounter(10), QString());

        // The main screen keeps the folder the list works on.
        window.harness.clickTab(1);
        QCOMPARE(window.form().CurrentFolder, 11);
    }

    void clickingTheListOrEnterOnItShowsTheChosenRecord()
    {
        TestProgramFolder programFolder;
        putMessages(programFolder, 4, 3);
        Window window(programFolder);
        QVERIFY(window.harness.start());

        window.harness.clickTab(7);
        window.clickBelowTheRows();
        QCOMPARE(window.text(Names::Text48), QStringLiteral("1"));
        QCOMPARE(window.harness.messageBoxes.texts(), QStringList{QStringLiteral("選択するデータがありません。")});
        QCOMPARE(window.harness.messageBoxes.requests[0].title, QStringLiteral("Nemuroa"));

        window.harness.clickTab(10);
        window.clickRow(0);
        QCOMPARE(window.text(Names::Text7), message(1).subject);
        window.clickRow(2);
        QCOMPARE(window.text(Names::Text7), message(3).subject);
        QCOMPARE(window.text(Names::Text8), message(3).from);
        QCOMPARE(window.text(Names::Text9), message(3).date);
        // Each field shows its start, however long the text.
        for (const QString& field : {Names::Text7, Names::Text8, Names::Text9})
            QCOMPARE(window.box(field)->cursorPosition(), 0);
        QCOMPARE(window.body(), shownBody(3));
        QCOMPARE(window.harness.clipboard.contents, shownBody(3));
        QCOMPARE(window.text(Names::Text29), QStringLiteral("3"));
        QCOMPARE(window.harness.messageBoxes.requests.size(), 1);

        // Arrows move the highlight alone; Enter on the list is the click for a hand on the keyboard.
        window.list()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(window.list()->hasFocus());
        QWindow* handle = window.form().windowHandle();
        QTest::keyClick(handle, Qt::Key_Home);
        QTest::keyClick(handle, Qt::Key_Down);
        QCOMPARE(window.text(Names::Text7), message(3).subject);
        QTest::keyClick(handle, Qt::Key_Return);
        QCOMPARE(window.text(Names::Text7), message(2).subject);
        QTest::keyClick(handle, Qt::Key_Up);
        QTest::keyClick(handle, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(window.text(Names::Text7), message(1).subject);
        QCOMPARE(window.harness.clipboard.contents, shownBody(1));
        QVERIFY(window.list()->hasFocus());
        QCOMPARE(window.harness.messageBoxes.requests.size(), 1);
    }

    void theEnlargedViewNeedsAClickedMessageAndKeepsItsFontSizeWithinBounds()
    {
        TestProgramFolder programFolder;
        putMessages(programFolder, 1, 2);
        Window window(programFolder);
        QVERIFY(window.harness.start());

        window.harness.clickTab(8);
        window.clickBelowTheRows();
        window.press(Names::Command29);
        QCOMPARE(window.harness.messageBoxes.count(QStringLiteral("選択するデータがありません。")), 2);

        window.harness.clickTab(7);
        window.press(Names::Command29);
        QCOMPARE(window.harness.messageBoxes.texts().last(), QStringLiteral("データが選択されていません"));
        QVERIFY(!window.form().menusEnabled());
        QVERIFY(window.visible(Names::Frame1_0));

        window.clickRow(0);
        window.harness.messageBoxes.requests.clear();
        window.press(Names::Command29);
        QVERIFY(window.harness.messageBoxes.requests.isEmpty());
        QVERIFY(window.visible(Names::Frame6));
        QVERIFY(!window.visible(Names::Frame1_0));
        QVERIFY(!window.form().tabStrip().isVisible());
        QVERIFY(!window.form().menusEnabled());
        QCOMPARE(window.harness.find<QWidget>(Names::Frame6)->pos(), QPoint(0, 0));
        QCOMPARE(window.text(Names::Text25), message(1).subject);
        QCOMPARE(window.text(Names::Text24), message(1).from);
        QCOMPARE(window.text(Names::Text46), message(1).date);
        for (const QString& field : {Names::Text25, Names::Text24, Names::Text46})
            QCOMPARE(window.box(field)->cursorPosition(), 0);
        QCOMPARE(window.harness.find<QTextEdit>(Names::Text15)->toPlainText(), shownBody(1));
        QCOMPARE(window.text(Names::Text22), QStringLiteral("12"));

        auto fontSizes = [&] {
            QList<qreal> sizes;
            for (const QString& name : {Names::Text15, Names::Text46, Names::Text24, Names::Text25})
                sizes.append(window.harness.find<QWidget>(name)->font().pointSizeF());
            return sizes;
        };
        QCOMPARE(fontSizes(), QList<qreal>(4, 12));
        for (int click = 0; click < 6; ++click)
            QTest::mouseClick(window.arrow(Qt::DownArrow), Qt::LeftButton);
        QCOMPARE(window.text(Names::Text22), QStringLiteral("8"));
        QCOMPARE(fontSizes(), QList<qreal>(4, 8));
        for (int click = 0; click < 195; ++click)
            QTest::mouseClick(window.arrow(Qt::UpArrow), Qt::LeftButton);
        QCOMPARE(window.text(Names::Text22), QStringLiteral("200"));
        QCOMPARE(fontSizes(), QList<qreal>(4, 200));
        // The boxes grow with their font and what lies below them moves down.
        for (const QString& name : {Names::Text25, Names::Text24, Names::Text46})
            QVERIFY2(window.box(name)->height() >= QFontMetrics(window.box(name)->font()).height(), qPrintable(name));
        const int tallest = window.box(Names::Text25)->height();
        QVERIFY(window.box(Names::Text24)->y() > window.box(Names::Text25)->geometry().bottom());
        QVERIFY(window.harness.find<QWidget>(Names::Text15)->y() > window.box(Names::Text46)->geometry().bottom());

        // In the size box the arrow keys step the size, and a typed size is taken with Enter unless
        // it lies outside 8 to 200, which is refused with a notice.
        QLineEdit* size = window.box(Names::Text22);
        size->setFocus();
        QTest::keyClick(size, Qt::Key_Down);
        QCOMPARE(fontSizes(), QList<qreal>(4, 199));
        const auto typeSize = [&](const char* typed) {
            size->selectAll();
            QTest::keyClicks(size, QString::fromLatin1(typed));
            QTest::keyClick(size, Qt::Key_Return);
        };
        typeSize("300");
        QCOMPARE(window.harness.messageBoxes.texts(), QStringList{EnlargedView::fontSizeOutOfRangeText()});
        QCOMPARE(size->text(), QStringLiteral("199"));
        QCOMPARE(fontSizes(), QList<qreal>(4, 199));
        typeSize("20");
        QCOMPARE(fontSizes(), QList<qreal>(4, 20));
        QTest::keyClick(size, Qt::Key_Up);
        QCOMPARE(size->text(), QStringLiteral("21"));
        QCOMPARE(window.harness.messageBoxes.texts().size(), 1);
        QVERIFY(window.box(Names::Text25)->height() < tallest);

        window.press(Names::Command1);
        QVERIFY(window.visible(Names::Frame5));
        QVERIFY(window.visible(Names::List2));
        QVERIFY(!window.visible(Names::Frame6));
        QVERIFY(window.form().tabStrip().isVisible());
        QVERIFY(window.form().menusEnabled());
        QCOMPARE(window.form().tabStrip().selectedIndex(), 7);

        // Opening it again starts from 12 points.
        window.harness.clickTab(7);
        window.clickRow(1);
        window.press(Names::Command29);
        QCOMPARE(window.text(Names::Text22), QStringLiteral("12"));
        QCOMPARE(window.text(Names::Text25), message(2).subject);
    }

    void deletingTheMiddleRecordClosesTheGapAndShowsTheLastAsStored()
    {
        TestProgramFolder programFolder;
        putMessages(programFolder, 5, 3);
        const QByteArray before = programFolder.contents(QStringLiteral("★MAilData/vbmdata5.data"));
        Window window(programFolder);
        QVERIFY(window.harness.start());
        window.harness.clickTab(11);
        window.form().setNewCounter(5, QStringLiteral("4"));

        window.clickRow(1);
        window.press(Names::Command3);

        QCOMPARE(window.harness.messageBoxes.requests.size(), 1);
        QVERIFY(isDeleteQuestion(window.harness.messageBoxes.requests[0], QStringLiteral("選択された（行、青色）データを削除します。よろしいですか")));
        const QByteArray after = programFolder.contents(QStringLiteral("★MAilData/vbmdata5.data"));
        QCOMPARE(after.size(), 64568);
        QCOMPARE(after.left(MessageLength), before.left(MessageLength));
        QCOMPARE(after.mid(MessageLength), before.mid(2 * MessageLength));
        QVERIFY(!temporaryCopyLeft(programFolder));
        QCOMPARE(window.rows(), 2);
        QCOMPARE(window.cell(1, 0).trimmed(), message(3).subject);
        QCOMPARE(window.form().RowRecordMap, (QList<qint16>{1, 2, 0}));
        // The reload leaves the fields as stored, padding and all; only the body went through the clipboard.
        QCOMPARE(window.text(Names::Text7), message(3).subject.leftJustified(98, u' '));
        QCOMPARE(window.text(Names::Text7).trimmed(), message(3).subject);
        QCOMPARE(window.body(), shownBody(3));
        // The clipboard gets the body box's text as it stands, padding included (13 bytes of text).
        QCOMPARE(window.harness.clipboard.contents, shownBody(3) + QString(32000 - 13, u' '));
        QCOMPARE(window.text(Names::Text29), QStringLiteral("2"));
        QCOMPARE(window.form().pastCounter(5), QStringLiteral("2"));
        QCOMPARE(window.form().newCounter(5), QStringLiteral("4"));
        QCOMPARE(window.text(Names::Text48), QString());

        window.press(Names::Command3);
        QCOMPARE(window.harness.messageBoxes.texts().last(), QStringLiteral("データが選択されていません"));
    }

    void deletingTheOnlyMessageEmptiesFileListAndFields()
    {
        TestProgramFolder programFolder;
        putMessages(programFolder, 6, 1);
        Window window(programFolder);
        QVERIFY(window.harness.start());
        window.harness.clickTab(12);

        window.clickRow(0);
        window.press(Names::Command3);

        QVERIFY(programFolder.contents(QStringLiteral("★MAilData/vbmdata6.data")).isEmpty());
        QVERIFY(programFolder.exists(QStringLiteral("★MAilData/vbmdata6.data")));
        QCOMPARE(window.rows(), 0);
        for (const QString& name : {Names::Text7, Names::Text8, Names::Text9})
            QCOMPARE(window.text(name), QString());
        QCOMPARE(window.body(), QString());
        QCOMPARE(window.text(Names::Text29), QStringLiteral("0"));
        QCOMPARE(window.form().pastCounter(6), QStringLiteral("0"));
        QVERIFY(!temporaryCopyLeft(programFolder));
    }

    void answeringNoKeepsTheMessageAndClearsTheMarker()
    {
        TestProgramFolder programFolder;
        putMessages(programFolder, 1, 2);
        const QByteArray before = programFolder.contents(QStringLiteral("★MAilData/vbmdata1.data"));
        Window window(programFolder);
        QVERIFY(window.harness.start());
        window.harness.clickTab(7);
        window.clickRow(0);
        window.harness.messageBoxes.answers = {MessageBoxService::Answer::No};

        window.press(Names::Command3);
        QCOMPARE(window.text(Names::Text48), QString());
        QCOMPARE(programFolder.contents(QStringLiteral("★MAilData/vbmdata1.data")), before);
        QCOMPARE(window.rows(), 2);

        window.press(Names::Command3);
        QCOMPARE(window.harness.messageBoxes.texts().last(), QStringLiteral("データが選択されていません"));
        QCOMPARE(window.harness.messageBoxes.requests.size(), 2);
    }

    void deletingOneNeedsASelectedRowOfAFolderWithMessages()
    {
        TestProgramFolder programFolder;
        putMessages(programFolder, 2, 2);
        Window window(programFolder);
        QVERIFY(window.harness.start());

        window.harness.clickTab(7);
        window.clickBelowTheRows();
        window.press(Names::Command3);
        QCOMPARE(window.harness.messageBoxes.texts().last(), QStringLiteral("選択するデータがありません。"));

        // A click beside the rows of a folder with messages selects no row to delete.
        window.harness.clickTab(8);
        window.clickBelowTheRows();
        window.harness.messageBoxes.requests.clear();
        window.press(Names::Command3);
        QCOMPARE(window.harness.messageBoxes.texts(), QStringList{QStringLiteral("データが選択されていません")});
        QCOMPARE(FolderFiles::folderFile(programFolder.paths(), 2).recordCount().value(), 2);
    }

    void deletingAllEmptiesTheFolderAndSetsItsCounters_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("messages");
        QTest::addColumn<QString>("folderName");
        QTest::newRow("empty folder 9, a rule without a name") << 15 << 0 << QStringLiteral("仕分け 9");
        QTest::newRow("folder 10 of three") << 16 << 3 << QStringLiteral("着信 その他");
        QTest::newRow("sent history") << 17 << 2 << QStringLiteral("送信履歴");
    }
    void deletingAllEmptiesTheFolderAndSetsItsCounters()
    {
        QFETCH(int, tab);
        QFETCH(int, messages);
        QFETCH(QString, folderName);
        const int folder = tab - 6;
        TestProgramFolder programFolder;
        const RecordFile file = FolderFiles::folderFile(programFolder.paths(), folder);
        for (int number = 1; number <= messages; ++number)
            QVERIFY(file.append(Record(file.layout())).ok());
        putMessages(programFolder, 3, 2);
        Window window(programFolder);
        QVERIFY(window.harness.start());
        window.harness.clickTab(tab);
        window.form().setNewCounter(3, QStringLiteral("1"));
        if (folder <= 10)
            window.form().setNewCounter(folder, QStringLiteral("6"));
        window.box(Names::Text48)->setText(QStringLiteral("1"));

        window.press(Names::Command6);

        QCOMPARE(window.harness.messageBoxes.requests.size(), 1);
        QVERIFY(isDeleteQuestion(window.harness.messageBoxes.requests[0], QStringLiteral("「%1」のすべてのデータを削除して良いですか？").arg(folderName)));
        QVERIFY(QFileInfo::exists(file.path()));
        QCOMPARE(QFileInfo(file.path()).size(), 0);
        QVERIFY(!temporaryCopyLeft(programFolder));
        QCOMPARE(window.rows(), 0);
        QCOMPARE(window.form().RowRecordMap, QList<qint16>{0});
        for (const QString& name : {Names::Text7, Names::Text8, Names::Text9})
            QCOMPARE(window.text(name), QString());
        QCOMPARE(window.body(), QString());
        QCOMPARE(window.text(Names::Text29), QStringLiteral("0"));
        QCOMPARE(window.text(Names::Text48), QStringLiteral("1"));
        if (folder <= 10) {
            QCOMPARE(window.form().pastCounter(folder), QStringLiteral("0"));
            QCOMPARE(window.form().newCounter(folder), QStringLiteral("0"));
        }
        QCOMPARE(window.form().pastCounter(3), QStringLiteral("2"));
        QCOMPARE(window.form().newCounter(3), QStringLiteral("1"));
    }

    void answeringNoToDeletingAllKeepsEverything()
    {
        TestProgramFolder programFolder;
        putMessages(programFolder, 1, 2);
        Window window(programFolder);
        QVERIFY(window.harness.start());
        window.harness.clickTab(7);
        window.harness.messageBoxes.answers = {MessageBoxService::Answer::No};

        window.press(Names::Command6);

        QCOMPARE(FolderFiles::folderFile(programFolder.paths(), 1).recordCount().value(), 2);
        QCOMPARE(window.rows(), 2);
        QCOMPARE(window.text(Names::Text7), message(2).subject);
    }

    // A stray Enter on a delete question, sent to the real box's own window, answers no.
    void aStrayEnterOnADeleteQuestionDeletesNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("一件削除") << Names::Command3;
        QTest::newRow("全件削除") << Names::Command6;
    }
    void aStrayEnterOnADeleteQuestionDeletesNothing()
    {
        QFETCH(QString, button);
        TestProgramFolder programFolder;
        putMessages(programFolder, 1, 2);
        FakeNMail mail;
        QtMessageBoxService boxes;
        Window window(programFolder, mail, boxes);
        QVERIFY(window.harness.start());
        boxes.setParentWindow(&window.form());
        window.harness.clickTab(7);
        window.clickRow(0);
        BoxKeyAnswerer answerer({Qt::Key_Return});

        window.press(button);

        QCOMPARE(answerer.titles(), QStringList{QStringLiteral("確認")});
        QVERIFY(answerer.ignored.isEmpty());
        QCOMPARE(FolderFiles::folderFile(programFolder.paths(), 1).recordCount().value(), 2);
        QCOMPARE(window.rows(), 2);
    }

    void theScreenFollowsTheWindowSizeAndTheColumnsKeepTheirStartWidths()
    {
        TestProgramFolder programFolder;
        Window window(programFolder);
        QVERIFY(window.harness.start());
        auto geometryOf = [&](const QString& name) { return window.harness.find<QWidget>(name)->geometry(); };
        auto columnWidths = [&] {
            QHeaderView* header = window.list()->header();
            return QList<int>{header->sectionSize(0), header->sectionSize(1), header->sectionSize(2)};
        };
        const QList<int> startColumns{Twips::toPixels(4687.5), Twips::toPixels(2343.75), Twips::toPixels(2343.75)};
        QCOMPARE(columnWidths(), startColumns);

        auto checkLayout = [&](double w) {
            QCOMPARE(geometryOf(Names::MailListView), Twips::rect(0, 1200, 0.99 * w, 2325));
            QCOMPARE(geometryOf(Names::Text7), Twips::rect(10, 3525, 0.5 * w, 375));
            QCOMPARE(geometryOf(Names::Text8), Twips::rect(10 + 0.5 * w, 3525, 0.3 * w, 375));
            // The date box ends inside the window: the outer width w includes the window's borders.
            const QRect date = Twips::rect(0.8 * w - 10, 3525, 0.2 * w, 375);
            QCOMPARE(geometryOf(Names::Text9).topLeft(), date.topLeft());
            QCOMPARE(geometryOf(Names::Text9).height(), date.height());
            QCOMPARE(geometryOf(Names::Text9).right(), std::min(date.right(), window.form().width() - 1));
            QVERIFY(window.form().rect().contains(
                QRect(window.harness.find<QWidget>(Names::Text9)->mapTo(&window.form(), QPoint()), geometryOf(Names::Text9).size())));
            QCOMPARE(geometryOf(Names::rtfEd), Twips::rect(0, 3905, 0.99 * w, 3720));
            QCOMPARE(geometryOf(Names::Picture1_1).width(), Twips::toPixels(w));
            QCOMPARE(geometryOf(Names::Frame1_0).size(), Twips::size(w, 9300));
            QCOMPARE(geometryOf(Names::Frame6).size(), Twips::size(0.99 * w, 0.92 * 9300));
            QCOMPARE(geometryOf(Names::Text15).size(), Twips::size(0.99 * w, 0.92 * 9300));
            QCOMPARE(columnWidths(), startColumns);
        };
        checkLayout(11300);

        window.form().setOuterSizeTwips(13300, 9300);
        QTRY_COMPARE(geometryOf(Names::MailListView).width(), Twips::toPixels(0.99 * 13300));
        checkLayout(13300);
        QCOMPARE(geometryOf(Names::MailListView).width() - Twips::toPixels(11187), Twips::toPixels(1980));
    }
};

NEMUROA_QTEST_SUITE(MailScreenTest)
#include "MailScreenTest.moc"
