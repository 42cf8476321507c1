#include "LibraryMessage.h"
#include "NMail.h"
#include "TestMailServers.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string message(const std::string& subject, const std::string& body)
{
    return "From: sender@example.jp\nTo: user@localhost\nSubject: " + subject
        + "\nDate: Mon, 1 Apr 2024 09:00:00 +0900\nMessage-ID: <" + subject + "@example.jp>\n\n" + body + "\n";
}

class Pop3ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(servers.ok()) << servers.problem().toStdString();
        mail.NMailInitializeWinSock();
        mail.NMailSetOption(1, 8192);
        mail.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        box.emplace(servers.createMailbox(QStringLiteral("pop3_%1").arg(QString::fromLatin1(test->name()).toLower())));
    }

    void deposit(int count)
    {
        for (int i = 1; i <= count; ++i)
            ASSERT_TRUE(box->deposit(message("message" + std::to_string(i), "body " + std::to_string(i))));
    }

    int login(const QString& server, int apop = 0)
    {
        const int handle = mail.NMailPop3Connect(server);
        EXPECT_GT(handle, 0) << lastLibraryMessage(mail).toStdString();
        if (handle <= 0)
            return -1;
        const int count = mail.NMailPop3Authenticate(handle, box->user(), box->password(), apop);
        EXPECT_GE(count, 0) << lastLibraryMessage(mail).toStdString();
        return count < 0 ? -1 : handle;
    }

    const TestMailServers& servers = TestMailServers::shared();
    NMail mail;
    std::optional<TestMailbox> box;
};

TEST_F(Pop3ServerTest, EveryWayOfLoggingInCountsTheWaitingMessages)
{
    deposit(3);
    struct Way {
        QString server;
        int apop;
    };
    const Way ways[] = {
        {servers.pop3Server(), 0}, // USER/PASS after STLS
        {servers.pop3Server(), -1}, // APOP after STLS
        {servers.pop3sServer(), 0}, // TLS from the first byte
        {servers.pop3sServer(), -1},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.server.toStdString() + (way.apop ? " APOP" : " USER/PASS"));
        const int handle = mail.NMailPop3Connect(way.server);
        ASSERT_GT(handle, 0) << lastLibraryMessage(mail).toStdString();
        EXPECT_EQ(mail.NMailPop3Authenticate(handle, box->user(), box->password(), way.apop), 3)
            << lastLibraryMessage(mail).toStdString();
        EXPECT_EQ(mail.NMailPop3Close(handle), 0) << lastLibraryMessage(mail).toStdString();
    }
}

TEST_F(Pop3ServerTest, StartTlsIsUsedWhenOfferedSoAnUntrustedCertificateStopsTheConnect)
{
    NMail untrusting;
    EXPECT_EQ(untrusting.NMailPop3Connect(servers.pop3Server()), -1);
    EXPECT_TRUE(lastLibraryMessage(untrusting).contains(QStringLiteral("証明書を信頼できません"))) << lastLibraryMessage(untrusting).toStdString();
    EXPECT_EQ(untrusting.NMailPop3Connect(servers.pop3sServer()), -1);
    EXPECT_TRUE(lastLibraryMessage(untrusting).contains(QStringLiteral("証明書を信頼できません")));
}

// Connections share one TLS context per CA file; the trust they check must still follow the file.
TEST_F(Pop3ServerTest, TrustFollowsTheCaFileAsItIsAtEachConnect)
{
    QTemporaryDir folder;
    const QString caFile = folder.filePath(QStringLiteral("ca.pem"));
    const auto connectTrusting = [&](const QByteArray& caContents) {
        QFile file(caFile);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(caContents);
        file.close();
        NMail trusting;
        trusting.NMailSetOptionText(NMailApi::OptionTrustedCaFile, caFile);
        const int handle = trusting.NMailPop3Connect(servers.pop3Server());
        if (handle > 0)
            trusting.NMailPop3Close(handle);
        return handle > 0;
    };
    const auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray trusted = contents(servers.caFile());
    // The server's own certificate is no authority: trusting only it trusts nothing it signed.
    const QByteArray other = contents(QFileInfo(servers.caFile()).dir().filePath(QStringLiteral("server.pem")));
    ASSERT_FALSE(trusted.isEmpty());
    ASSERT_FALSE(other.isEmpty());

    EXPECT_TRUE(connectTrusting(trusted));
    EXPECT_TRUE(connectTrusting(trusted));
    EXPECT_FALSE(connectTrusting(other));
    EXPECT_TRUE(connectTrusting(trusted));
}

