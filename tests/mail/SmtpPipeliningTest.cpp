#include "LibraryMessage.h"
#include "NMail.h"
#include "ScriptedServer.h"
#include "SmtpSender.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

// Sending to servers that take commands ahead of their replies (PIPELINING) and messages as one
// sized chunk (BDAT): what goes in one write, what arrives, and what a refusal inside a group of
// commands leaves behind.
namespace {

using Answer = ScriptedServer::Answer;

const Answer OffersPipelining{"250-scripted\r\n250-PIPELINING\r\n250 8BITMIME\r\n"};
const Answer OffersChunking{"250-scripted\r\n250 CHUNKING\r\n"};
const Answer OffersBoth{"250-scripted\r\n250-PIPELINING\r\n250-SIZE 10000000\r\n250 CHUNKING\r\n"};

std::string verb(const std::string& line) { return line.substr(0, line.find_first_of(" :")); }

// The commands among the lines the client sent before the answer to the line before them.
std::vector<std::string> commandsSentAhead(const ScriptedServer& server)
{
    static const std::set<std::string> commands{"EHLO", "HELO", "MAIL", "RCPT", "DATA", "BDAT", "RSET", "QUIT"};
    std::vector<std::string> ahead;
    for (const std::string& line : server.heardAhead()) {
        if (commands.contains(verb(line)))
            ahead.push_back(line);
    }
    return ahead;
}

class SmtpPipeliningTest : public ::testing::Test {
protected:
    void SetUp() override { mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, 5000); }

    int send(const ScriptedServer& server, const QString& to = QStringLiteral("hanako@example.jp"))
    {
        return mail.NMailSmtpSendMail(server.address(), to, nullptr, nullptr, QStringLiteral("taro@example.jp"), QStringLiteral("件名"),
            QStringLiteral("本文"), nullptr, QString(), 0);
    }

    NMail mail;
};

