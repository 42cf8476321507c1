#include "QtTestSuites.h"
#include "AddressBook.h"
#include "ComposeScreen.h"
#include "FolderFiles.h"
#include "MailScreen.h"
#include "MainFormHarness.h"
#include "RecordLayouts.h"
#include "SendController.h"
#include "SendRun.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

namespace Names = WidgetNames;
using RecordLayouts::SentField;

// The compose and reply screens through the real main window, on the scripted mail library.
class ComposeSendTest : public QObject {
    Q_OBJECT

private:
    struct Window {
        Window()
        {
            folder.putServerSettings("SMTP=smtp.example.jp\r\nPOP3=pop.example\r\nMAIL=me@example.jp\r\n");
            started = harness.start();
        }

        TestProgramFolder folder;
        MainFormHarness harness{folder};
        bool started = false;
        FakeMessageBoxService& messageBoxes = harness.messageBoxes;
        FakeNMail& mail = harness.mail;

        QLineEdit* box(const QString& name) const { return harness.find<QLineEdit>(name); }
        QString text(const QString& name) const { return box(name)->text(); }
        QPlainTextEdit* body(const QString& name = Names::BodyText) const { return harness.find<QPlainTextEdit>(name); }
        QListWidget* list(const QString& name) const { return harness.find<QListWidget>(name); }
        QRadioButton* option(const QString& name) const { return harness.find<QRadioButton>(name); }
        QPushButton* button(const QString& name) const { return harness.find<QPushButton>(name); }
        void click(const QString& name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
        bool visible(const QString& name) const { return harness.find<QWidget>(name)->isVisible(); }
        void clickRow(const QString& name, int row) const
        {
            QListWidget* rows = list(name);
            QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, rows->visualItemRect(rows->item(row)).center());
        }
        void compose(const QString& to, const QString& subject, const QString& body) const
        {
            harness.clickTab(2);
            box(Names::ToText)->setText(to);
            box(Names::SubjectText)->setText(subject);
            this->body()->setPlainText(body);
        }
        void addEntries(int count) const
        {
            for (int i = 1; i <= count; ++i)
                QVERIFY(AddressBook(folder.paths()).RegisterAddress(QStringLiteral("名前%1").arg(i), QStringLiteral("p%1@example.jp").arg(i)).ok());
        }
        QList<Record> sentRecords() const
        {
            QList<Record> found;
            (void)FolderFiles::folderFile(folder.paths(), FolderFiles::SentHistory).forEach([&](int, std::string_view bytes) {
                found.append(Record(RecordLayouts::Sent, std::string(bytes)));
                return true;
            });
            return found;
        }
        QStringList sentTo() const
        {
            QStringList to;
            for (const FakeNMail::SentMail& sent : mail.sent)
                to.append(sent.to);
            return to;
        }
        // A message of folder 10, listed and clicked, ready for "返事".
        void selectMessage(const MessageFields& fields) const
        {
            QVERIFY(StoreMessage(folder.paths(), 10, 1, fields).ok());
            harness.clickTab(16);
            auto* rows = harness.find<QTreeView>(Names::MailListView);
            QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, rows->visualRect(rows->model()->index(0, 0)).center());
        }
    };

