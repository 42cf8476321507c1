#include "LibraryMessage.h"
#include "NMail.h"
#include "Pop3Session.h"
#include "ScriptedServer.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <map>

// The mail library against servers that misbehave on purpose: replies without end, sizes no
// number can hold, answers that never come, a STARTTLS taken back.
namespace {

using Answer = ScriptedServer::Answer;
using Then = Answer::Then;

std::string lines(const std::string& line, std::size_t count)
{
    std::string text;
    text.reserve((line.size() + 2) * count);
    for (std::size_t i = 0; i < count; ++i)
        text += line + "\r\n";
    return text;
}

class HostilePop3Test : public ::testing::Test {
protected:
    void SetUp() override { mail.NMailSetOption(NMailApi::OptionAllowPlainPassword, 1); }

    // Logs in and fetches message 1: the result of the first call that touches it.
    int fetchFirst(const ScriptedServer& server)
    {
        handle = mail.NMailPop3Connect(server.address());
        if (handle < 0)
            return handle;
        const int count = mail.NMailPop3Authenticate(handle, QStringLiteral("taro"), QStringLiteral("secret"), 0);
        if (count < 0)
            return count;
        QString subject, date, from, header;
        return mail.NMailPop3GetMailStatus(handle, 1, subject, date, from, header, 0);
    }

    NMail mail;
    int handle = -1;
};

TEST_F(HostilePop3Test, RepliesPastTheirBoundsDropTheConnectionKeepNothingAndSayWhy)
{
    const std::string filler = "X-Filler: " + std::string(60, 'a');
    struct Case {
        const char* name;
        std::map<std::string, Answer> answers;
        int timeoutMilliseconds;
        int minimumBytesPerSecond;
        int expected;
        const char* why;
    };
    const Case cases[] = {
        // 20 MB where LIST said 100 bytes, as fast as loopback goes.
        {"a message far over its LIST size", {{"RETR", {"+OK\r\n" + lines(filler, 300000) + ".\r\n"}}}, 5000, 1024,
            NMailApi::ResultRefusedByBound, "65646 バイトを超えても終わらなかった"},
        // About 50 KB a second: never a pause as long as the time-out, and by the deadline (0.3 s
        // and 65646 bytes at 100000 a second) still short of the size bound.
        {"a message that trickles without end", {{"RETR", {"+OK\r\n", Then::Flood, lines(filler, 14), 20}}}, 300, 100000,
            NMailApi::ResultRefusedByBound, "届くのが遅すぎた"},
        {"a LIST longer than STAT's count allows", {{"LIST", {"+OK\r\n" + lines("1 100", 1000) + ".\r\n"}}}, 5000, 1024, -1,
            "応答が長すぎる"},
        {"a capability list without end", {{"CAPA", {"+OK\r\n", Then::Flood, lines("X-CAPABILITY", 100)}}}, 5000, 1024, -1,
            "応答が長すぎる"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, c.timeoutMilliseconds);
        mail.NMailSetOption(NMailApi::OptionMinimumBytesPerSecond, c.minimumBytesPerSecond);
        {
            const ScriptedServer server(ScriptedServer::pop3(c.answers));
            EXPECT_EQ(fetchFirst(server), c.expected);
            EXPECT_TRUE(lastLibraryMessage(mail).contains(QString::fromUtf8(c.why))) << lastLibraryMessage(mail).toStdString();
            if (handle > 0) {
                EXPECT_LT(mail.NMailPop3DeleteMail(handle, 1), 0);
                mail.NMailPop3Close(handle);
            }
            // Dropped, not closed: the server deletes nothing.
            EXPECT_FALSE(server.heardLineStartingWith("QUIT"));
            EXPECT_FALSE(server.heardLineStartingWith("DELE"));
        }
    }
}

TEST_F(HostilePop3Test, AMessageALittleOverItsListSizeIsKeptWhole)
{
    const std::string body = lines("本文の行です。", 1000);
    const ScriptedServer server(ScriptedServer::pop3({{"RETR", {"+OK\r\nSubject: long\r\n\r\n" + body + ".\r\n"}},
        {"LIST", {"+OK\r\n1 " + std::to_string(body.size() * 95 / 100) + "\r\n.\r\n"}}}));
    EXPECT_EQ(fetchFirst(server), 1) << lastLibraryMessage(mail).toStdString();
    QString subject, date, from, header, text;
    EXPECT_EQ(mail.NMailPop3GetMail(handle, 1, subject, date, from, header, text, 0, 0), 1);
    EXPECT_EQ(text.count(QStringLiteral("本文の行です。")), 1000);
    EXPECT_EQ(mail.NMailPop3Close(handle), 0);
}

TEST(Pop3SizesTest, NumbersNoSizeCanHoldAreNoSizes)
{
    // The RETR reply's own count is only a hint for the allocation.
    const ScriptedServer server(ScriptedServer::pop3({{"RETR", {"+OK 9223372036854775807 octets\r\nSubject: x\r\n\r\nbody\r\n.\r\n"}},
        {"LIST", {"+OK\r\n1 99999999999999999999\r\n2 200\r\n.\r\n"}}, {"LIST 1", {"+OK 1 100\r\n"}}}));
    Pop3Session session;
    ASSERT_TRUE(session.open(ServerAddress{QStringLiteral("127.0.0.1"), server.address().section(u':', 1).toInt(), false}, {}).ok());
    ASSERT_TRUE(session.login(QStringLiteral("taro"), QStringLiteral("secret"), false, true).ok());
    const auto size = session.messageSize(1);
    ASSERT_TRUE(size.ok()) << size.error().toStdString();
    EXPECT_EQ(size.value(), 100);
    const auto message = session.retrieve(1, 2048);
    ASSERT_TRUE(message.ok()) << message.error().toStdString();
    EXPECT_EQ(message.value(), "Subject: x\r\n\r\nbody\r\n");
}

TEST(Pop3SizesTest, AMessageCountNoNumberCanHoldFailsTheLogin)
{
    const ScriptedServer server(ScriptedServer::pop3({{"STAT", {"+OK 99999999999999999999 300\r\n"}}}));
    NMail mail;
    mail.NMailSetOption(NMailApi::OptionAllowPlainPassword, 1);
    const int handle = mail.NMailPop3Connect(server.address());
    ASSERT_GT(handle, 0);
    EXPECT_LT(mail.NMailPop3Authenticate(handle, QStringLiteral("taro"), QStringLiteral("secret"), 0), 0);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("99999999999999999999"))) << lastLibraryMessage(mail).toStdString();
    mail.NMailPop3Close(handle);
}