TEST_F(Pop3ServerTest, AWrongPasswordFailsWithTheServersOwnReply)
{
    const int handle = mail.NMailPop3Connect(servers.pop3Server());
    ASSERT_GT(handle, 0);
    EXPECT_LT(mail.NMailPop3Authenticate(handle, box->user(), QStringLiteral("wrong"), 0), 0);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("-ERR [AUTH]"))) << lastLibraryMessage(mail).toStdString();
    EXPECT_LT(mail.NMailPop3Authenticate(handle, box->user(), QStringLiteral("wrong"), -1), 0);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("APOP"))) << lastLibraryMessage(mail).toStdString();
    mail.NMailPop3Close(handle);
}

TEST_F(Pop3ServerTest, AnEmptyMailboxHasNoMessages)
{
    const int handle = login(servers.pop3Server());
    ASSERT_GT(handle, 0);
    EXPECT_EQ(mail.NMailPop3Authenticate(handle, box->user(), box->password(), 0), -1)
        << "a second login on one connection is refused";
    EXPECT_EQ(mail.NMailPop3Close(handle), 0);
}

TEST_F(Pop3ServerTest, StatusSizeAndFetchGiveTheMessageOfThatNumber)
{
    deposit(2);
    const int handle = login(servers.pop3Server());
    ASSERT_GT(handle, 0);
    QString subject, date, from, header, body;
    EXPECT_EQ(mail.NMailPop3GetMailStatus(handle, 2, subject, date, from, header, 0), 1);
    EXPECT_EQ(subject, QStringLiteral("message2"));
    EXPECT_EQ(from, QStringLiteral("sender@example.jp"));
    EXPECT_EQ(date, QStringLiteral("Mon, 1 Apr 2024 09:00:00 +0900"));
    EXPECT_TRUE(header.startsWith(QStringLiteral("From: sender@example.jp\r\n")));
    EXPECT_EQ(mail.NMailPop3GetMailSize(handle, 2), static_cast<int>(message("message2", "body 2").size() + 7));
    EXPECT_EQ(mail.NMailPop3GetMail(handle, 1, subject, date, from, header, body, 0, 0), 1);
    EXPECT_EQ(subject, QStringLiteral("message1"));
    EXPECT_EQ(body, QStringLiteral("body 1\r\n"));
    EXPECT_EQ(mail.NMailPop3Close(handle), 0);
}

TEST_F(Pop3ServerTest, ACommandTheServerRefusesIsReportedAndTheSessionGoesOn)
{
    deposit(1);
    const int handle = login(servers.pop3Server());
    ASSERT_GT(handle, 0);
    QString subject, date, from, header, body;
    EXPECT_EQ(mail.NMailPop3GetMailSize(handle, 5), NMailApi::ResultMessageRefusedByServer);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("-ERR"))) << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(mail.NMailPop3GetMail(handle, 5, subject, date, from, header, body, 0, 0), NMailApi::ResultMessageRefusedByServer);
    EXPECT_EQ(mail.NMailPop3GetMailStatus(handle, 5, subject, date, from, header, 0), NMailApi::ResultMessageRefusedByServer);
    EXPECT_EQ(mail.NMailPop3DeleteMail(handle, 5), NMailApi::ResultMessageRefusedByServer);
    EXPECT_EQ(mail.NMailPop3GetMail(handle, 1, subject, date, from, header, body, 0, 0), 1);
    EXPECT_EQ(mail.NMailPop3DeleteMail(handle, 1), 1);
    EXPECT_EQ(mail.NMailPop3Close(handle), 0);
    EXPECT_EQ(box->count(), 0);
}

