#include "LibraryMessage.h"
#include "NMail.h"
#include "PlainPasswordConsent.h"
#include "ScriptedSmtpServer.h"
#include "TestMailServers.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>


namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SmtpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(servers.ok()) << servers.problem().toStdString();
        ASSERT_TRUE(files.isValid());
        mail.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        box.emplace(servers.createMailbox(QStringLiteral("smtp_%1").arg(QString::fromLatin1(test->name()).toLower())));
        QDir(files.path()).mkdir(QStringLiteral("添付フォルダ"));
    }

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = files.path() + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    int send(const QString& server, const QString& subject, const QString& body, const QString& attachments)
    {
        return mail.NMailSmtpSendMail(server, box->address(), nullptr, nullptr, QStringLiteral("taro@example.jp"), subject, body,
            nullptr, attachments, 0);
    }

    const TestMailServers& servers = TestMailServers::shared();
    NMail mail;
    std::optional<TestMailbox> box;
    QTemporaryDir files;
};

TEST_F(SmtpServerTest, SentMailComesBackWithItsJapaneseSubjectBodyAndFileNamesExactly)
{
    const QString subject = QStringLiteral("見積書の件①㈱Ⅰ髙～ｶﾅ（ご確認ください）とても長い件名が折り返されても一文字も欠けないこと");
    const QString body = QStringLiteral("山田様\r\n\r\nお世話になっております。①②③ ㈱ Ⅰ 髙 ～ ﾊﾝｶｸ 😀\r\n以上です。");
    const QString japaneseName = QStringLiteral("御見積書①㈱～.txt");
    QByteArray binary;
    for (int i = 0; i < 3000; ++i)
        binary.append(static_cast<char>(i * 7));
    const QString attachments = writeFile(japaneseName, QByteArray("見積の中身\r\n")) + u',' + writeFile(QStringLiteral("data.bin"), binary);

    mail.NMailSetOptionText(NMailApi::OptionSmtpUser, box->user());
    mail.NMailSetOptionText(NMailApi::OptionSmtpPassword, box->password());
    ASSERT_EQ(send(servers.smtpServer(), subject, body, attachments), 0) << lastLibraryMessage(mail).toStdString();
    ASSERT_EQ(box->count(), 1);

    const int handle = mail.NMailPop3Connect(servers.pop3Server());
    ASSERT_EQ(mail.NMailPop3Authenticate(handle, box->user(), box->password(), 0), 1);
    QString gotSubject, date, from, header, gotBody, workText;
    ASSERT_EQ(mail.NMailPop3GetMail(handle, 1, gotSubject, date, from, header, gotBody, 0, 0), 1);
    EXPECT_EQ(gotSubject, subject);
    // A message of parts comes with its part headers, so the program can see that it carries files.
    EXPECT_TRUE(gotBody.contains(QStringLiteral("Content-Disposition: attachment")));
    EXPECT_EQ(from, QStringLiteral("taro@example.jp"));
    EXPECT_FALSE(date.isEmpty());
    EXPECT_TRUE(header.contains(QStringLiteral("Message-ID:"), Qt::CaseInsensitive));
    EXPECT_TRUE(header.contains(QStringLiteral("MIME-Version: 1.0")));

    const QString folder = files.path() + QStringLiteral("/添付フォルダ/");
    EXPECT_EQ(mail.NMailAttachmentFileFirst(0, gotSubject, date, from, header, gotBody, folder, folder + QStringLiteral("0.txt"),
                  workText, 0),
        1)
        << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(gotBody, body);
    mail.NMailAttachmentFileClose(0);
    EXPECT_EQ(fileBytes(folder + japaneseName), QByteArray("見積の中身\r\n"));
    EXPECT_EQ(fileBytes(folder + QStringLiteral("data.bin")), binary);
    EXPECT_EQ(mail.NMailPop3DeleteMail(handle, 1), 1);
    EXPECT_EQ(mail.NMailPop3Close(handle), 0);
    EXPECT_EQ(box->count(), 0);
}