// Commands sent ahead of their replies: each reply may take the time-out from the moment it is its
// turn, however long the replies before it took.
TEST_F(HostilePop3Test, EachPipelinedReplyHasTheTimeOutFromItsOwnTurn)
{
    mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, 2000);
    const ScriptedServer server(ScriptedServer::pop3({
        {"CAPA", Answer("+OK\r\nUSER\r\nPIPELINING\r\n.\r\n")},
        {"STAT", Answer("+OK 8 800\r\n")},
        {"DELE", Answer("+OK marked\r\n", Then::Listen, {}, 400)},
    }));
    handle = mail.NMailPop3Connect(server.address());
    ASSERT_EQ(mail.NMailPop3Authenticate(handle, QStringLiteral("taro"), QStringLiteral("secret"), 0), 8);
    const QList<int> numbers{1, 2, 3, 4, 5, 6, 7, 8};
    QStringList refusals;
    EXPECT_EQ(mail.NMailPop3DeleteMails(handle, numbers, refusals), 8) << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(mail.NMailPop3Close(handle), 0) << lastLibraryMessage(mail).toStdString();
}

class HostileSmtpTest : public ::testing::Test {
protected:
    void SetUp() override { mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, 2000); }

    int send(const ScriptedServer& server, const QString& to = QStringLiteral("hanako@example.jp"))
    {
        return mail.NMailSmtpSendMail(server.address(), to, nullptr, nullptr, QStringLiteral("taro@example.jp"),
            QStringLiteral("件名"), QStringLiteral("本文"), nullptr, QString(), 0);
    }

    NMail mail;
};