TEST_F(Pop3ServerTest, UidlGivesEveryMessageAnIdOfItsOwnThatOutlastsTheSession)
{
    deposit(3);
    QStringList first;
    QStringList second;
    for (QStringList* ids : {&first, &second}) {
        const int handle = login(servers.pop3Server());
        ASSERT_GT(handle, 0);
        EXPECT_EQ(mail.NMailPop3GetUidl(handle, *ids), 3) << lastLibraryMessage(mail).toStdString();
        EXPECT_EQ(mail.NMailPop3Close(handle), 0);
    }
    EXPECT_EQ(first, second);
    EXPECT_EQ(QSet<QString>(first.cbegin(), first.cend()).size(), 3);
    for (const QString& id : first)
        EXPECT_FALSE(id.isEmpty());

    // The one left after the first is deleted keeps its id.
    const int handle = login(servers.pop3Server());
    EXPECT_EQ(mail.NMailPop3DeleteMail(handle, 1), 1);
    EXPECT_EQ(mail.NMailPop3Close(handle), 0);
    const int after = login(servers.pop3Server());
    QStringList left;
    EXPECT_EQ(mail.NMailPop3GetUidl(after, left), 2);
    EXPECT_EQ(left, first.mid(1));
    EXPECT_EQ(mail.NMailPop3Close(after), 0);
}

TEST_F(Pop3ServerTest, DeletionsAreAppliedOnlyAtClose)
{
    deposit(3);
    const int handle = login(servers.pop3Server());
    ASSERT_GT(handle, 0);
    EXPECT_EQ(mail.NMailPop3DeleteMail(handle, 1), 1);
    EXPECT_EQ(mail.NMailPop3DeleteMail(handle, 3), 1);
    EXPECT_EQ(box->count(), 3);
    EXPECT_EQ(mail.NMailPop3Close(handle), 0);
    ASSERT_EQ(box->count(), 1);
    EXPECT_NE(box->messages()[0].find("Subject: message2"), std::string::npos);
}

TEST_F(Pop3ServerTest, AConnectionDroppedBeforeCloseDeletesNothing)
{
    deposit(3);
    {
        NMail dropping;
        dropping.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
        const int handle = dropping.NMailPop3Connect(servers.pop3Server());
        ASSERT_EQ(dropping.NMailPop3Authenticate(handle, box->user(), box->password(), 0), 3);
        for (int number = 1; number <= 3; ++number)
            EXPECT_EQ(dropping.NMailPop3DeleteMail(handle, number), 1);
        EXPECT_EQ(dropping.NMailEndWinSock(), 0);
        EXPECT_LT(dropping.NMailPop3Close(handle), 0) << "the session ended with the library";
    }
    EXPECT_EQ(box->count(), 3);
    const int handle = login(servers.pop3Server());
    EXPECT_EQ(mail.NMailPop3Authenticate(handle, box->user(), box->password(), 0), -1);
    mail.NMailPop3Close(handle);
}

TEST_F(Pop3ServerTest, AServerStoppedMidSessionFailsEveryLaterCallAndKeepsEveryMessage)
{
    deposit(3);
    PrivateDovecot server(servers);
    ASSERT_TRUE(server.start());
    const int handle = mail.NMailPop3Connect(server.pop3Server());
    ASSERT_GT(handle, 0) << lastLibraryMessage(mail).toStdString();
    ASSERT_EQ(mail.NMailPop3Authenticate(handle, box->user(), box->password(), 0), 3);
    QString subject, date, from, header, body;
    ASSERT_EQ(mail.NMailPop3GetMail(handle, 1, subject, date, from, header, body, 0, 0), 1);
    EXPECT_EQ(mail.NMailPop3DeleteMail(handle, 1), 1);

    ASSERT_TRUE(server.stop());
    EXPECT_LT(mail.NMailPop3GetMailStatus(handle, 2, subject, date, from, header, 0), 0);
    EXPECT_FALSE(lastLibraryMessage(mail).isEmpty());
    EXPECT_LT(mail.NMailPop3GetMailSize(handle, 2), 0);
    EXPECT_LT(mail.NMailPop3GetMail(handle, 2, subject, date, from, header, body, 0, 0), 0);
    EXPECT_LT(mail.NMailPop3DeleteMail(handle, 2), 0);
    ASSERT_TRUE(server.start());
    EXPECT_LT(mail.NMailPop3GetMail(handle, 2, subject, date, from, header, body, 0, 0), 0)
        << "a server back on its port is not a reason to log in again behind the caller's back";
    EXPECT_LT(mail.NMailPop3Close(handle), 0);
    EXPECT_EQ(box->count(), 3);
}

