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

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A loopback port that was free a moment ago: a connection to it is refused.
int portWithNoListener()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
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
    void start(bool trustTestCa = true)
    {
        statusTrail.clear();
        harness = std::make_unique<MainFormHarness>(*folder, *library);
        QVERIFY(harness->start());
        if (trustTestCa)
            library->NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
        harness->services.processEvents = [this] {
            statusTrail.append(harness->form().statusText());
            QCoreApplication::processEvents();
            harness->clock.tick();
        };
    }
    QStringList statusTrail;

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

    void aConnectionThatFailsShowsTheLibrarysTextAndNeverNoNewMail_data()
    {
        QTest::addColumn<bool>("unreachable");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no server listening") << true << QStringLiteral("接続できません");
        QTest::newRow("certificate not trusted") << false << QStringLiteral("証明書を信頼できません");
    }
    void aConnectionThatFailsShowsTheLibrarysTextAndNeverNoNewMail()
    {
        QFETCH(bool, unreachable);
        QFETCH(QString, reason);
        QString server = servers.pop3Server();
        if (unreachable)
            server = QStringLiteral("127.0.0.1:%1").arg(portWithNoListener());
        prepare(QStringLiteral("receive_connect_fails"), server);
        QVERIFY(box->deposit(message("a@example.jp", "kept", "body")));
        start(false);

        harness->clickTab(3);

        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests.first().title, QStringLiteral("エラー"));
        QVERIFY2(harness->messageBoxes.requests.first().text.contains(reason), qPrintable(harness->messageBoxes.requests.first().text));
        QVERIFY(statusTrail.contains(QStringLiteral("受信できませんでした")));
        QVERIFY(!statusTrail.contains(QStringLiteral("新着メールなし")));
        QCOMPARE(box->count(), 1);
    }

    void aServerWithoutTlsGetsThePasswordOnlyOnceTheUserAgrees_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void aServerWithoutTlsGetsThePasswordOnlyOnceTheUserAgrees()
    {
        QFETCH(bool, agree);
        const QString server = servers.pop3NoTlsServer();
        prepare(QStringLiteral("receive_without_tls"), server);
        QVERIFY(box->deposit(message("a@example.jp", "first", "body")));
        start();
        harness->messageBoxes.answers = {agree ? MessageBoxService::Answer::Yes : MessageBoxService::Answer::No};

        harness->clickTab(3);

        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests.first().buttons, MessageBoxService::Buttons::YesNo);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(server));
        QCOMPARE(box->count(), agree ? 0 : 1);
        QCOMPARE(folder->storedSubjects(10), agree ? QStringList{QStringLiteral("first")} : QStringList{});
        QCOMPARE(folder->contents(QStringLiteral("vbmail.ini")).contains("PLAINPASS=" + server.toUtf8() + "\r\n"), agree);
        QCOMPARE(statusTrail.contains(QStringLiteral("受信できませんでした")), !agree);

        // A yes is asked once; a no is asked again next time.
        QVERIFY(box->deposit(message("a@example.jp", "second", "body")));
        harness->messageBoxes.answers = {MessageBoxService::Answer::No};
        harness->clickTab(3);
        QCOMPARE(harness->messageBoxes.requests.size(), agree ? 1 : 2);
        QCOMPARE(box->count(), agree ? 0 : 2);
    }
};

QTEST_MAIN(ReceiveFromServerTest)
#include "ReceiveFromServerTest.moc"