TEST_F(SmtpServerTest, SmtpsSendsFromTheFirstByte)
{
    ASSERT_EQ(send(servers.smtpsServer(), QStringLiteral("件名"), QStringLiteral("本文"), QString()), 0)
        << lastLibraryMessage(mail).toStdString();
    ASSERT_EQ(box->count(), 1);
    EXPECT_NE(box->messages()[0].find("Content-Transfer-Encoding: base64"), std::string::npos);
}

TEST_F(SmtpServerTest, RefusedSendsReachNoMailbox)
{
    struct Case {
        const char* what;
        QString subject;
        QString to;
        QString attachments;
        QString expected;
    };
    const QString brokenName = files.path() + QStringLiteral("/a.txt\r\nX-Injected: 1");
    QFile broken(brokenName);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.close();
    const Case cases[] = {
        {"CR LF in the subject", QStringLiteral("件名\r\nBcc: victim@example.jp"), box->address(), QString(), QStringLiteral("改行")},
        {"LF in the address", QStringLiteral("件名"), box->address() + QStringLiteral("\nBcc: x@example.jp"), QString(), QStringLiteral("改行")},
        {"missing attachment", QStringLiteral("件名"), box->address(), files.path() + QStringLiteral("/none.txt"), QStringLiteral("none.txt")},
        {"folder as attachment", QStringLiteral("件名"), box->address(), files.path(), QStringLiteral("添付ファイル")},
        {"no address", QStringLiteral("件名"), QStringLiteral("not an address"), QString(), QStringLiteral("宛先")},
        {"CR LF in a file name", QStringLiteral("件名"), box->address(), brokenName, QStringLiteral("添付ファイル名に改行")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_LT(mail.NMailSmtpSendMail(servers.smtpServer(), c.to, nullptr, nullptr, QStringLiteral("taro@example.jp"), c.subject,
                      QStringLiteral("本文"), nullptr, c.attachments, 0),
            0);
        EXPECT_TRUE(lastLibraryMessage(mail).contains(c.expected)) << lastLibraryMessage(mail).toStdString();
    }
    EXPECT_EQ(box->count(), 0);
}

TEST_F(SmtpServerTest, AuthenticationAndCertificateFailuresAreNamed)
{
    mail.NMailSetOptionText(NMailApi::OptionSmtpUser, box->user());
    mail.NMailSetOptionText(NMailApi::OptionSmtpPassword, QStringLiteral("wrong"));
    EXPECT_LT(send(servers.smtpServer(), QStringLiteral("件名"), QStringLiteral("本文"), QString()), 0);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("認証に失敗"))) << lastLibraryMessage(mail).toStdString();

    NMail untrusting;
    EXPECT_LT(untrusting.NMailSmtpSendMail(servers.smtpsServer(), box->address(), nullptr, nullptr, QStringLiteral("taro@example.jp"),
                  QStringLiteral("件名"), QStringLiteral("本文"), nullptr, QString(), 0),
        0);
    EXPECT_TRUE(lastLibraryMessage(untrusting).contains(QStringLiteral("証明書"))) << lastLibraryMessage(untrusting).toStdString();
    EXPECT_EQ(box->count(), 0);
}

} // namespace

namespace {

// Answers every question with the scripted answer and counts them.
class ScriptedAnswers final : public MessageBoxService {
public:
    explicit ScriptedAnswers(Answer answer) : answer_(answer) {}
    Answer show(const Request& request) override
    {
        questions.append(request.text);
        return answer_;
    }
    QStringList questions;

private:
    Answer answer_;
};

int count(const std::string& text, const std::string& sought)
{
    int found = 0;
    for (std::size_t at = text.find(sought); at != std::string::npos; at = text.find(sought, at + 1))
        ++found;
    return found;
}

} // namespace