// The receive session's attachment step on the parts of a split message as they arrive in one
// mailbox: -6 while parts are missing, then the whole message in the buffers and its file written.
TEST_F(Pop3ServerTest, ASplitMessageIsRebuiltWhenItsLastPartIsFetched)
{
    for (const char* name : {"split_complete_2_of_3.eml", "split_missing_1_of_3.eml", "split_complete_3_of_3.eml",
             "split_complete_1_of_3.eml"}) {
        QFile file(QStringLiteral(NEMUROA_MAIL_CORPUS "/") + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(box->deposit(file.readAll().replace("\r\n", "\n").toStdString()));
    }
    QTemporaryDir folder;
    const QString attachments = folder.path() + QStringLiteral("/");
    const int handle = login(servers.pop3Server());
    ASSERT_GT(handle, 0);
    const int expectedResults[] = {-6, -6, -6, 1};
    QString subject, date, from, header, body, workText;
    for (int number = 1; number <= 4; ++number) {
        SCOPED_TRACE(number);
        ASSERT_EQ(mail.NMailPop3GetMailStatus(handle, number, subject, date, from, header, 0), 1);
        ASSERT_GT(mail.NMailPop3GetMailSize(handle, number), 0);
        ASSERT_EQ(mail.NMailPop3GetMail(handle, number, subject, date, from, header, body, 0, 0), 1);
        EXPECT_TRUE(subject.startsWith(QStringLiteral("split part")));
        EXPECT_EQ(mail.NMailAttachmentFileFirst(0, subject, date, from, header, body, attachments,
                      attachments + QStringLiteral("0.txt"), workText, 0),
            expectedResults[number - 1]);
        EXPECT_EQ(mail.NMailAttachmentFileClose(0), 0);
    }
    EXPECT_EQ(subject, QStringLiteral("分割メール①㈱Ⅰ髙～"));
    EXPECT_EQ(body, QStringLiteral("分割された大きなメールの本文\r\n"));
    EXPECT_TRUE(header.contains(QStringLiteral("Message-ID: <whole@example.jp>")));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("大きな添付.bin")});
    EXPECT_EQ(mail.NMailPop3Close(handle), 0);
}

// The earlier parts are on no server any more: they go only once the whole message is stored and
// the QUIT that deletes the completing part went through.
TEST_F(Pop3ServerTest, KeptPartsOfASplitMessageGoOnlyAfterTheQuitThatDeletesTheLastPart)
{
    for (const char* name : {"split_complete_1_of_3.eml", "split_complete_2_of_3.eml", "split_complete_3_of_3.eml"}) {
        QFile file(QStringLiteral(NEMUROA_MAIL_CORPUS "/") + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(box->deposit(file.readAll().replace("\r\n", "\n").toStdString()));
    }
    QTemporaryDir folder;
    const QString attachments = folder.path() + QStringLiteral("/");
    const QString keptParts = folder.path() + QStringLiteral("/.nmail-split");
    const auto receive = [&](int count, const std::vector<int>& deletions) {
        const int handle = login(servers.pop3Server());
        ASSERT_EQ(box->count(), count);
        QString subject, date, from, header, body, workText;
        for (int number = 1; number <= count; ++number) {
            ASSERT_EQ(mail.NMailPop3GetMail(handle, number, subject, date, from, header, body, 0, 0), 1);
            (void)mail.NMailAttachmentFileFirst(0, subject, date, from, header, body, attachments, attachments + QStringLiteral("0.txt"), workText, 0);
            EXPECT_EQ(mail.NMailAttachmentFileClose(0), 0);
        }
        EXPECT_EQ(subject, QStringLiteral("分割メール①㈱Ⅰ髙～")) << "the last part completes the message";
        for (const int number : deletions)
            EXPECT_EQ(mail.NMailPop3DeleteMail(handle, number), 1);
        EXPECT_EQ(mail.NMailPop3Close(handle), 0);
    };

    receive(3, {1, 2}); // the completing part stays on the server, as when storing it failed
    EXPECT_TRUE(QDir(keptParts).exists());
    receive(1, {});
    EXPECT_TRUE(QDir(keptParts).exists()) << "no deletion, no removal";
    receive(1, {1});
    EXPECT_FALSE(QDir(keptParts).exists());
    EXPECT_EQ(box->count(), 0);
}

TEST_F(Pop3ServerTest, AServerThatTricklesItsReplyIsCutOffAtTheMinimumRate)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    // One byte every 20 ms: never silent for a whole time-out, and never a whole line. The time-out
    // only has to outlast the wait for the first byte, however long a loaded machine makes it; any
    // later delay only makes the trickle slower.
    std::thread trickler([listener] {
        const int client = ::accept(listener, nullptr, nullptr);
        for (int sent = 0; sent < 1000 && ::send(client, "+", 1, MSG_NOSIGNAL) == 1; ++sent)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::close(client);
    });

    mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, 3000);
    mail.NMailSetOption(NMailApi::OptionMinimumBytesPerSecond, 1000);
    EXPECT_EQ(mail.NMailPop3Connect(QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port))), -1);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("遅すぎる"))) << lastLibraryMessage(mail).toStdString();
    trickler.join();
    ::close(listener);
}

