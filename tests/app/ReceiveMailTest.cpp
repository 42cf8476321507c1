#include "QtTestSuites.h"
#include "BoxKeyAnswerer.h"
#include "FolderFiles.h"
#include "MainFormHarness.h"
#include "MainScreen.h"
#include "QtMessageBoxService.h"
#include "ReceiveController.h"
#include "RecordLayouts.h"
#include "SpamKeywordList.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>

#include <sys/stat.h>
#include <utility>

namespace Names = WidgetNames;
using RecordLayouts::MessageField;
using namespace Qt::StringLiterals;

namespace {

FakeNMail::Message mail(const QString& from, const QString& subject, const QString& body = QStringLiteral("本文です。"))
{
    FakeNMail::Message message;
    message.subject = subject;
    message.date = QStringLiteral("Mon, 7 Dec 2026 09:00:00 +0900");
    message.from = from;
    message.header = QStringLiteral("From: ") + from;
    message.body = body;
    return message;
}

} // namespace

class ReceiveMailTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestProgramFolder> folder;
    std::unique_ptr<MainFormHarness> harness;

    void start(const QList<FakeNMail::Message>& mailbox)
    {
        harness = std::make_unique<MainFormHarness>(*folder);
        harness->mail.mailbox = mailbox;
        QVERIFY(harness->start());
    }
    QStringList statusTexts() const { return statusTrail; }
    QStringList statusTrail;

    void receive()
    {
        statusTrail.clear();
        // Every event-processing pass of the final wait sees the status bar.
        harness->services.processEvents = [this] {
            statusTrail.append(harness->form().statusText());
            QCoreApplication::processEvents();
            harness->clock.tick();
        };
        harness->clickTab(3);
    }
    QString newCounter(int k) const { return harness->form().newCounter(k); }