TEST_F(HostileSmtpTest, AMessageTakenWithoutAnAnswerMayHaveGoneAndTheNextGoesOverANewConnection)
{
    struct Case {
        const char* name;
        Answer afterTheMessage;
        const char* why;
    };
    const Case cases[] = {
        {"the server falls silent", {{}, Then::Hang}, "0.3 秒待っても"},
        {"the server hangs up", {{}, Then::Close}, "接続が切れました"},
    };
    mail.NMailSetOption(NMailApi::OptionSmtpEndOfDataWaitMilliseconds, 300);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptedServer server(ScriptedServer::smtp({{{1, "."}, c.afterTheMessage}}));
        EXPECT_EQ(send(server, QStringLiteral("first@example.jp")), NMailApi::ResultSentUnconfirmed);
        const QString text = lastLibraryMessage(mail);
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.why))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("送信履歴"))) << text.toStdString();
        // The answer to DATA is not the answer to the message. The server's port may hold "354" by chance.
        EXPECT_FALSE(QString(text).remove(server.address()).contains(QStringLiteral("354"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("go ahead"))) << text.toStdString();
        EXPECT_EQ(send(server, QStringLiteral("second@example.jp")), 0) << lastLibraryMessage(mail).toStdString();
        EXPECT_EQ(server.connections(), 2);
    }
}

TEST_F(HostileSmtpTest, TheAnswerToAMessageMayTakeLongerThanAnyOtherReply)
{
    mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, 300);
    mail.NMailSetOption(NMailApi::OptionSmtpEndOfDataWaitMilliseconds, 60000);
    const ScriptedServer server(ScriptedServer::smtp({{{0, "."}, {"250 queued at last\r\n", Then::Listen, {}, 1500}}}));
    EXPECT_EQ(send(server), 0) << lastLibraryMessage(mail).toStdString();
}

TEST_F(HostileSmtpTest, ARefusedOrLateReplyToAnyOtherCommandEndsTheSendWithItsOwnReason)
{
    struct Case {
        const char* name;
        std::string verb;
        Answer answer;
        const char* why;
    };
    const Case cases[] = {
        {"an endless EHLO", "EHLO", {"250-scripted\r\n", Then::Flood, "250-X-PADDING\r\n"}, "応答が長すぎる"},
        {"silence after EHLO", "EHLO", {{}, Then::Hang}, "時間切れ"},
        {"silence after MAIL", "MAIL", {{}, Then::Hang}, "時間切れ"},
        {"silence after RCPT", "RCPT", {{}, Then::Hang}, "時間切れ"},
    };
    // Each must end at the reply time-out, not at the long wait for a message's answer.
    mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, 500);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptedServer server(ScriptedServer::smtp({{{0, c.verb}, c.answer}}));
        EXPECT_EQ(send(server), NMailApi::SendNotConnected);
        EXPECT_TRUE(lastLibraryMessage(mail).contains(QString::fromUtf8(c.why))) << lastLibraryMessage(mail).toStdString();
        EXPECT_FALSE(server.heardLineStartingWith("DATA"));
    }
}

TEST_F(HostileSmtpTest, AStartTlsOfferedAndThenRefusedSendsNothing)
{
    const Answer offersTls{"250-scripted\r\n250 STARTTLS\r\n"};
    const Answer refusesTls{"454 4.7.0 TLS not available due to local problem\r\n"};
    for (const bool withAccount : {false, true}) {
        SCOPED_TRACE(withAccount ? "with an account" : "without an account");
        mail.NMailSetOptionText(NMailApi::OptionSmtpUser, withAccount ? QStringLiteral("taro") : QString());
        mail.NMailSetOptionText(NMailApi::OptionSmtpPassword, withAccount ? QStringLiteral("secret") : QString());
        const ScriptedServer server(ScriptedServer::smtp({{{0, "EHLO"}, offersTls}, {{0, "STARTTLS"}, refusesTls}}));
        // Not ResultPasswordNeedsTls: the user is not asked to send the password in clear.
        EXPECT_EQ(send(server), NMailApi::SendNotConnected);
        const QString text = lastLibraryMessage(mail);
        EXPECT_TRUE(text.contains(QStringLiteral("STARTTLS"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("454 4.7.0"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("送信しませんでした"))) << text.toStdString();
        EXPECT_FALSE(server.heardLineStartingWith("AUTH"));
        EXPECT_FALSE(server.heardLineStartingWith("MAIL"));
    }
}

} // namespace

namespace {

TEST_F(HostileSmtpTest, AnEhloLineWithNothingAfterItsCodeOffersNothing)
{
    const ScriptedServer server(ScriptedServer::smtp({{{0, "EHLO"}, {"250-scripted\r\n250-\r\n250\r\n"}}}));
    EXPECT_EQ(send(server), 0) << lastLibraryMessage(mail).toStdString();
    EXPECT_TRUE(server.heardLineStartingWith("DATA"));
}

} // namespace
