#pragma once

#include <QString>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

// An SMTP server of a test's own on a free 127.0.0.1 port, without STARTTLS: it takes every login
// and every message and keeps every byte it was sent. It offers SMTPUTF8 only when asked to, which
// the shared sink always does.
class ScriptedSmtpServer {
public:
    explicit ScriptedSmtpServer(bool offersUtf8 = false);
    ~ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
    ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;

    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // Everything the clients sent so far: every line the server has answered is in it.
    std::string received();

private:
    void serve(int client);

    bool offersUtf8_ = false;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> client_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::string received_;
};
