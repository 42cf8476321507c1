#include "QtTestSuites.h"
#include "BoxKeyAnswerer.h"
#include "ComposeScreen.h"
#include "FolderFiles.h"
#include "LoopbackPort.h"
#include "MainFormHarness.h"
#include "NMail.h"
#include "QtMessageBoxService.h"
#include "RecordLayouts.h"
#include "ReplyScreen.h"
#include "SendController.h"
#include "SendRun.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

namespace Names = WidgetNames;

// What a person meets when a send cannot go as typed, through the real main window, the real
// message boxes and keys that travel the window system's way.
class SendBoxesTest : public QObject {
    Q_OBJECT

private:
    struct Window {
        // library: the mail library in place of the fake, e.g. the real one against smtpServer.
        explicit Window(NMailApi* library = nullptr, const QString& smtpServer = QStringLiteral("smtp.example.jp"))
            : harness(folder, library ? *library : static_cast<NMailApi&>(mail), boxes)
        {
            folder.putServerSettings("SMTP=" + smtpServer.toUtf8() + "\r\nPOP3=pop.example\r\nMAIL=me@example.jp\r\n");
            started = harness.start();
            boxes.setParentWindow(&harness.form());
            harness.form().activateWindow();
        }

        TestProgramFolder folder;
        FakeNMail mail;
        QtMessageBoxService boxes;
        MainFormHarness harness;
        bool started = false;

        QLineEdit* box(const QString& name) const { return harness.find<QLineEdit>(name); }
        QPlainTextEdit* body(const QString& name = Names::BodyText) const { return harness.find<QPlainTextEdit>(name); }
        void click(const QString& name) const { QTest::mouseClick(harness.find<QPushButton>(name), Qt::LeftButton); }
        void key(Qt::Key key) const { QTest::keyClick(harness.form().windowHandle(), key); }
        int sentRecords() const
        {
            int count = 0;
            (void)FolderFiles::folderFile(folder.paths(), FolderFiles::SentHistory).forEach([&](int, std::string_view) {
                ++count;
                return true;
            });
            return count;
        }
        void compose(const QString& to, const QString& subject, const QString& text) const
        {
            harness.clickTab(2);
            box(Names::ToText)->setText(to);
            box(Names::SubjectText)->setText(subject);
            body()->setPlainText(text);
        }
        // The reply screen opened on a received message from sender.
        void openReplyTo(const QString& sender) const
        {
            QVERIFY(StoreMessage(folder.paths(), 10, 1, {QStringLiteral("会議"), sender, QStringLiteral("d"), QStringLiteral("本文")}).ok());
            harness.clickTab(16);
            auto* rows = harness.find<QTreeView>(Names::MailListView);
            QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, rows->visualRect(rows->model()->index(0, 0)).center());
            click(Names::Command5);
            QVERIFY(harness.find<QWidget>(Names::Frame8)->isVisible());
        }
        // A click that reaches the control the window system's way.
        void clickOn(QWidget* control) const
        {
            const QPoint at = control->mapTo(&harness.form(), control->rect().center());
            QTest::mouseClick(harness.form().windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        }
    };

private slots:
    void nothingTypedIsLostWhenTheSendCannotGo()
    {
        enum class Trouble { None, HistoryBlocked, BookUnreadable };
        struct Case {
            const char* what;
            QString to;
            bool bulk;
            Trouble trouble;
            QString title;
            QString boxSays;
        };
        const QString error = SendController::sendErrorTitle();
        const QString notice = MessageBoxService::programTitle();
        const Case cases[] = {
            {"a part that is no address", QStringLiteral("alice@example.jp, bob"), false, Trouble::None, error, QStringLiteral("「bob」")},
            {"a sent history that cannot be written", QStringLiteral("alice@example.jp"), false, Trouble::HistoryBlocked, error,
                QStringLiteral("送信履歴に書き込めない")},
            {"a bulk send to an empty address book", QStringLiteral("全員"), true, Trouble::None, notice, ComposeScreen::noBulkRecipients()},
            {"a bulk send to an address book that cannot be read", QStringLiteral("全員"), true, Trouble::BookUnreadable, notice,
                QStringLiteral("vbmdata20.data")},
        };
        for (const Case& c : cases) {
            Window window;
            QVERIFY(window.started);
            if (c.trouble == Trouble::HistoryBlocked)
                QVERIFY(QDir().mkpath(FolderFiles::FolderFilePath(window.folder.paths(), FolderFiles::SentHistory)));
            if (c.trouble == Trouble::BookUnreadable) {
                const QString book = window.folder.paths().dataFile(QStringLiteral("vbmdata20.data"));
                QFile::remove(book);
                QVERIFY(QDir().mkpath(book));
            }
            // Opening the compose tab already tells of a book that cannot be read.
            BoxKeyAnswerer answers({Qt::Key_Return, Qt::Key_Return});
            window.compose(c.to, QStringLiteral("件名"), QStringLiteral("大事な本文"));
            if (c.bulk)
                QTest::mouseClick(window.harness.find<QRadioButton>(Names::Option2), Qt::LeftButton);
            const int boxesBefore = static_cast<int>(answers.seen.size());

            window.click(Names::Command14);

            QCOMPARE(answers.ignored, QStringList());
            QCOMPARE(answers.titles().mid(boxesBefore), QStringList{c.title});
            QVERIFY2(answers.texts().last().contains(c.boxSays), qPrintable(answers.texts().last()));
            QVERIFY(window.mail.sent.isEmpty());
            QCOMPARE(window.sentRecords(), 0);
            QCOMPARE(window.box(Names::ToText)->text(), c.to);
            QCOMPARE(window.box(Names::SubjectText)->text(), QStringLiteral("件名"));
            QCOMPARE(window.body()->toPlainText(), QStringLiteral("大事な本文"));
            QVERIFY(window.harness.find<QWidget>(Names::Frame3)->isVisible());
            QCOMPARE(window.harness.form().statusText(), SendRun::nothingSentText());
        }
    }

