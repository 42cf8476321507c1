#include "ScriptedPop3Server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

namespace {

bool sendAll(int client, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// CR LF line ends and dot-stuffing, as on the wire.
std::string onTheWire(const std::string& raw)
{
    std::string wire;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\n', start);
        if (end == std::string::npos)
            end = raw.size();
        std::string line = raw.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with('.'))
            wire += '.';
        wire += line + "\r\n";
        start = end + 1;
    }
    return wire;
}

} // namespace

ScriptedPop3Server::ScriptedPop3Server(const std::vector<std::string>& messages)
{
    for (const std::string& message : messages)
        add(message);
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 4) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

ScriptedPop3Server::~ScriptedPop3Server()
{
    if (listener_ >= 0)
        ::shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        ::close(listener_);
}

void ScriptedPop3Server::setFaults(const Faults& faults)
{
    const std::lock_guard lock(mutex_);
    faults_ = faults;
}

void ScriptedPop3Server::add(const std::string& message)
{
    const std::lock_guard lock(mutex_);
    mailbox_.push_back({message, "id-" + std::to_string(nextId_), nextId_});
    ++nextId_;
}

std::vector<std::string> ScriptedPop3Server::messages() const
{
    const std::lock_guard lock(mutex_);
    std::vector<std::string> raw;
    for (const Message& message : mailbox_)
        raw.push_back(message.raw);
    return raw;
}

int ScriptedPop3Server::mostCommandsAhead() const
{
    const std::lock_guard lock(mutex_);
    return mostCommandsAhead_;
}

std::vector<std::string> ScriptedPop3Server::retrievals() const
{
    const std::lock_guard lock(mutex_);
    return retrievals_;
}

void ScriptedPop3Server::serve()
{
    for (int client; (client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        session(client);
        ::close(client);
    }
}

void ScriptedPop3Server::session(int client)
{
    if (!sendAll(client, "+OK scripted POP3 ready\r\n"))
        return;
    std::set<int> marked;
    std::string pending;
    char buffer[4096];
    for (;;) {
        std::size_t end;
        while ((end = pending.find("\r\n")) == std::string::npos) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            pending.append(buffer, static_cast<std::size_t>(got));
        }
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 2);
        const std::string verb = line.substr(0, line.find(' '));
        const int number = line.size() > verb.size() ? std::atoi(line.c_str() + verb.size() + 1) : 0;

        const std::unique_lock lock(mutex_);
        int ahead = 0;
        for (std::size_t at = pending.find("\r\n"); at != std::string::npos; at = pending.find("\r\n", at + 2))
            ++ahead;
        mostCommandsAhead_ = std::max(mostCommandsAhead_, ahead);
        const int count = static_cast<int>(mailbox_.size());
        const bool exists = number >= 1 && number <= count && !marked.contains(number);
        const int added = exists ? mailbox_[static_cast<std::size_t>(number - 1)].added : 0;
        std::string reply;
        if (verb == "CAPA") {
            reply = std::string("+OK\r\nUSER\r\n") + (faults_.offersUidl ? "UIDL\r\n" : "")
                + (faults_.offersPipelining ? "PIPELINING\r\n" : "") + ".\r\n";
        } else if (verb == "USER" || verb == "PASS") {
            reply = "+OK\r\n";
        } else if (verb == "STAT") {
            reply = "+OK " + std::to_string(count) + " 0\r\n";
        } else if (verb == "UIDL" && faults_.offersUidl) {
            reply = "+OK\r\n";
            for (int n = 1; n <= count; ++n) {
                if (!marked.contains(n))
                    reply += std::to_string(n) + ' ' + mailbox_[static_cast<std::size_t>(n - 1)].id + "\r\n";
            }
            reply += ".\r\n";
        } else if (line == "LIST") {
            reply = "+OK\r\n";
            for (int n = 1; n <= count; ++n) {
                if (!marked.contains(n))
                    reply += std::to_string(n) + ' ' + std::to_string(onTheWire(mailbox_[static_cast<std::size_t>(n - 1)].raw).size()) + "\r\n";
            }
            reply += ".\r\n";
        } else if (verb == "LIST" && exists) {
            reply = "+OK " + std::to_string(number) + ' ' + std::to_string(onTheWire(mailbox_[static_cast<std::size_t>(number - 1)].raw).size()) + "\r\n";
        } else if (verb == "RETR" && exists && added != faults_.refusedRetrieval) {
            retrievals_.push_back(line);
            const std::string wire = onTheWire(mailbox_[static_cast<std::size_t>(number - 1)].raw);
            if (added == faults_.droppedInRetrieval) {
                (void)sendAll(client, "+OK\r\n" + wire.substr(0, wire.size() / 2));
                return;
            }
            reply = "+OK " + std::to_string(wire.size()) + " octets\r\n" + wire + ".\r\n";
        } else if (verb == "DELE" && exists && added != faults_.refusedDeletion) {
            marked.insert(number);
            reply = "+OK marked\r\n";
        } else if (verb == "QUIT") {
            if (faults_.refusesQuit) {
                (void)sendAll(client, "-ERR cannot update the mailbox\r\n");
                return;
            }
            std::vector<Message> left;
            for (int n = 1; n <= count; ++n) {
                if (!marked.contains(n))
                    left.push_back(mailbox_[static_cast<std::size_t>(n - 1)]);
            }
            mailbox_ = std::move(left);
            (void)sendAll(client, "+OK bye\r\n");
            return;
        } else {
            reply = "-ERR refused: " + line.substr(0, 40) + "\r\n";
        }
        if (!sendAll(client, reply))
            return;
    }
}