TEST_F(SmtpPipeliningTest, OnlyAServerThatOffersPipeliningGetsTheEnvelopeAndDataInOneWrite)
{
    struct Case {
        const char* name;
        Answer ehlo;
        std::vector<std::string> ahead;
    };
    const Case cases[] = {
        {"PIPELINING offered", OffersPipelining, {"RCPT TO:<hanako@example.jp>", "DATA", "RCPT TO:<hanako@example.jp>", "DATA"}},
        {"PIPELINING not offered", {"250-scripted\r\n250 8BITMIME\r\n"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptedServer server(ScriptedServer::smtp({{{0, "EHLO"}, c.ehlo}}));
        // Two messages of a bulk send: one connection, one greeting.
        EXPECT_EQ(send(server), 0) << lastLibraryMessage(mail).toStdString();
        EXPECT_EQ(send(server), 0) << lastLibraryMessage(mail).toStdString();
        EXPECT_EQ(commandsSentAhead(server), c.ahead);
        EXPECT_EQ(server.connections(), 1);
        const auto heard = server.heard();
        EXPECT_EQ(std::count(heard.begin(), heard.end(), "."), 2);
    }
}

TEST_F(SmtpPipeliningTest, WithChunkingTheMessageGoesAsOneExactlySizedBdatWithNothingAddedToIt)
{
    struct Case {
        const char* name;
        Answer ehlo;
        bool chunkSentAhead;
        bool offersSize;
    };
    const Case cases[] = {
        {"CHUNKING with PIPELINING and SIZE", OffersBoth, true, true},
        {"CHUNKING alone", OffersChunking, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptedServer server(ScriptedServer::smtp({{{0, "EHLO"}, c.ehlo}}));
        ASSERT_EQ(send(server), 0) << lastLibraryMessage(mail).toStdString();
        const auto chunks = server.chunks();
        ASSERT_EQ(chunks.size(), 1U);
        const std::string& chunk = chunks.front();
        EXPECT_TRUE(server.heardLineStartingWith("BDAT " + std::to_string(chunk.size()) + " LAST"));
        EXPECT_TRUE(chunk.starts_with("From: "));
        EXPECT_TRUE(chunk.ends_with("\r\n"));
        // No end-of-data line after it, and no DATA.
        EXPECT_FALSE(chunk.ends_with("\r\n.\r\n"));
        EXPECT_FALSE(server.heardLineStartingWith("DATA"));
        const auto ahead = commandsSentAhead(server);
        EXPECT_EQ(std::find(ahead.begin(), ahead.end(), "BDAT " + std::to_string(chunk.size()) + " LAST") != ahead.end(), c.chunkSentAhead);
        // The server offering SIZE is told the size.
        EXPECT_EQ(server.heardLineStartingWith("MAIL FROM:<taro@example.jp> SIZE=" + std::to_string(chunk.size())), c.offersSize);
    }
}

TEST_F(SmtpPipeliningTest, AChunkSentWithItsEnvelopeAndNeverAnsweredMayHaveGoneAndTheNextGoesOverANewConnection)
{
    mail.NMailSetOption(NMailApi::OptionSmtpEndOfDataWaitMilliseconds, 300);
    // Silent from MAIL on: the replies to MAIL and RCPT may wait for the message's.
    const ScriptedServer server(ScriptedServer::smtp({{{0, "EHLO"}, OffersBoth}, {{1, "MAIL"}, {{}, Answer::Then::Hang}}}));
    EXPECT_EQ(send(server), NMailApi::ResultSentUnconfirmed);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("0.3 秒待っても"))) << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(send(server), 0) << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(SmtpPipeliningTest, RepliesHeldBackUntilTheMessageIsDealtWithMayTakeAsLongAsItsAnswer)
{
    mail.NMailSetOption(NMailApi::OptionTimeoutMilliseconds, 300);
    mail.NMailSetOption(NMailApi::OptionSmtpEndOfDataWaitMilliseconds, 60000);
    const ScriptedServer server(ScriptedServer::smtp({{{0, "EHLO"}, OffersBoth}, {{0, "MAIL"}, {"250 OK\r\n", Answer::Then::Listen, {}, 1500}}}));
    EXPECT_EQ(send(server), 0) << lastLibraryMessage(mail).toStdString();
}

TEST(SmtpDataTransfer, LineEndsBecomeCrLfAndALeadingDotIsDoubled)
{
    struct Case {
        std::string message;
        std::string transfer;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n.\r\n"},
        {".\r\n", "..\r\n.\r\n"},
        {"a\r\n.b\r\n..\r\nc.d\r\n", "a\r\n..b\r\n...\r\nc.d\r\n.\r\n"},
        {"bare\nlf\rcr", "bare\r\nlf\r\ncr\r\n.\r\n"},
        {"", ".\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SmtpSender::dataTransfer(c.message), c.transfer) << c.message;
}

// A server that refuses the first line that starts with refusedLine: a MAIL, whose transaction
// then has no sender until RSET, or one recipient.
ScriptedServer::Script refusing(const std::string& refusedLine, const Answer& ehlo)
{
    return [inner = ScriptedServer::smtp({{{0, "EHLO"}, ehlo}}), refusedLine, refused = false, withoutSender = false](
               int connection, const std::string& line, bool opened) mutable {
        if (opened)
            return inner(connection, line, opened);
        if (!refused && line.starts_with(refusedLine)) {
            refused = true;
            withoutSender = verb(line) == "MAIL";
            return Answer("550 5.1.1 refused here\r\n");
        }
        if (withoutSender) {
            const std::string command = verb(line);
            if (command == "RSET")
                withoutSender = false;
            else if (command == "RCPT")
                return Answer("503 5.5.1 sender first\r\n");
            else if (command == "DATA")
                return Answer("554 5.5.1 no valid recipients\r\n");
            else if (command == "BDAT") {
                Answer chunkRefused = inner(connection, line, opened);
                chunkRefused.bytes = "554 5.5.1 no valid recipients\r\n";
                return chunkRefused;
            }
        }
        return inner(connection, line, opened);
    };
}

TEST_F(SmtpPipeliningTest, ARefusalInsideAGroupRefusesTheWholeMessageAndSendsNoneOfIt)
{
    struct Case {
        const char* name;
        std::string refusedLine;
        QString to;
        Answer ehlo;
        // 1: the connection serves the next message; 2: it had to be dropped.
        int connectionsAfterTheNext;
    };
    const Case cases[] = {
        // DATA still gets "354" for the recipient that was taken: only hanging up keeps the message from it.
        {"one of two recipients, DATA", "RCPT TO:<b@", QStringLiteral("a@example.jp, b@example.jp"), OffersPipelining, 2},
        {"MAIL, DATA", "MAIL", QStringLiteral("a@example.jp"), OffersPipelining, 1},
        {"one of two recipients, BDAT", "RCPT TO:<b@", QStringLiteral("a@example.jp, b@example.jp"), OffersBoth, 1},
        {"MAIL, BDAT", "MAIL", QStringLiteral("a@example.jp"), OffersBoth, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptedServer server(refusing(c.refusedLine, c.ehlo));
        EXPECT_EQ(send(server, c.to), -1);
        EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("550 5.1.1 refused here"))) << lastLibraryMessage(mail).toStdString();
        // Nothing of the message was taken: no header line went as DATA, and any chunk went only
        // along with a MAIL that the server refused.
        EXPECT_FALSE(server.heardLineStartingWith("From: "));
        EXPECT_FALSE(server.heardLineStartingWith("."));
        if (c.refusedLine != "MAIL") {
            EXPECT_TRUE(server.chunks().empty());
        }

        EXPECT_EQ(send(server, QStringLiteral("c@example.jp")), 0) << lastLibraryMessage(mail).toStdString();
        EXPECT_EQ(server.connections(), c.connectionsAfterTheNext);
    }
}

} // namespace