TEST_F(SmtpServerTest, SendingAsksOnceForAServerWithoutTlsAndRemembersAYes)
{
    mail.NMailSetOptionText(NMailApi::OptionSmtpUser, QStringLiteral("taro"));
    mail.NMailSetOptionText(NMailApi::OptionSmtpPassword, QStringLiteral("secret"));
    ScriptedSmtpServer server;
    ServerSettings settings;
    const QString settingsFile = files.path() + QStringLiteral("/vbmail.ini");
    ScriptedAnswers yes(MessageBoxService::Answer::Yes);
    PlainPasswordConsent consent(settings, settingsFile, yes, mail);
    const auto sendOnce = [&] { return send(server.server(), QStringLiteral("件名"), QStringLiteral("本文"), QString()); };

    EXPECT_EQ(consent.run(server.server(), sendOnce), 0) << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(yes.questions, QStringList{PlainPasswordConsent::question(server.server())});
    EXPECT_TRUE(fileBytes(settingsFile).contains("PLAINPASS=" + server.server().toUtf8() + "\r\n"));
    EXPECT_EQ(consent.run(server.server(), sendOnce), 0);
    EXPECT_EQ(yes.questions.size(), 1);
    // The first attempt stopped before AUTH; every connection after the yes logged in (the library
    // may keep one connection for both later sends).
    const int greetings = count(server.received(), "EHLO");
    EXPECT_GE(greetings, 2);
    EXPECT_EQ(count(server.received(), "AUTH PLAIN"), greetings - 1);

    ScriptedAnswers no(MessageBoxService::Answer::No);
    ServerSettings refusing;
    PlainPasswordConsent declined(refusing, settingsFile, no, mail);
    ScriptedSmtpServer other;
    EXPECT_EQ(declined.run(other.server(), [&] { return send(other.server(), QStringLiteral("件名"), QStringLiteral("本文"), QString()); }),
        NMailApi::ResultPasswordNeedsTls);
    EXPECT_EQ(no.questions.size(), 1);
    EXPECT_EQ(other.received().find("AUTH"), std::string::npos);
}

TEST_F(SmtpServerTest, AServerThatCannotBeUsedIsToldApartFromARefusedRecipient)
{
    // Nothing listens on port 1 of loopback.
    EXPECT_EQ(send(QStringLiteral("127.0.0.1:1"), QStringLiteral("件名"), QStringLiteral("本文"), QString()), NMailApi::SendNotConnected);
    EXPECT_EQ(send(QStringLiteral("smtp server"), QStringLiteral("件名"), QStringLiteral("本文"), QString()), NMailApi::SendNotConnected);
    const int refused = mail.NMailSmtpSendMail(servers.smtpServer(), QStringLiteral("no/body@localhost"), nullptr, nullptr,
        QStringLiteral("taro@example.jp"), QStringLiteral("件名"), QStringLiteral("本文"), nullptr, QString(), 0);
    EXPECT_EQ(refused, -1);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("550"))) << lastLibraryMessage(mail).toStdString();
}

TEST_F(SmtpServerTest, AddressesBeyondAsciiGoOnlyToAServerThatOffersSmtpUtf8)
{
    const auto sendTo = [&](const ScriptedSmtpServer& server, const QString& to) {
        return mail.NMailSmtpSendMail(server.server(), to, nullptr, nullptr, QStringLiteral("taro@example.jp"), QStringLiteral("件名"),
            QStringLiteral("本文"), nullptr, QString(), 0);
    };
    ScriptedSmtpServer offering(true);
    EXPECT_EQ(sendTo(offering, QStringLiteral("山田 <山田@例え.jp>")), 0) << lastLibraryMessage(mail).toStdString();
    const std::string accepted = offering.received();
    EXPECT_NE(accepted.find("MAIL FROM:<taro@example.jp> SMTPUTF8\r\n"), std::string::npos) << accepted;
    EXPECT_NE(accepted.find("RCPT TO:<山田@xn--r8jz45g.jp>"), std::string::npos) << accepted;
    EXPECT_NE(accepted.find("<山田@xn--r8jz45g.jp>\r\nSubject:"), std::string::npos) << accepted;

    ScriptedSmtpServer plain;
    EXPECT_LT(sendTo(plain, QStringLiteral("山田@例え.jp")), 0);
    EXPECT_TRUE(lastLibraryMessage(mail).contains(QStringLiteral("SMTPUTF8"))) << lastLibraryMessage(mail).toStdString();
    EXPECT_EQ(plain.received().find("MAIL FROM"), std::string::npos) << plain.received();

    // An ASCII local part with a Japanese domain needs nothing of the server: the domain goes as punycode.
    ScriptedSmtpServer asciiOnly;
    EXPECT_EQ(sendTo(asciiOnly, QStringLiteral("taro@例え.jp")), 0) << lastLibraryMessage(mail).toStdString();
    EXPECT_NE(asciiOnly.received().find("RCPT TO:<taro@xn--r8jz45g.jp>\r\n"), std::string::npos) << asciiOnly.received();
}