private slots:
    void startUpSetsTheComposeControls()
    {
        Window window;
        QVERIFY(window.started);
        auto* lines = window.harness.find<QComboBox>(Names::Combo1);
        QCOMPARE(lines->count(), 8);
        QCOMPARE(lines->itemText(0), QStringLiteral("御社益々ご清祥の事とお慶び申し上げます。"));
        QCOMPARE(lines->itemText(7), QStringLiteral("こんにちわ。お変わりなく、お元気ですか？"));
        QVERIFY(lines->isEditable());
        window.harness.clickTab(2);
        QVERIFY(!window.option(Names::Option2)->isChecked());
        QVERIFY(!window.visible(Names::List4));
        QVERIFY(window.visible(Names::ToText));
        // Controls without a role exist for start-up, hidden; it disables and clears them.
        QVERIFY(!window.button(Names::Command9)->isEnabled());
        QVERIFY(!window.button(Names::Command9)->isVisible());
        QVERIFY(!window.harness.find<QCheckBox>(Names::Check2)->isVisible());
    }

    void aComposedSendStoresOneRecordSendsAndReturnsToTheMainScreen()
    {
        Window window;
        window.compose(QStringLiteral(" to@example.jp "), QStringLiteral(" 件名 "), QStringLiteral("本文\n"));
        window.box(Names::AttachText)->setText(QStringLiteral("/tmp/a.txt,/tmp/b.txt"));
        QStringList duringSend;
        window.mail.whileSending = [&](const FakeNMail::SentMail&) {
            duringSend = {window.harness.form().statusText(), window.harness.form().windowTitle()};
            // A second press while the library blocks starts nothing, and a click is dropped.
            window.button(Names::Command14)->click();
            window.harness.clickTab(4);
            duringSend.append(window.visible(Names::Frame2) ? QStringLiteral("address book shown") : QStringLiteral("compose kept"));
        };

        window.click(Names::Command14);

        QCOMPARE(duringSend, QStringList({ComposeScreen::sending(), QStringLiteral("Nemuroa - 送信中 1/1"), QStringLiteral("compose kept")}));
        QCOMPARE(window.mail.sent.size(), 1);
        const FakeNMail::SentMail& sent = window.mail.sent.first();
        QCOMPARE(sent.server, QStringLiteral("smtp.example.jp"));
        QCOMPARE(sent.from, QStringLiteral("me@example.jp"));
        QCOMPARE(sent.to, QStringLiteral(" to@example.jp "));
        QCOMPARE(sent.attachments, QStringLiteral("/tmp/a.txt,/tmp/b.txt"));
        const QList<Record> records = window.sentRecords();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].text(SentField::To).trimmed(), QStringLiteral("to@example.jp"));
        QCOMPARE(records[0].text(SentField::Subject).trimmed(), QStringLiteral("件名"));
        QCOMPARE(records[0].live(), 1);
        QVERIFY(!records[0].text(SentField::SentAt).trimmed().isEmpty());

        for (const QString& emptied : {Names::ToText, Names::SubjectText, Names::AttachText})
            QCOMPARE(window.text(emptied), QString());
        QCOMPARE(window.body()->toPlainText(), QString());
        QVERIFY(window.visible(Names::Frame5) && window.visible(Names::List2) && !window.visible(Names::Frame3));
        QCOMPARE(window.harness.form().statusText(), ComposeScreen::finishedStatus());
        QCOMPARE(window.harness.form().windowTitle(), QStringLiteral("Nemuroa"));
        QVERIFY(!window.harness.form().isOperationInProgress());
    }

    // The window stays alive while a send runs, timers and all; a timer that asks for a receive
    // meanwhile starts nothing.
    void aTimerDuringASendRunsButStartsNoReceive()
    {
        Window window;
        window.compose(QStringLiteral("to@example.jp"), QStringLiteral("s"), QStringLiteral("b"));
        QTimer ticking;
        int ticks = 0;
        connect(&ticking, &QTimer::timeout, &ticking, [&] {
            ++ticks;
            emit window.harness.form().receiveRequested();
        });
        ticking.start(0);
        window.click(Names::Command14);
        ticking.stop();
        QVERIFY(ticks > 0);
        QCOMPARE(window.mail.sent.size(), 1);
        QVERIFY(!window.mail.calls.join(u'\n').contains(QStringLiteral("NMailPop3Connect")));
    }

    void aRejectedSendKeepsItsRecordShowsOneSendErrorAndKeepsTheMail()
    {
        Window window;
        window.mail.sendResult = -1;
        window.mail.errorText = QStringLiteral("550 no such mailbox");
        window.compose(QStringLiteral("x@example.jp"), QStringLiteral("s"), QStringLiteral("b"));
        window.click(Names::Command14);
        QCOMPARE(window.messageBoxes.requests.size(), 1);
        QCOMPARE(window.messageBoxes.requests[0].title, SendController::sendErrorTitle());
        QCOMPARE(window.messageBoxes.requests[0].text, QStringLiteral("550 no such mailbox\r\n\r\n") + SendRun::nothingSentText());
        QCOMPARE(window.sentRecords().size(), 1);
        QCOMPARE(window.harness.form().statusText(), SendRun::nothingSentText());
        QCOMPARE(window.text(Names::ToText), QStringLiteral("x@example.jp"));
        QVERIFY(window.visible(Names::Frame3));
    }

    void bulkSendGoesToEveryEntryInFileOrder()
    {
        Window window;
        window.addEntries(3);
        window.compose(QStringLiteral("typed@example.jp"), QStringLiteral("お知らせ"), QStringLiteral("本文"));
        QCOMPARE(window.list(Names::List5)->count(), 3);
        QCOMPARE(window.text(Names::Text12), QStringLiteral("3"));
        QTest::mouseClick(window.option(Names::Option2), Qt::LeftButton);
        QCOMPARE(window.list(Names::List5)->palette().color(QPalette::Base), ComposeScreen::bulkColour());

        window.click(Names::Command14);

        QCOMPARE(window.sentTo(), QStringList({QStringLiteral("p1@example.jp"), QStringLiteral("p2@example.jp"), QStringLiteral("p3@example.jp")}));
        const QList<Record> records = window.sentRecords();
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[0].bytes(), records[2].bytes());
        QCOMPARE(records[1].text(SentField::To).trimmed(), QStringLiteral("typed@example.jp"));
        QVERIFY(!window.option(Names::Option2)->isChecked() && !window.option(Names::Option1)->isChecked());
        QCOMPARE(window.list(Names::List5)->palette().color(QPalette::Base), ComposeScreen::bulkColour());
    }

    void theNameListAfterAShorterListMapsEachRowToItsEntry()
    {
        Window window;
        window.addEntries(3);
        QVERIFY(StoreMessage(window.folder.paths(), 10, 1, {QStringLiteral("s"), QStringLiteral("f"), QStringLiteral("d"), QStringLiteral("b")}).ok());
        window.harness.clickTab(16);
        window.harness.clickTab(2);
        window.clickRow(Names::List5, 2);
        QCOMPARE(window.text(Names::ToText), QStringLiteral("p3@example.jp"));
        QCOMPARE(window.list(Names::List5)->item(2)->text().trimmed(), QStringLiteral("名前3"));
    }

    void theHelpersFillAndClearTheBoxes()
    {
        Window window;
        window.harness.form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window.harness.form()));
        window.harness.clickTab(2);
        auto* lines = window.harness.find<QComboBox>(Names::Combo1);
        window.body()->setPlainText(QStringLiteral("typed"));
        lines->setFocus();
        // No line is chosen at first: the fourth is four steps down.
        for (int step = 0; step < 4; ++step)
            QTest::keyClick(lines, Qt::Key_Down);
        window.body()->setFocus();
        QCOMPARE(window.body()->toPlainText(), QStringLiteral("いつもお世話になっております。"));

        window.harness.clipboard.contents = QStringLiteral("  貼り付け　");
        window.click(Names::Command16);
        QCOMPARE(window.body()->toPlainText(), QStringLiteral("いつもお世話になっております。貼り付け"));
        window.harness.clipboard.contents = QStringLiteral("to@example.jp");
        window.click(Names::Command17);
        QCOMPARE(window.text(Names::ToText), QStringLiteral("to@example.jp"));

        QTest::mouseClick(window.option(Names::Option2), Qt::LeftButton);
        window.box(Names::SubjectText)->setText(QStringLiteral("s"));
        window.box(Names::AttachText)->setText(QStringLiteral("/a"));
        window.click(Names::Command18);
        for (const QString& emptied : {Names::ToText, Names::SubjectText, Names::AttachText})
            QCOMPARE(window.text(emptied), QString());
        QVERIFY(!window.option(Names::Option2)->isChecked());
        QCOMPARE(window.list(Names::List5)->palette().color(QPalette::Base), ComposeScreen::normalColour());
        // The address book's "登録" keeps working after "クリア" and "取り消し".
        window.click(Names::Command13);
        QVERIFY(window.button(Names::Command10)->isEnabled());
    }

    void attachmentsAreChosenAddedAndRefusedWithAComma()
    {
        Window window;
        window.harness.clickTab(2);
        window.click(Names::Command12);
        QVERIFY(window.visible(Names::List4));
        QCOMPARE(window.harness.fileDialogs.openFilters.size(), 0);

        window.harness.fileDialogs.openAnswers = {QStringLiteral("/files/a.txt")};
        window.click(Names::AttachCommand);
        QCOMPARE(window.text(Names::AttachText), QStringLiteral("/files/a.txt"));
        QVERIFY(!window.button(Names::AttachCommand)->isEnabled());
        window.harness.fileDialogs.openAnswers = {QStringLiteral("/files/b.txt")};
        window.click(Names::Command12);
        QCOMPARE(window.text(Names::AttachText), QStringLiteral("/files/a.txt,/files/b.txt"));
        QCOMPARE(window.list(Names::List4)->count(), 2);

        window.harness.fileDialogs.openAnswers = {QStringLiteral("/files/x,y.txt")};
        window.click(Names::Command12);
        QCOMPARE(window.text(Names::AttachText), QStringLiteral("/files/a.txt,/files/b.txt"));
        QCOMPARE(window.messageBoxes.requests.last().text, ComposeScreen::commaRefused(QStringLiteral("/files/x,y.txt")));

        // A cancelled dialog attaches nothing, not even the file chosen before.
        window.click(Names::Command13);
        window.click(Names::AttachCommand);
        QCOMPARE(window.text(Names::AttachText), QString());
        QVERIFY(window.button(Names::AttachCommand)->isEnabled());
    }

    void aReplyDoublesThePrefixTakesTheBodyAndCarriesItsAttachments()
    {
        Window window;
        window.selectMessage({QStringLiteral("Re: 会議"), QStringLiteral("山田 <taro@example.jp>"), QStringLiteral("d"), QStringLiteral("本文です\r\n二行目")});
        window.click(Names::Command5);
        QVERIFY(window.visible(Names::Frame8));
        QVERIFY(!window.harness.form().tabStrip().isVisible());
        QVERIFY(!window.harness.form().menusEnabled());
        QCOMPARE(window.text(Names::Text41), QStringLiteral("山田 <taro@example.jp>"));
        QCOMPARE(window.text(Names::Text40), QStringLiteral("Re: Re: 会議"));
        QCOMPARE(window.body(Names::Text42)->toPlainText(), QStringLiteral("本文です\n二行目"));
        QCOMPARE(window.harness.clipboard.contents, QStringLiteral("本文です\n二行目"));
        QCOMPARE(window.text(Names::Text48), QString());

        window.harness.fileDialogs.openAnswers = {QStringLiteral("/files/a.txt")};
        window.click(Names::Command32);
        QVERIFY(!window.button(Names::Command32)->isEnabled());
        QVERIFY(!window.button(Names::AttachCommand)->isEnabled());
        window.click(Names::Command34);
        QCOMPARE(window.sentTo(), QStringList{QStringLiteral("山田 <taro@example.jp>")});
        QCOMPARE(window.mail.sent.last().subject, QStringLiteral("Re: Re: 会議"));
        QVERIFY(window.visible(Names::Frame5) && window.harness.form().tabStrip().isVisible());
        QVERIFY(!window.harness.form().menusEnabled());
        QCOMPARE(window.harness.form().statusText(), ComposeScreen::finishedStatus());

        // The mail screen is hidden now; its button is pressed all the same.
        window.button(Names::Command5)->click();
        QCOMPARE(window.messageBoxes.requests.last().text, MailScreen::nothingSelected());
        window.selectMessage({QStringLiteral("次"), QStringLiteral("b@example.jp"), QStringLiteral("d"), QStringLiteral("x")});
        window.click(Names::Command5);
        QCOMPARE(window.text(Names::Text26), QStringLiteral("/files/a.txt"));
        QVERIFY(!window.button(Names::Command32)->isEnabled());
        window.click(Names::Command34);
        QCOMPARE(window.mail.sent.last().attachments, QStringLiteral("/files/a.txt"));
        QCOMPARE(window.sentRecords().size(), 2);
    }

    void goingBackFromAReplyRestoresTheMenusAndCancellingReopensTheDialog()
    {
        Window window;
        window.selectMessage({QStringLiteral("s"), QStringLiteral("a@example.jp"), QStringLiteral("d"), QStringLiteral("b")});
        window.click(Names::Command5);
        window.harness.fileDialogs.openAnswers = {QStringLiteral("/files/a.txt"), QStringLiteral("/files/b.txt")};
        window.click(Names::Command32);
        window.click(Names::Command31);
        QCOMPARE(window.text(Names::Text26), QStringLiteral("/files/b.txt"));
        QCOMPARE(window.list(Names::List6)->count(), 1);
        window.click(Names::Command33);
        QVERIFY(window.harness.form().menusEnabled());
        QVERIFY(window.visible(Names::Frame5) && !window.visible(Names::Frame8));
        QVERIFY(window.button(Names::Command32)->isEnabled());
        QVERIFY(window.mail.sent.isEmpty());
    }
};

NEMUROA_QTEST_SUITE(ComposeSendTest)
#include "ComposeSendTest.moc"
