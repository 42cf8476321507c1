#include "ScriptedServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

namespace {

// How often a waiting server looks whether it is being destroyed.
constexpr int PollMilliseconds = 50;

bool waitFor(int fd, short events, const std::atomic<bool>& stopping)
{
    pollfd entry{fd, events, 0};
    while (!stopping) {
        const int ready = ::poll(&entry, 1, PollMilliseconds);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
    return false;
}

} // namespace

ScriptedServer::Script ScriptedServer::pop3(std::map<std::string, Answer> answers)
{
    return [answers = std::move(answers)](int, const std::string& line, bool opened) {
        if (opened)
            return Answer("+OK ready\r\n");
        const std::string verb = line.substr(0, line.find(' '));
        for (const std::string& key : {line, verb}) {
            if (const auto found = answers.find(key); found != answers.end())
                return found->second;
        }
        if (verb == "CAPA")
            return Answer("+OK\r\nUSER\r\n.\r\n");
        if (verb == "USER" || verb == "PASS" || verb == "DELE")
            return Answer("+OK\r\n");
        if (verb == "STAT")
            return Answer("+OK 2 300\r\n");
        if (line == "LIST")
            return Answer("+OK\r\n1 100\r\n2 200\r\n.\r\n");
        if (verb == "RETR")
            return Answer("+OK\r\nSubject: short\r\n\r\nbody\r\n.\r\n");
        if (verb == "QUIT")
            return Answer("+OK bye\r\n", Answer::Then::Close);
        return Answer("-ERR unknown command\r\n");
    };
}

ScriptedServer::Script ScriptedServer::smtp(std::map<std::pair<int, std::string>, Answer> answers)
{
    return [answers = std::move(answers), inData = false](int connection, const std::string& line, bool opened) mutable {
        if (opened) {
            inData = false;
            return Answer("220 scripted ESMTP\r\n");
        }
        if (inData && line != ".")
            return Answer();
        inData = false;
        std::string verb = line.substr(0, line.find_first_of(" :"));
        std::transform(verb.begin(), verb.end(), verb.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        // "BDAT 1234 LAST": the chunk is taken whatever the answer to it.
        const std::size_t chunkBytes = verb == "BDAT" ? std::strtoull(line.c_str() + 4, nullptr, 10) : 0;
        for (const int on : {connection, 0}) {
            if (const auto found = answers.find({on, verb}); found != answers.end()) {
                Answer answer = found->second;
                answer.chunkBytes = chunkBytes;
                return answer;
            }
        }
        if (verb == "BDAT") {
            Answer answer("250 chunk queued\r\n");
            answer.chunkBytes = chunkBytes;
            return answer;
        }
        if (verb == "EHLO")
            return Answer("250-scripted\r\n250 8BITMIME\r\n");
        if (verb == "MAIL" || verb == "RCPT" || verb == "RSET" || verb == "NOOP")
            return Answer("250 OK\r\n");
        if (verb == "DATA") {
            inData = true;
            return Answer("354 go ahead\r\n");
        }
        if (verb == ".")
            return Answer("250 queued\r\n");
        if (verb == "QUIT")
            return Answer("221 bye\r\n", Answer::Then::Close);
        return Answer("502 unknown\r\n");
    };
}

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)), listener_(4)
{
    if (listener_.port() != 0)
        thread_ = std::thread([this] { serve(); });
}

ScriptedServer::~ScriptedServer()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

QString ScriptedServer::address() const { return QStringLiteral("127.0.0.1:%1").arg(listener_.port()); }

std::vector<std::string> ScriptedServer::heard() const
{
    const std::lock_guard lock(mutex_);
    return heard_;
}

bool ScriptedServer::heardLineStartingWith(std::string_view prefix) const
{
    const std::lock_guard lock(mutex_);
    return std::any_of(heard_.begin(), heard_.end(), [&](const std::string& line) { return line.starts_with(prefix); });
}

std::vector<std::string> ScriptedServer::heardAhead() const
{
    const std::lock_guard lock(mutex_);
    return heardAhead_;
}

std::vector<std::string> ScriptedServer::chunks() const
{
    const std::lock_guard lock(mutex_);
    return chunks_;
}

void ScriptedServer::serve()
{
    while (waitFor(listener_.fd(), POLLIN, stopping_)) {
        const int connection = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0)
            continue;
        converse(connection, ++connections_);
        ::close(connection);
    }
}

bool ScriptedServer::pause(int milliseconds) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!stopping_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(milliseconds, PollMilliseconds)));
    return !stopping_;
}

bool ScriptedServer::sendAll(int connection, const std::string& bytes) const
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += static_cast<std::size_t>(n);
        else if (n < 0 && (errno == EAGAIN || errno == EINTR))
            waitFor(connection, POLLOUT, stopping_);
        else
            return false;
        if (stopping_)
            return false;
    }
    return true;
}

void ScriptedServer::converse(int connection, int number)
{
    Answer answer = script_(number, std::string(), true);
    std::string pending;
    // Reads until pending holds at least the given number of bytes, or a whole line.
    const auto receive = [&](std::size_t bytes) {
        while (bytes > 0 ? pending.size() < bytes : pending.find('\n') == std::string::npos) {
            if (!waitFor(connection, POLLIN, stopping_))
                return false;
            char chunk[4096];
            const ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                return false;
            if (n > 0)
                pending.append(chunk, static_cast<std::size_t>(n));
        }
        return true;
    };
    for (;;) {
        if (answer.chunkBytes > 0) {
            if (!receive(answer.chunkBytes))
                return;
            const std::lock_guard lock(mutex_);
            chunks_.push_back(pending.substr(0, answer.chunkBytes));
            pending.erase(0, answer.chunkBytes);
        }
        if (!pause(answer.pauseMilliseconds) || !sendAll(connection, answer.bytes))
            return;
        switch (answer.then) {
        case Answer::Then::Close:
            return;
        case Answer::Then::Flood:
            while (pause(answer.pauseMilliseconds) && sendAll(connection, answer.endless)) {
            }
            return;
        case Answer::Then::Hang:
        case Answer::Then::Listen:
            break;
        }
        const bool hanging = answer.then == Answer::Then::Hang;
        answer = {};
        // The next line the client sends; while hanging, everything it sends is only heard. A line
        // already here was sent before the answer just given.
        const bool ahead = pending.find('\n') != std::string::npos;
        if (!receive(0))
            return;
        const std::size_t end = pending.find('\n');
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        {
            const std::lock_guard lock(mutex_);
            heard_.push_back(line);
            if (ahead)
                heardAhead_.push_back(line);
        }
        if (hanging)
            answer.then = Answer::Then::Hang;
        else
            answer = script_(number, line, false);
    }
}
