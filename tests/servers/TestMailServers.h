#pragma once

// The test mail servers, for any test suite that needs a real POP3 or SMTP server.
//
// The CTest fixture `mail_servers` (tests/servers/CMakeLists.txt) starts a throwaway dovecot
// (POP3 with STLS and APOP, and POP3S), a second one without any TLS over the same mailboxes, and
// an SMTP sink (STARTTLS, SMTPS, optional AUTH) on free 127.0.0.1 ports before the first test that
// requires it, and stops them after the last. The sink delivers into dovecot's mailboxes, so a test
// can send and then receive what it sent.
//
// In a suite's CMakeLists.txt:
//     target_link_libraries(my_tests PRIVATE test_mail_servers)
//     gtest_discover_tests(my_tests PROPERTIES FIXTURES_REQUIRED mail_servers ...)
// In a test:
//     const TestMailServers& servers = TestMailServers::shared();
//     ASSERT_TRUE(servers.ok()) << servers.problem().toStdString();
//     TestMailbox box = servers.createMailbox(QStringLiteral("two_messages")); // own, empty
//     box.deposit(rawMessage);                     // as if it had arrived
//     mail.NMailPop3Connect(servers.pop3Server()); // "127.0.0.1:PORT" (STLS offered)
//     mail.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
//     ... box.count(), box.messages() tell what is left on the server.
// Tests run in parallel (ctest -j): give every test its own mailbox name. A test that stops the
// server must not stop the shared one: PrivateDovecot is a dovecot of its own over the same users
// and mailboxes that the test may stop and start as it likes.

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

// One user's mailbox on the test dovecot.
class TestMailbox {
public:
    TestMailbox(QString user, QString password, QString maildir);

    const QString& user() const { return user_; }
    const QString& password() const { return password_; }
    // The address the SMTP sink delivers into this mailbox.
    QString address() const { return user_ + QStringLiteral("@localhost"); }

    // Puts a raw message into the mailbox as a delivery would; false when it cannot be written.
    [[nodiscard]] bool deposit(std::string_view raw) const;
    // A message the SMTP sink delivered here, as it arrived (CR LF line ends), with its envelope.
    struct Delivery {
        std::string raw;
        QString mailFrom;
        QStringList recipients;
        // The parameters of MAIL FROM ("SIZE=1234").
        QStringList mailOptions;
    };
    // Every delivery since the mailbox was created, oldest first, whether received since or not.
    std::vector<Delivery> deliveries() const;
    QString deliveryFolder() const;

    // Messages left on the server (new and seen alike).
    int count() const;
    // Their raw bytes, oldest first (as the sink or deposit wrote them: LF line ends).
    std::vector<std::string> messages() const;
    void clear() const;
    // Copies the whole mailbox with dovecot's own files, so that a restore brings the same messages
    // back under the same unique ids (UIDL), as if nothing had happened since.
    [[nodiscard]] bool saveTo(const QString& folder) const;
    [[nodiscard]] bool restoreFrom(const QString& folder) const;

private:
    QString user_;
    QString password_;
    QString maildir_;
};

class TestMailServers {
public:
    // The servers the fixture started for this build directory.
    static const TestMailServers& shared();
    // Servers started by "mail-servers.sh start STATE" for a state folder of the caller's own
    // (a benchmark starts its own).
    explicit TestMailServers(const QString& stateDirectory);

    // False when the fixture has not run; problem() says why.
    bool ok() const { return problem_.isEmpty(); }
    const QString& problem() const { return problem_; }

    int pop3Port() const { return pop3Port_; }
    int pop3sPort() const { return pop3sPort_; }
    int smtpPort() const { return smtpPort_; }
    int smtpsPort() const { return smtpsPort_; }
    // Server names as a user types them.
    QString pop3Server() const;
    QString pop3sServer() const;
    // A second dovecot over the same mailboxes whose one listener offers no STLS.
    QString pop3NoTlsServer() const;
    QString smtpServer() const;
    QString smtpsServer() const;
    // The test CA that signed the servers' certificate (trust it through the library's option).
    const QString& caFile() const { return caFile_; }

    // A mailbox of its own for one test, empty. Every user name logs in with the one test password.
    TestMailbox createMailbox(const QString& name) const;

    const QString& stateDirectory() const { return stateDirectory_; }
    const QString& runtimeDirectory() const { return runtime_; }
    const QString& script() const { return script_; }

private:
    QString problem_;
    QString stateDirectory_;
    QString runtime_;
    QString script_;
    QString caFile_;
    QString password_;
    QString mailRoot_;
    int pop3Port_ = 0;
    int pop3sPort_ = 0;
    int pop3NoTlsPort_ = 0;
    int smtpPort_ = 0;
    int smtpsPort_ = 0;
};

// A dovecot of a test's own, serving the same users and mailboxes as the shared one on ports of
// its own. start() returns once the server answers, stop() once its processes have ended. A
// restart takes the ports it had, so a client sees the same server vanish and come back; when
// another process took one of them meanwhile, it moves to free ones, which pop3Port() and the
// server names then give. The destructor stops it.
class PrivateDovecot {
public:
    explicit PrivateDovecot(const TestMailServers& servers);
    ~PrivateDovecot();
    PrivateDovecot(const PrivateDovecot&) = delete;
    PrivateDovecot& operator=(const PrivateDovecot&) = delete;

    [[nodiscard]] bool start();
    [[nodiscard]] bool stop();

    int pop3Port() const { return pop3Port_; }
    QString pop3Server() const;
    QString pop3sServer() const;

private:
    const TestMailServers& servers_;
    QString directory_;
    int pop3Port_ = 0;
    int pop3sPort_ = 0;
};
