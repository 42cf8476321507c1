#include "ScriptedSmtpServer.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

ScriptedSmtpServer::ScriptedSmtpServer(bool offersUtf8) : offersUtf8_(offersUtf8)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 4);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
        for (int client; (client = ::accept(listener_, nullptr, nullptr)) >= 0;) {
            client_ = client;
            serve(client);
        }
    });
}

ScriptedSmtpServer::~ScriptedSmtpServer()
{
    ::shutdown(listener_, SHUT_RDWR);
    // A client may keep its connection open for its next message.
    if (const int client = client_; client >= 0)
        ::shutdown(client, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

std::string ScriptedSmtpServer::received()
{
    const std::lock_guard lock(mutex_);
    return received_;
}

void ScriptedSmtpServer::serve(int client)
{
    const auto reply = [client](const char* text) { (void)::send(client, text, std::strlen(text), MSG_NOSIGNAL); };
    reply("220 plain.test ESMTP\r\n");
    std::string pending;
    bool inData = false;
    bool awaitingCredentials = false;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
        {
            const std::lock_guard lock(mutex_);
            received_.append(buffer, static_cast<std::size_t>(got));
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            if (inData) {
                if (line == ".") {
                    inData = false;
                    reply("250 queued\r\n");
                }
            } else if (line.starts_with("EHLO")) {
                reply(offersUtf8_ ? "250-plain.test\r\n250-SMTPUTF8\r\n250 AUTH PLAIN LOGIN\r\n" : "250-plain.test\r\n250 AUTH PLAIN LOGIN\r\n");
            } else if (awaitingCredentials) {
                awaitingCredentials = false;
                reply("235 accepted\r\n");
            } else if (line.starts_with("AUTH")) {
                awaitingCredentials = true;
                reply("334 \r\n");
            } else if (line == "DATA") {
                inData = true;
                reply("354 go on\r\n");
            } else if (line == "QUIT") {
                reply("221 bye\r\n");
                break;
            } else {
                reply("250 ok\r\n");
            }
        }
    }
    ::close(client);
}
