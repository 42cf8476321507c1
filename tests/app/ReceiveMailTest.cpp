#include "FolderFiles.h"
#include "MainFormHarness.h"
#include "MainScreen.h"
#include "RecordLayouts.h"
#include "SpamKeywordList.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

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

SortRule rule(const QString& name, const QString& address)
{
    SortRule rule;
    rule.Name = name;
    rule.RuleAddress = address;
    return rule;
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
            rules.append(rule(QStringLiteral("rule %1").arg(k), QStringLiteral("sender%1@example.jp").arg(k)));
        rules.append(rule(QStringLiteral("その他"), QString()));
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

    void anEmptyIdConnectsAndClosesWithoutLoggingInButStillSavesTheAccount()
    {
        folder->put(QStringLiteral("★MailData/iniIdPass.ini"), "[EXEINI]\r\nNAME=\r\nNAME2=secret\r\nNAME3=0\r\n");
        start({mail(QStringLiteral("a@example.jp"), QStringLiteral("waiting"))});
        receive();
        QCOMPARE(harness->mail.count(QStringLiteral("NMailPop3Connect")), 1);
        QCOMPARE(harness->mail.count(QStringLiteral("NMailPop3Authenticate")), 0);
        QCOMPARE(harness->mail.count(QStringLiteral("NMailPop3Close")), 1);
        QVERIFY(statusTexts().contains(QStringLiteral("新着メールなし")));
        QCOMPARE(folder->contents(QStringLiteral("★MailData/iniIdPass.ini")), QByteArray("[EXEINI]\r\nNAME=\r\nNAME2=secret\r\nNAME3=1\r\n"));
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
        QCOMPARE(harness->messageBoxes.texts(), QStringList{harness->mail.errorText});
        QCOMPARE(harness->messageBoxes.requests.first().title, QStringLiteral("エラー"));
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

QTEST_MAIN(ReceiveMailTest)
#include "ReceiveMailTest.moc"