private slots:
    void init()
    {
        folder = std::make_unique<TestProgramFolder>();
        folder->putServerSettings("POP3=pop.example\r\n");
        folder->put(QStringLiteral("★MailData/iniIdPass.ini"), "[EXEINI]\r\nNAME=taro\r\nNAME2=secret\r\nNAME3=1\r\n");
        QList<SortRule> rules;
        for (int k = 1; k <= 9; ++k)
            rules.append(TestProgramFolder::sortRule(QStringLiteral("rule %1").arg(k), QStringLiteral("sender%1@example.jp").arg(k)));
        rules.append(TestProgramFolder::sortRule(QStringLiteral("その他"), QString()));
        folder->putSortRules(rules);
    }
    void cleanup()
    {
        harness.reset();
        folder.reset();
    }

    void sortsByExactSenderInServerOrderAndDeletesEveryStoredMessage()
    {
        // A umask that shares everything: the store's own modes decide.
        const mode_t umaskBefore = ::umask(0);
        const auto restoreUmask = qScopeGuard([umaskBefore] { ::umask(umaskBefore); });
        start({mail(QStringLiteral("sender3@example.jp"), QStringLiteral("one")),
            mail(QStringLiteral("Sender3@example.jp"), QStringLiteral("case differs")),
            mail(QStringLiteral("<sender9@example.jp>"), QStringLiteral("brackets differ")),
            mail(QStringLiteral("sender9@example.jp"), QStringLiteral("nine")),
            mail(QStringLiteral("sender3@example.jp"), QStringLiteral("two"))});
        receive();

        QCOMPARE(folder->storedSubjects(3), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
        QCOMPARE(folder->storedSubjects(9), QStringList{QStringLiteral("nine")});
        QCOMPARE(folder->storedSubjects(10), (QStringList{QStringLiteral("case differs"), QStringLiteral("brackets differ")}));
        QCOMPARE(newCounter(3), QStringLiteral("2"));
        QCOMPARE(newCounter(9), QStringLiteral("1"));
        QCOMPARE(newCounter(10), QStringLiteral("2"));
        QCOMPARE(harness->mail.deleted, (QList<int>{1, 2, 3, 4, 5}));
        QCOMPARE(harness->mail.calls.last(), QStringLiteral("NMailPop3Close(7)"));
        QVERIFY(statusTexts().contains(QStringLiteral("新着メールあり。")));
        QCOMPARE(harness->form().statusText(), QString());
        // The view fields hold the last message stored.
        QCOMPARE(harness->find<QLineEdit>(Names::Text7)->text(), QStringLiteral("two"));
        QCOMPARE(harness->form().windowTitle(), QStringLiteral("Nemuroa"));
        QCOMPARE(folder->contents(QStringLiteral("★MailData/iniIdPass.ini")),
            QByteArray("[EXEINI]\r\nNAME=taro\r\nNAME2=secret\r\nNAME3=1\r\n"));
        // The mail the program stored is the user's alone.
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::WriteOther | QFile::ExeOther;
        for (int k : {3, 9, 10}) {
            const QFileInfo stored(FolderFiles::FolderFilePath(folder->paths(), k));
            QVERIFY2(!(stored.permissions() & others), qPrintable(stored.fileName()));
        }
    }

    void dropsSpamFoundInSubjectSenderOrBodyAndShowsOnlyTheSpamStatus()
    {
        const SpamKeywordList keywords(folder->paths());
        QVERIFY(keywords.AddKeyword(u"未承諾広告").ok());
        QVERIFY(keywords.AddKeyword(u"spam.example").ok());
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("未承諾広告 セール")),
            mail(QStringLiteral("x@spam.example"), QStringLiteral("hello")),
            mail(QStringLiteral("b@example.jp"), QStringLiteral("ok"), QStringLiteral("本文に未承諾広告")),
            mail(QStringLiteral("c@example.jp"), QStringLiteral("UPPER"), QStringLiteral("SPAM.EXAMPLE")),
            mail(QStringLiteral("sender1@example.jp"), QStringLiteral("kept"))});
        receive();

        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("UPPER")});
        QCOMPARE(folder->storedSubjects(1), QStringList{QStringLiteral("kept")});
        QCOMPARE(harness->mail.deleted.size(), 5);
        QVERIFY(statusTexts().contains(QStringLiteral("迷惑メール撃退！！")));
        QVERIFY(!statusTexts().contains(QStringLiteral("新着メールあり。")));
    }

    void theSpamTestShowsTheSenderInTheDateFieldAndSelectsTheKeywordFound()
    {
        QVERIFY(SpamKeywordList(folder->paths()).AddKeyword(u"spam.example").ok());
        start({mail(QStringLiteral("x@spam.example"), QStringLiteral("hello"))});
        harness->find<QLineEdit>(Names::Text8)->setText(QStringLiteral("before"));
        receive();
        QCOMPARE(harness->find<QLineEdit>(Names::Text7)->text(), QStringLiteral("hello"));
        QCOMPARE(harness->find<QLineEdit>(Names::Text8)->text(), QStringLiteral("before"));
        QCOMPARE(harness->find<QLineEdit>(Names::Text9)->text(), QStringLiteral("x@spam.example"));
        QCOMPARE(harness->find<QLineEdit>(Names::Text9)->selectedText(), QStringLiteral("spam.example"));
    }

    // While the library waits on a server the window shows that a receive runs: a busy pointer and
    // the status bar; both go when it ends.
    void aReceiveWaitingOnTheServerShowsThatItRuns()
    {
        start({});
        // What an earlier send left in the status bar must not stand during the receive.
        harness->form().setStatusText(QStringLiteral("送信を完了しました。"));
        std::optional<Qt::CursorShape> pointer;
        QString status;
        harness->mail.whileConnecting = [&] {
            if (const QCursor* cursor = QApplication::overrideCursor())
                pointer = cursor->shape();
            status = harness->form().statusText();
        };
        receive();
        QCOMPARE(pointer, std::optional(Qt::BusyCursor));
        QCOMPARE(status, ReceiveController::receivingStatus());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(harness->form().statusText(), QString());
    }

    void anEmptyMailboxReportsNewMailOnlyWhileACounterIsAboveZero()
    {
        start({});
        receive();
        QVERIFY(statusTexts().contains(QStringLiteral("新着メールなし")));
        harness->form().setNewCounter(10, QStringLiteral("1"));
        receive();
        QVERIFY(statusTexts().contains(QStringLiteral("新着メールあり。")));
        QCOMPARE(harness->mail.count(QStringLiteral("NMailPop3Close")), 2);
    }

    void attachmentsAddTheNoticeAndIncompleteSplitMessagesAreStillStored()
    {
        FakeNMail::Message split = mail(QStringLiteral("z@example.jp"), QStringLiteral("part 1/2"), QStringLiteral("Content-Type: message/partial"));
        split.attachmentResult = -6;
        start({mail(QStringLiteral("x@example.jp"), QStringLiteral("with"), QStringLiteral("see the attachment")),
            mail(QStringLiteral("y@example.jp"), QStringLiteral("capital"), QStringLiteral("Attachment")), split});
        receive();

        const RecordFile others = FolderFiles::folderFile(folder->paths(), 10);
        QCOMPARE(others.read(1).value()->text(MessageField::Body).trimmed(),
            QStringLiteral("see the attachment\r\n♪♪♪　添付ファイルがありましので、添付フォルダに展開しました。♪♪♪"));
        QCOMPARE(others.read(2).value()->text(MessageField::Body).trimmed(), QStringLiteral("Attachment"));
        QCOMPARE(folder->storedSubjects(10).size(), 3);
        QCOMPARE(harness->messageBoxes.texts(), QStringList{QStringLiteral("分割されたメールが全て揃っていません")});
        QCOMPARE(harness->mail.deleted.size(), 3);
        QVERIFY(!folder->exists(QStringLiteral("添付フォルダ/0.txt")));
    }

    void aFileOfTheUsersNamed0TxtInTheAttachmentFolderOutlivesAReceive()
    {
        start({mail(QStringLiteral("x@example.jp"), QStringLiteral("one"), QStringLiteral("body"))});
        folder->put(QStringLiteral("添付フォルダ/0.txt"), "my notes");
        receive();

        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("one")});
        QCOMPARE(folder->contents(QStringLiteral("添付フォルダ/0.txt")), QByteArray("my notes"));
    }

    void aRefusedLoginShowsTheLibraryTextUnderErrorAndDeletesNothing()
    {
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("waiting"))});
        harness->mail.authenticateResult = -1;
        harness->mail.errorText = QStringLiteral("-ERR [AUTH] Authentication failed.");
        receive();
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests.first().title, QStringLiteral("エラー"));
        QCOMPARE(harness->messageBoxes.requests.first().text, QStringLiteral("-ERR [AUTH] Authentication failed."));
        QCOMPARE(harness->mail.deleted, QList<int>{});

    }

    // No login can work without a server name, an ID and a password: the receive names what is
    // missing in a real box, opens the dialog that sets it on a yes, and connects to nothing.
    void aMissingSettingIsNamedAndItsDialogOfferedWithoutConnecting_data()
    {
        QTest::addColumn<QByteArray>("servers");
        QTest::addColumn<QByteArray>("account");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("missing");
        QTest::addColumn<QString>("opened");
        using Missing = ReceiveController::MissingSetting;
        QTest::newRow("no POP3 server, yes") << QByteArray("SMTP=smtp.example\r\n") << QByteArray("NAME=taro\r\nNAME2=secret")
                                             << int(Qt::Key_Return) << int(Missing::Pop3Server) << QString(Names::OptionForm);
        QTest::newRow("no ID, yes") << QByteArray("POP3=pop.example\r\n") << QByteArray("NAME=\r\nNAME2=secret") << int(Qt::Key_Return)
                                    << int(Missing::AccountId) << QString(Names::IdPassForm);
        QTest::newRow("no password, no") << QByteArray("POP3=pop.example\r\n") << QByteArray("NAME=taro\r\nNAME2=") << int(Qt::Key_Escape)
                                         << int(Missing::AccountPassword) << QString();
    }
    void aMissingSettingIsNamedAndItsDialogOfferedWithoutConnecting()
    {
        QFETCH(QByteArray, servers);
        QFETCH(QByteArray, account);
        QFETCH(int, key);
        QFETCH(int, missing);
        QFETCH(QString, opened);
        folder->putServerSettings(servers);
        folder->put(QStringLiteral("★MailData/iniIdPass.ini"), "[EXEINI]\r\n" + account + "\r\nNAME3=1\r\n");
        FakeNMail server;
        server.mailbox = {mail(QStringLiteral("a@example.jp"), QStringLiteral("waiting"))};
        QtMessageBoxService boxes;
        MainFormHarness window(*folder, server, boxes);
        QVERIFY(window.start());
        boxes.setParentWindow(&window.form());
        // Start-up opens the server dialog when no POP3 server is set: it is closed first.
        if (QWidget* dialog = MainFormHarness::window(Names::OptionForm))
            dialog->close();
        QTRY_VERIFY(!MainFormHarness::window(Names::OptionForm));
        BoxKeyAnswerer answers({static_cast<Qt::Key>(key)});

        window.clickTab(3);

        QCOMPARE(answers.ignored, QStringList());
        QCOMPARE(answers.titles(), QStringList{QStringLiteral("確認")});
        QCOMPARE(answers.texts(), QStringList{ReceiveController::missingSettingQuestion(static_cast<ReceiveController::MissingSetting>(missing))});
        QCOMPARE(server.count(QStringLiteral("NMailPop3Connect")), 0);
        QCOMPARE(window.form().statusText(), QString());
        for (const QString& dialog : {QString(Names::OptionForm), QString(Names::IdPassForm)}) {
            const QWidget* shown = MainFormHarness::window(dialog);
            QVERIFY2((shown && shown->isVisible()) == (dialog == opened), qPrintable(dialog));
        }
    }

    void aFailedFetchStopsTheSessionAndLeavesItAndTheRestOnTheServer()
    {
        FakeNMail::Message broken = mail(QStringLiteral("b@example.jp"), QStringLiteral("two"));
        broken.fetchFails = true;
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("one")), broken, mail(QStringLiteral("c@example.jp"), QStringLiteral("three"))});
        receive();
        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("one")});
        QCOMPARE(harness->mail.deleted, QList<int>{1});
        QCOMPARE(harness->mail.count(QStringLiteral("NMailPop3GetMail")), 2);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(QStringLiteral("メッセージ 2 ")));
    }

    void aFolderThatCannotBeWrittenOrIsFullKeepsTheMessageOnTheServer()
    {
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("one")), mail(QStringLiteral("sender2@example.jp"), QStringLiteral("two")),
            mail(QStringLiteral("sender4@example.jp"), QStringLiteral("three"))});
        // Folder 2's file cannot be opened for writing, even by root: a folder stands in its place.
        const QString second = FolderFiles::FolderFilePath(folder->paths(), 2);
        QVERIFY(QFile::remove(second));
        QVERIFY(QDir().mkdir(second));
        receive();
        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("one")});
        QCOMPARE(harness->mail.deleted, QList<int>{1});
        QCOMPARE(newCounter(2), QString());
        QVERIFY(harness->messageBoxes.requests.first().text.contains(QStringLiteral("メッセージ 2 ")));

        QVERIFY(QDir().rmdir(second));
        QVERIFY(FolderFiles::folderFile(folder->paths(), 2).ensureExists().ok());
        QVERIFY(QFile::resize(second, qint64(RecordFile::Capacity) * RecordLayouts::Message.length)); // sparse
        harness->mail.deleted.clear();
        harness->mail.mailbox.removeFirst();
        receive();
        QCOMPARE(harness->mail.deleted, QList<int>{});
        QVERIFY(harness->messageBoxes.requests.last().text.contains(QStringLiteral("32766")));
    }

    void messagesWhoseAttachmentsCannotBeWrittenStayOnTheServerAndTheFirstIsReportedOnce()
    {
        FakeNMail::Message unwritable = mail(QStringLiteral("b@example.jp"), QStringLiteral("two"), QStringLiteral("an attachment"));
        unwritable.attachmentResult = -5;
        FakeNMail::Message alsoUnwritable = unwritable;
        alsoUnwritable.subject = QStringLiteral("three");
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("one")), unwritable, alsoUnwritable,
            mail(QStringLiteral("c@example.jp"), QStringLiteral("four"))});
        receive();
        QCOMPARE(folder->storedSubjects(10), (QStringList{QStringLiteral("one"), QStringLiteral("four")}));
        QCOMPARE(harness->mail.deleted, (QList<int>{1, 4}));
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.startsWith(QStringLiteral("添付ファイルをオープンできません")));
        QVERIFY(harness->messageBoxes.requests.first().text.contains(QStringLiteral("メッセージ 2 ")));
    }

    void aQuitThatFailsIsReportedOnce()
    {
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("one"))});
        harness->mail.closeResult = -1;
        harness->mail.errorText = QStringLiteral("添付ファイル「x」をディスクに書き込めませんでした。メールはサーバーに残してあります。");
        receive();
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.startsWith(harness->mail.errorText));
        QVERIFY(harness->messageBoxes.requests.first().text.contains(QStringLiteral("二度保存されることはありません")));
        QCOMPARE(harness->messageBoxes.requests.first().title, QStringLiteral("エラー"));
    }

    // Each way a receive can end badly, then a receive that goes well: every message is stored
    // exactly once, and the server keeps only what it must.
    void aReceiveThatEndsBadlyStoresEveryMessageOnceByTheNextReceive_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QStringList>("storedFirst");
        QTest::addColumn<QString>("firstBoxHolds");
        QTest::addColumn<QStringList>("storedInTheEnd");
        QTest::addColumn<QStringList>("leftOnServer");
        QTest::addColumn<QString>("secondBoxHolds");
        const QStringList all{u"one"_s, u"two"_s, u"three"_s, u"four"_s, u"five"_s};
        const QStringList allButTwo{u"one"_s, u"three"_s, u"four"_s, u"five"_s};
        QTest::newRow("connection dropped in message 3") << u"dropped"_s << QStringList{u"one"_s, u"two"_s} << u"メッセージ 3 "_s
                                                         << all << QStringList() << QString();
        QTest::newRow("DELE refused for message 2") << u"dele"_s << all << u"二度保存されることはありません"_s << all
                                                    << QStringList{u"two"_s} << u"メッセージ 1: -ERR no such message"_s;
        QTest::newRow("QUIT refused") << u"quit"_s << all << u"二度保存されることはありません"_s << all << QStringList() << QString();
        QTest::newRow("RETR refused for message 2, every time") << u"retr"_s << allButTwo << u"メッセージ 2: -ERR no such message"_s
                                                                << allButTwo << QStringList{u"two"_s} << u"メッセージ 1: -ERR no such message"_s;
        QTest::newRow("message 2 breaks a bound") << u"bound"_s << QStringList{u"one"_s} << u"メッセージ 2 "_s << allButTwo
                                                  << QStringList{u"two"_s} << QString();
    }
    void aReceiveThatEndsBadlyStoresEveryMessageOnceByTheNextReceive()
    {
        QFETCH(QString, ending);
        QFETCH(QStringList, storedFirst);
        QFETCH(QString, firstBoxHolds);
        QFETCH(QStringList, storedInTheEnd);
        QFETCH(QStringList, leftOnServer);
        QFETCH(QString, secondBoxHolds);
        QList<FakeNMail::Message> box;
        for (const QString& subject : {u"one"_s, u"two"_s, u"three"_s, u"four"_s, u"five"_s})
            box.append(mail(QStringLiteral("a@example.jp"), subject));
        start(box);
        FakeNMail& server = harness->mail;
        server.deletesAtClose = true;
        server.errorText = u"-ERR no such message"_s;
        const auto connectionGone = [&] {
            server.closeResult = -1;
            for (FakeNMail::Message& message : server.mailbox)
                message.deleteResult = -1;
        };
        if (ending == u"dropped") {
            server.mailbox[2].fetchResult = -1;
            connectionGone();
        } else if (ending == u"dele") {
            server.mailbox[1].deleteResult = NMailApi::ResultMessageRefusedByServer;
        } else if (ending == u"quit") {
            server.closeResult = -1;
        } else if (ending == u"retr") {
            server.mailbox[1].fetchResult = NMailApi::ResultMessageRefusedByServer;
        } else if (ending == u"bound") {
            server.mailbox[1].fetchResult = NMailApi::ResultRefusedByBound;
            connectionGone();
        }

        receive();
        QCOMPARE(folder->storedSubjects(10), storedFirst);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY2(harness->messageBoxes.requests.first().text.contains(firstBoxHolds), qPrintable(harness->messageBoxes.requests.first().text));

        // The server is well again; what it refused for good, it still refuses.
        harness->messageBoxes.requests.clear();
        server.calls.clear();
        server.closeResult = 0;
        for (FakeNMail::Message& message : server.mailbox) {
            message.deleteResult = message.deleteResult == -1 ? 0 : message.deleteResult;
            message.fetchResult = message.fetchResult == -1 ? 0 : message.fetchResult;
        }
        receive();
        QCOMPARE(folder->storedSubjects(10), storedInTheEnd);
        QStringList onServer;
        for (const FakeNMail::Message& message : std::as_const(server.mailbox))
            onServer << message.subject;
        QCOMPARE(onServer, leftOnServer);
        QCOMPARE(server.count(u"NMailPop3GetUidl"_s), 1);
        QCOMPARE(harness->messageBoxes.requests.size(), secondBoxHolds.isEmpty() ? 0 : 1);
        if (!secondBoxHolds.isEmpty())
            QVERIFY(harness->messageBoxes.requests.first().text.contains(secondBoxHolds));
    }

    void keptOnTheServerEachMessageIsStoredOnceAndDeletedOnlyWhenItsDaysAreUp()
    {
        folder->putServerSettings("POP3=pop.example\r\nKEEPONSERVER=1\r\n");
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("old")), mail(QStringLiteral("b@example.jp"), QStringLiteral("yesterday"))});
        harness->mail.deletesAtClose = true;
        receive();
        QCOMPARE(folder->storedSubjects(10), (QStringList{u"old"_s, u"yesterday"_s}));
        QCOMPARE(harness->mail.count(u"NMailPop3DeleteMail"_s), 0);

        // First stored two days and one day ago; a new message has come meanwhile.
        const QString idFile = u"★MAilData/received.ids"_s;
        QByteArray ids = folder->contents(idFile);
        const QByteArray today = QDate::currentDate().toString(u"yyyy-MM-dd"_s).toLatin1();
        const qsizetype firstLine = ids.indexOf(today);
        ids.replace(firstLine, today.size(), QDate::currentDate().addDays(-2).toString(u"yyyy-MM-dd"_s).toLatin1());
        ids.replace(ids.indexOf(today), today.size(), QDate::currentDate().addDays(-1).toString(u"yyyy-MM-dd"_s).toLatin1());
        folder->put(idFile, ids);
        harness->mail.mailbox.append(mail(QStringLiteral("c@example.jp"), QStringLiteral("new")));
        harness->mail.calls.clear();
        receive();
        QCOMPARE(folder->storedSubjects(10), (QStringList{u"old"_s, u"yesterday"_s, u"new"_s}));
        QCOMPARE(harness->mail.count(u"NMailPop3GetMail"_s), 1);
        QCOMPARE(harness->mail.removedIds.size(), 1);
        QCOMPARE(harness->mail.mailbox.size(), 2);
        QCOMPARE(harness->mail.mailbox.first().subject, u"yesterday"_s);
        QCOMPARE(harness->messageBoxes.requests.size(), 0);
    }

    void aServerWithoutUidlCannotKeepMailButReceivesAsBeforeWhenTheOptionIsOff_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("option on") << true;
        QTest::newRow("option off") << false;
    }
    void aServerWithoutUidlCannotKeepMailButReceivesAsBeforeWhenTheOptionIsOff()
    {
        QFETCH(bool, keep);
        folder->putServerSettings(QByteArray("POP3=pop.example\r\n") + (keep ? "KEEPONSERVER=0\r\n" : ""));
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("one")), mail(QStringLiteral("b@example.jp"), QStringLiteral("two"))});
        harness->mail.uidlResult = NMailApi::ResultMessageRefusedByServer;
        harness->mail.errorText = u"-ERR unknown command"_s;
        receive();
        QCOMPARE(folder->storedSubjects(10), (keep ? QStringList() : QStringList{u"one"_s, u"two"_s}));
        QCOMPARE(harness->mail.deleted, (keep ? QList<int>() : QList<int>{1, 2}));
        QCOMPARE(harness->mail.count(u"NMailPop3GetMail"_s), keep ? 0 : 2);
        QCOMPARE(harness->messageBoxes.requests.size(), keep ? 1 : 0);
        if (keep) {
            QVERIFY(harness->messageBoxes.requests.first().text.contains(u"「受信したメールをサーバーに残す」は使えません"_s));
            QVERIFY(statusTexts().contains(u"受信できませんでした"_s));
        }
        QVERIFY(!folder->exists(u"★MAilData/received.ids"_s));
    }

    // Recorded as received means never fetched again: the attachments must be on disk first.
    void attachmentsThatCannotBeFlushedUndoTheRecordsAndDeleteNothing()
    {
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("one"))});
        harness->mail.flushResult = -1;
        harness->mail.errorText = u"添付ファイル「x」をディスクに書き込めませんでした。"_s;
        receive();
        QCOMPARE(folder->storedSubjects(10), QStringList());
        QCOMPARE(harness->mail.deleted, QList<int>());
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(harness->mail.errorText));
        QVERIFY(!folder->exists(u"★MAilData/received.ids"_s));
        QVERIFY(!folder->exists(u"★MAilData/received.ids.new"_s));
    }

    void aSecondReceiveTabClickDuringTheFinalStatusStartsNoNestedSession()
    {
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("one"))});
        bool clickedAgain = false;
        harness->services.processEvents = [&] {
            if (!clickedAgain) {
                clickedAgain = true;
                harness->form().onTabClicked(3);
            }
            QCoreApplication::processEvents();
            harness->clock.tick();
        };
        harness->clickTab(3);
        QVERIFY(clickedAgain);
        QCOMPARE(harness->mail.count(QStringLiteral("NMailPop3Connect")), 1);
    }

    void clicksDuringASessionAreDroppedAndACloseWaitsForTheQuit_data()
    {
        QTest::addColumn<bool>("insideABox");
        QTest::newRow("inside a notice the session shows") << true;
        QTest::newRow("between two messages") << false;
    }
    void clicksDuringASessionAreDroppedAndACloseWaitsForTheQuit()
    {
        QFETCH(bool, insideABox);
        FakeNMail::Message first = mail(QStringLiteral("a@example.jp"), QStringLiteral("one"));
        if (insideABox)
            first.attachmentResult = -6;
        start({first, mail(QStringLiteral("b@example.jp"), QStringLiteral("two"))});
        bool acted = false;
        const auto act = [&] {
            if (std::exchange(acted, true))
                return;
            TabStrip& strip = harness->form().tabStrip();
            QTest::mouseClick(&strip, Qt::LeftButton, Qt::NoModifier, strip.tabRect(5).center());
            QCoreApplication::postEvent(&harness->form(), new QCloseEvent);
            QCoreApplication::processEvents();
        };
        if (insideABox) {
            harness->messageBoxes.whileShown = [&](const MessageBoxService::Request&) { act(); };
        } else {
            connect(&harness->form(), &QWidget::windowTitleChanged, &harness->form(), [&](const QString& title) {
                if (title.endsWith(QStringLiteral("2/2")))
                    act();
            });
        }

        receive();

        QVERIFY(acted);
        QVERIFY(!harness->find<QWidget>(Names::Frame9)->isVisible());
        QCOMPARE(folder->storedSubjects(10), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
        QCOMPARE(harness->mail.deleted, (QList<int>{1, 2}));
        QCOMPARE(harness->endProcessCalls, 1);
        QVERIFY(harness->mail.calls.indexOf(QStringLiteral("NMailEndWinSock"))
            > harness->mail.calls.indexOf(QRegularExpression(QStringLiteral("NMailPop3Close.*"))));
        QVERIFY(harness->mail.calls.indexOf(QRegularExpression(QStringLiteral("NMailPop3Close.*"))) >= 0);
    }
};

NEMUROA_QTEST_SUITE(ReceiveMailTest)
#include "ReceiveMailTest.moc"