    // With the SMTP server out of reach the library refuses the connection: the sent history keeps
    // the mail, the box says it was not sent, and the screen that sent it keeps it as typed.
    void aMailTheServerNeverGotStaysOnTheScreenThatSentIt_data()
    {
        QTest::addColumn<bool>("reply");
        QTest::newRow("compose") << false;
        QTest::newRow("reply") << true;
    }
    void aMailTheServerNeverGotStaysOnTheScreenThatSentIt()
    {
        QFETCH(bool, reply);
        NMail library;
        Window window(&library, QStringLiteral("127.0.0.1:%1").arg(portWithNoListener()));
        QVERIFY(window.started);
        const QString to = QStringLiteral("hanako@example.jp");
        QString frame = Names::Frame3;
        QStringList boxes{Names::ToText, Names::SubjectText};
        QString body = Names::BodyText;
        if (reply) {
            window.openReplyTo(to);
            frame = Names::Frame8;
            boxes = QStringList{Names::Text41, Names::Text40};
            body = Names::Text42;
            window.body(body)->setPlainText(QStringLiteral("大事な返事"));
        } else {
            window.compose(to, QStringLiteral("件名"), QStringLiteral("大事な返事"));
        }
        const QStringList typed{window.box(boxes[0])->text(), window.box(boxes[1])->text()};
        BoxKeyAnswerer answers({Qt::Key_Return});

        window.click(reply ? Names::Command34 : Names::Command14);

        QCOMPARE(answers.ignored, QStringList());
        QCOMPARE(answers.titles(), QStringList{SendController::sendErrorTitle()});
        QVERIFY2(answers.texts().first().contains(QStringLiteral("接続できません")), qPrintable(answers.texts().first()));
        QVERIFY2(answers.texts().first().endsWith(SendRun::nothingSentText()), qPrintable(answers.texts().first()));
        QCOMPARE(window.sentRecords(), 1);
        QCOMPARE((QStringList{window.box(boxes[0])->text(), window.box(boxes[1])->text()}), typed);
        QCOMPARE(window.body(body)->toPlainText(), QStringLiteral("大事な返事"));
        QVERIFY(window.harness.find<QWidget>(frame)->isVisible());
        QCOMPARE(window.harness.form().statusText(), SendRun::nothingSentText());
    }

