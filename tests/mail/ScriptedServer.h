#pragma once

#include "LoopbackListener.h"

#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A mail server of a test's own on a free 127.0.0.1 port: every line the client sends is answered
// by the test's script, which can also make the server hang, hang up or send without end. It
// serves one connection after another until it is destroyed.
class ScriptedServer {
public:
    struct Answer {
        enum class Then {
            // Go on reading lines.
            Listen,
            // Answer nothing more on this connection, until the client gives up and hangs up.
            Hang,
            // Hang up.
            Close,
            // Send `endless` again and again until the client hangs up.
            Flood,
        };
        Answer(std::string bytes = {}, Then then = Then::Listen, std::string endless = {}, int pauseMilliseconds = 0)
            : bytes(std::move(bytes)), then(then), endless(std::move(endless)), pauseMilliseconds(pauseMilliseconds)
        {
        }

        std::string bytes;
        Then then;
        std::string endless;
        // Before bytes, and between two sendings of endless.
        int pauseMilliseconds;
        // Bytes the client sends after the line, taken whole before the answer goes (a BDAT chunk).
        std::size_t chunkBytes = 0;
    };
    // Called with the connection's number (from 1) and the line without its CR LF; with an empty
    // line and `opened` when a connection begins, for the greeting.
    using Script = std::function<Answer(int connection, const std::string& line, bool opened)>;

    // A POP3 mailbox of two messages of 100 and 200 bytes by LIST; answers maps a command line,
    // or its verb, to what the test wants instead.
    static Script pop3(std::map<std::string, Answer> answers = {});
    // An SMTP server that takes every message, by DATA or by BDAT; answers maps a command verb, or
    // "." for the end of a message, to what the test wants instead, on the connection of that
    // number (0: on all).
    static Script smtp(std::map<std::pair<int, std::string>, Answer> answers = {});

    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // "127.0.0.1:PORT", as a user types a server.
    QString address() const;
    // Every line the clients sent, in order.
    std::vector<std::string> heard() const;
    // Whether any line a client sent starts with the prefix (a command's name, say).
    bool heardLineStartingWith(std::string_view prefix) const;
    // The lines that had come before the answer to the line heard before them went: the client
    // sent them ahead (PIPELINING).
    std::vector<std::string> heardAhead() const;
    // The bytes of every chunk taken after a line (chunkBytes), in order.
    std::vector<std::string> chunks() const;
    int connections() const { return connections_; }

private:
    void serve();
    void converse(int connection, int number);
    bool sendAll(int connection, const std::string& bytes) const;
    // False when the server is being destroyed meanwhile.
    bool pause(int milliseconds) const;

    Script script_;
    LoopbackListener listener_;
    std::atomic<bool> stopping_ = false;
    std::atomic<int> connections_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> heard_;
    std::vector<std::string> heardAhead_;
    std::vector<std::string> chunks_;
    std::thread thread_;
};