namespace {

// Ports free on loopback a moment ago.
std::vector<int> freePorts(int count)
{
    std::vector<int> sockets;
    std::vector<int> ports;
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ports.push_back(0);
        else
            ports.push_back(ntohs(address.sin_port));
        sockets.push_back(fd);
    }
    for (const int fd : sockets) {
        if (fd >= 0)
            ::close(fd);
    }
    return ports;
}

// The test sink on ports of its own, offering PIPELINING and CHUNKING, delivering into the same
// mailboxes as the shared one.
class PipeliningSink {
public:
    PipeliningSink(const TestMailServers& servers, const QString& password)
    {
        const QString runtime = servers.runtimeDirectory();
        const QString sink = QFileInfo(servers.script()).absolutePath() + QStringLiteral("/smtp_sink.py");
        // A port taken by someone else meanwhile ends the sink at once: it is tried on others.
        for (int attempt = 0; attempt < 10 && port_ == 0; ++attempt) {
            const std::vector<int> ports = freePorts(2);
            process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process_.start(QStringLiteral("/usr/bin/python3"),
                {sink, QStringLiteral("--port"), QString::number(ports[0]), QStringLiteral("--tls-port"), QString::number(ports[1]),
                    QStringLiteral("--cert"), runtime + QStringLiteral("/tls/server.pem"), QStringLiteral("--key"),
                    runtime + QStringLiteral("/tls/server.key"), QStringLiteral("--mail-root"), runtime + QStringLiteral("/mail"),
                    QStringLiteral("--password"), password, QStringLiteral("--pipelining"), QStringLiteral("--chunking")});
            QByteArray said;
            while (!said.contains("ready\n") && process_.waitForReadyRead(180000))
                said += process_.readAllStandardOutput();
            if (said.contains("ready\n"))
                port_ = ports[0];
            else
                stop();
        }
    }
    ~PipeliningSink() { stop(); }

    bool ok() const { return port_ != 0; }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

private:
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(30000)) {
            process_.kill();
            process_.waitForFinished(-1);
        }
    }

    QProcess process_;
    int port_ = 0;
};

} // namespace

TEST_F(SmtpServerTest, ASinkThatTakesCommandsAheadAndChunksGetsEveryByteOfABulkSend)
{
    PipeliningSink sink(servers, box->password());
    ASSERT_TRUE(sink.ok());
    QByteArray binary(100 * 1024, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 13 + i / 256);
    const QString attachment = writeFile(QStringLiteral("data.bin"), binary);
    mail.NMailSetOptionText(NMailApi::OptionSmtpUser, box->user());
    mail.NMailSetOptionText(NMailApi::OptionSmtpPassword, box->password());

    constexpr int Messages = 3;
    for (int i = 0; i < Messages; ++i)
        ASSERT_EQ(send(sink.server(), QStringLiteral("一括 %1").arg(i), QStringLiteral("本文"), attachment), 0) << lastLibraryMessage(mail).toStdString();

    const auto deliveries = box->deliveries();
    ASSERT_EQ(deliveries.size(), static_cast<std::size_t>(Messages));
    const std::string attachmentBase64 = binary.toBase64().toStdString();
    for (const TestMailbox::Delivery& delivery : deliveries) {
        // The size told ahead is the size that came, and the attachment came whole.
        EXPECT_EQ(delivery.mailOptions, QStringList{QStringLiteral("SIZE=%1").arg(delivery.raw.size())});
        std::string unfolded = delivery.raw;
        std::erase(unfolded, '\r');
        std::erase(unfolded, '\n');
        EXPECT_NE(unfolded.find(attachmentBase64), std::string::npos);
        EXPECT_TRUE(delivery.raw.starts_with("From: taro@example.jp\r\n")) << delivery.raw.substr(0, 100);
        EXPECT_TRUE(delivery.raw.ends_with("--\r\n")) << delivery.raw.substr(delivery.raw.size() - 100);
    }
}