    void charactersTheHistoryCannotHoldAreToldOnce()
    {
        Window window;
        QVERIFY(window.started);
        window.compose(QStringLiteral("a@example.jp; b@example.jp"), QStringLiteral("ご案内😀"), QStringLiteral("𠮷野"));
        BoxKeyAnswerer answers({Qt::Key_Return});
        window.click(Names::Command14);
        QCOMPARE(answers.texts(), QStringList{SendRun::historyReplacementText(QStringLiteral("😀𠮷"))});
        QCOMPARE(window.mail.sent.size(), 1);
        QCOMPARE(window.harness.form().statusText(), ComposeScreen::finishedStatus());
    }

    void passingThroughTheOpeningLinesKeepsTheBodyAndChoosingOneReplacesIt()
    {
        Window window;
        QVERIFY(window.started);
        window.compose(QString(), QString(), QStringLiteral("打ち込んだ本文"));
        auto* openingLines = window.harness.find<QComboBox>(Names::Combo1);
        QCOMPARE(openingLines->currentText(), QString());
        QVERIFY(QTest::qWaitForWindowActive(window.harness.form().windowHandle()));

        window.clickOn(openingLines);
        QTRY_VERIFY(openingLines->hasFocus());
        window.key(Qt::Key_Tab);
        QTRY_VERIFY(!openingLines->hasFocus());
        QCOMPARE(window.body()->toPlainText(), QStringLiteral("打ち込んだ本文"));

        window.clickOn(openingLines);
        QTRY_VERIFY(openingLines->hasFocus());
        window.key(Qt::Key_Down);
        window.key(Qt::Key_Tab);
        QTRY_VERIFY(!openingLines->hasFocus());
        QCOMPARE(window.body()->toPlainText(), MainForm::openingLines().first());
    }

    void aCutReplyAddressIsQuestionedBeforeItGoes()
    {
        Window window;
        QVERIFY(window.started);
        // The received From field holds 90 bytes: this sender loses its closing ">" there.
        const QString sender = QStringLiteral("株式会社サンプル商事　営業部　山田太郎 <yamada.taro.sales-division@example-company-of-japan.co.jp>");
        window.openReplyTo(sender);
        const QString cut = window.box(Names::Text41)->text();
        QVERIFY2(!cut.contains(u'>'), qPrintable(cut));

        {
            BoxKeyAnswerer correct({Qt::Key_Return});
            window.click(Names::Command34);
            QCOMPARE(correct.texts(), QStringList{ReplyScreen::cutRecipientQuestion(cut)});
            QVERIFY(window.mail.sent.isEmpty());
            QCOMPARE(window.sentRecords(), 0);
            QVERIFY(window.harness.find<QWidget>(Names::Frame8)->isVisible());
        }

        // An address that only fills the field is asked about too; "いいえ" (Esc) sends it as it stands.
        window.box(Names::Text41)->setText(sender);
        BoxKeyAnswerer sendAnyway({Qt::Key_Escape});
        window.click(Names::Command34);
        QCOMPARE(sendAnyway.texts().size(), 1);
        QCOMPARE(window.mail.sent.size(), 1);
        QCOMPARE(window.mail.sent.first().to, sender);
    }
};

NEMUROA_QTEST_SUITE(SendBoxesTest)
#include "SendBoxesTest.moc"
