#pragma once

#include "TestMailServers.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A dovecot and SMTP sink of the bench's own, started with the test suite's script in a temporary
// state folder and stopped when the bench ends, with one mailbox to fill.
struct BenchMailServers {
    QTemporaryDir state;
    std::unique_ptr<TestMailServers> servers;
    std::unique_ptr<TestMailbox> mailbox;

    explicit BenchMailServers(const QString& mailboxName)
    {
        run(QStringLiteral("start"));
        servers = std::make_unique<TestMailServers>(state.path());
        if (servers->ok())
            mailbox = std::make_unique<TestMailbox>(servers->createMailbox(mailboxName));
    }
    ~BenchMailServers() { run(QStringLiteral("stop")); }
    BenchMailServers(const BenchMailServers&) = delete;
    BenchMailServers& operator=(const BenchMailServers&) = delete;

private:
    void run(const QString& command)
    {
        QProcess script;
        script.start(QStringLiteral("bash"), {QStringLiteral(NEMUROA_MAIL_SERVERS_SCRIPT), command, state.path()});
        script.waitForFinished(60000);
    }
};