TEST_F(Pop3ServerTest, UnreachableAndSilentServersFailWithinTheTimeOut)
{
    // A listening socket that never answers: the greeting never comes.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);

    mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, 150);
    EXPECT_EQ(mail.NMailPop3Connect(QStringLiteral("127.0.0.1:%1").arg(port)), -1);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("時間切れ"))) << lastLibraryMessage(mail).toStdString();
    ::close(silent);

    EXPECT_EQ(mail.NMailPop3Connect(QStringLiteral("127.0.0.1:%1").arg(port)), -1);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("接続できません"))) << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(mail.NMailPop3Connect(QStringLiteral("no-such-host.invalid")), -1);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("見つかりません"))) << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(mail.NMailPop3Connect(QStringLiteral("imap://127.0.0.1")), -1);
}

TEST_F(Pop3ServerTest, CallsOnAHandleThatIsNotOpenFail)
{
    QString subject, date, from, header, body;
    EXPECT_LT(mail.NMailPop3Authenticate(42, box->user(), box->password(), 0), 0);
    EXPECT_LT(mail.NMailPop3GetMailStatus(42, 1, subject, date, from, header, 0), 0);
    EXPECT_LT(mail.NMailPop3GetMailSize(42, 1), 0);
    EXPECT_LT(mail.NMailPop3GetMail(42, 1, subject, date, from, header, body, 0, 0), 0);
    EXPECT_LT(mail.NMailPop3DeleteMail(42, 1), 0);
    EXPECT_LT(mail.NMailPop3Close(42), 0);
}

} // namespace

TEST_F(Pop3ServerTest, APasswordGoesToAServerWithoutTlsOnlyWhenAllowed)
{
    deposit(2);
    struct Case {
        const char* what;
        int apop;
        int allowPlainPassword;
        int expected;
    };
    const Case cases[] = {
        {"USER/PASS held back", 0, 0, NMailApi::ResultPasswordNeedsTls},
        {"USER/PASS allowed", 0, 1, 2},
        {"APOP digest held back", -1, 0, NMailApi::ResultPasswordNeedsTls},
        {"APOP allowed", -1, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(mail.NMailSetOption(NMailApi::OptionAllowPlainPassword, c.allowPlainPassword), 0);
        const int handle = mail.NMailPop3Connect(servers.pop3NoTlsServer());
        ASSERT_GT(handle, 0) << lastLibraryMessage(mail).toStdString();
        EXPECT_EQ(mail.NMailPop3Authenticate(handle, box->user(), box->password(), c.apop), c.expected);
        if (c.expected < 0) {
            EXPECT_TRUE(lastLibraryMessage(mail).contains(servers.pop3NoTlsServer())) << lastLibraryMessage(mail).toStdString();
        }
        EXPECT_EQ(mail.NMailPop3Close(handle), 0);
    }
}
