#include "FolderFiles.h"
#include "MainFormHarness.h"
#include "NMail.h"
#include "RecordLayouts.h"
#include "SpamKeywordList.h"
#include "TestMailServers.h"
#include "TestProgramFolder.h"

#include <QDir>
#include <QTest>

#include <memory>
#include <optional>

using RecordLayouts::MessageField;

namespace {

std::string message(const std::string& from, const std::string& subjectHeader, const std::string& body,
    const std::string& contentType = "text/plain; charset=UTF-8")
{
    return "From: " + from + "\nTo: user@localhost\nSubject: " + subjectHeader
        + "\nDate: Mon, 7 Dec 2026 09:00:00 +0900\nMIME-Version: 1.0\nContent-Type: " + contentType
        + "\nContent-Transfer-Encoding: 8bit\n\n" + body + "\n";
}

std::string withAttachment(const std::string& from)
{
    return "From: " + from
        + "\nTo: user@localhost\nSubject: =?UTF-8?B?5aCx5ZGK5pu4?=\nDate: Mon, 7 Dec 2026 09:05:00 +0900\nMIME-Version: 1.0\n"
          "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain; charset=UTF-8\n"
          "Content-Transfer-Encoding: 8bit\n\n添付を送ります。\n--b\nContent-Type: text/plain; name=\"report.txt\"\n"
          "Content-Disposition: attachment; filename*=UTF-8''%E5%A0%B1%E5%91%8A.txt\nContent-Transfer-Encoding: base64\n\n"
          "5YaF5a65\n--b--\n";
}

} // namespace

// Receiving from the test dovecot through the real main window and the real mail library.
class ReceiveFromServerTest : public QObject {
    Q_OBJECT

private:
    const TestMailServers& servers = TestMailServers::shared();
    std::unique_ptr<TestProgramFolder> folder;
    std::unique_ptr<NMail> library;
    std::unique_ptr<MainFormHarness> harness;
    std::optional<TestMailbox> box;

    void prepare(const QString& mailboxName, const QString& pop3Server)
    {
        box.emplace(servers.createMailbox(mailboxName));
        folder->putServerSettings("POP3=" + pop3Server.toUtf8() + "\r\n");
        putAccount(box->password());
    }
    void putAccount(const QString& password)
    {
        folder->put(QStringLiteral("★MailData/iniIdPass.ini"),
            "[EXEINI]\r\nNAME=" + box->user().toUtf8() + "\r\nNAME2=" + password.toUtf8() + "\r\nNAME3=1\r\n");
    }
    void start()
    {
        harness = std::make_unique<MainFormHarness>(*folder, *library);
        QVERIFY(harness->start());
        library->NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
    }

private slots:
    void init()
    {
        QVERIFY2(servers.ok(), qPrintable(servers.problem()));
        folder = std::make_unique<TestProgramFolder>();
        library = std::make_unique<NMail>();
        SortRule first;
        first.Name = QStringLiteral("取引先");
        first.RuleAddress = QStringLiteral("partner@example.jp");
        folder->putSortRules({first});
    }
    void cleanup()
    {
        harness.reset();
        library.reset();
        folder.reset();
    }

    void sortsDropsSpamExtractsAttachmentsAndEmptiesTheMailbox()
    {
        prepare(QStringLiteral("receive_all"), servers.pop3Server());
        QVERIFY(SpamKeywordList(folder->paths()).AddKeyword(u"未承諾広告").ok());
        QVERIFY(box->deposit(message("partner@example.jp", "=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=", "お世話になります。①㈱")));
        QVERIFY(box->deposit(message("ad@example.com", "sale", "未承諾広告です")));
        QVERIFY(box->deposit(withAttachment("Partner@example.jp")));
        start();

        harness->clickTab(3);

        QCOMPARE(folder->storedSubjects(1), QStringList{QStringLiteral("会議")});
        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("報告書")});
        const Record first = *FolderFiles::folderFile(folder->paths(), 1).read(1).value();
        QCOMPARE(first.text(MessageField::Body).trimmed(), QStringLiteral("お世話になります。①㈱"));
        const Record attached = *FolderFiles::folderFile(folder->paths(), 10).read(1).value();
        QVERIFY(attached.text(MessageField::Body).trimmed().startsWith(QStringLiteral("添付を送ります。")));
        QVERIFY(attached.text(MessageField::Body).trimmed().endsWith(QStringLiteral("♪♪♪　添付ファイルがありましので、添付フォルダに展開しました。♪♪♪")));
        QCOMPARE(folder->contents(QStringLiteral("添付フォルダ/報告.txt")), QByteArray("内容"));
        QVERIFY(!folder->exists(QStringLiteral("添付フォルダ/0.txt")));
        QCOMPARE(harness->form().newCounter(1), QStringLiteral("1"));
        QCOMPARE(harness->form().newCounter(10), QStringLiteral("1"));
        QCOMPARE(box->count(), 0);
        QCOMPARE(harness->messageBoxes.requests.size(), 0);
    }

    void aWrongPasswordShowsTheServersReplyUnderError()
    {
        prepare(QStringLiteral("receive_wrong_password"), servers.pop3Server());
        putAccount(QStringLiteral("wrong"));
        QVERIFY(box->deposit(message("a@example.jp", "kept", "body")));
        start();
        harness->clickTab(3);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests.first().title, QStringLiteral("エラー"));
        QVERIFY(!harness->messageBoxes.requests.first().text.isEmpty());
        QCOMPARE(box->count(), 1);
    }

    void theServerStoppingMidSessionLeavesEveryMessageOnTheServer()
    {
        PrivateDovecot dovecot(servers);
        QVERIFY(dovecot.start());
        prepare(QStringLiteral("receive_server_stops"), dovecot.pop3Server());
        for (int i = 1; i <= 3; ++i)
            QVERIFY(box->deposit(message("a@example.jp", "message " + std::to_string(i), "body")));
        start();
        bool stopped = false;
        connect(&harness->form(), &QWidget::windowTitleChanged, &harness->form(), [&](const QString& title) {
            if (!stopped && title.endsWith(QStringLiteral("2/3")))
                stopped = dovecot.stop();
        });

        harness->clickTab(3);

        QVERIFY(stopped);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(QStringLiteral("メッセージ 2 ")));
        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("message 1")});
        QCOMPARE(box->count(), 3);
    }
};

QTEST_MAIN(ReceiveFromServerTest)
#include "ReceiveFromServerTest.moc"
