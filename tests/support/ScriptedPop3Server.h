#pragma once

#include <QString>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small POP3 server on a free 127.0.0.1 port that misbehaves on request: it refuses RETR or
// DELE of one message, refuses QUIT, has no UIDL, or drops the connection half-way through one
// message. Any user and password log in (USER/PASS, no TLS). Deletions are applied at a QUIT it
// accepts, as a real server applies them. Sessions are served one after another until the
// server is destroyed.
class ScriptedPop3Server {
public:
    // Messages are named by the order they were added in (1 the first), whatever their number
    // in a later session.
    struct Faults {
        bool offersUidl = true;
        int refusedRetrieval = 0; // the message answered -ERR to RETR
        int refusedDeletion = 0;  // the message answered -ERR to DELE
        bool refusesQuit = false;
        int droppedInRetrieval = 0; // the message whose RETR is cut off half-way
        bool offersPipelining = false;
    };

    // Messages with LF line ends; each gets the id "id-" and a running number.
    explicit ScriptedPop3Server(const std::vector<std::string>& messages);
    ~ScriptedPop3Server();
    ScriptedPop3Server(const ScriptedPop3Server&) = delete;
    ScriptedPop3Server& operator=(const ScriptedPop3Server&) = delete;

    bool listening() const { return port_ != 0; }
    // As the user types it.
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

    void setFaults(const Faults& faults);
    void add(const std::string& message);
    // The messages still in the mailbox, oldest first.
    std::vector<std::string> messages() const;
    // Every RETR the server answered, as "RETR n", across sessions.
    std::vector<std::string> retrievals() const;
    // The most commands that had arrived whole, behind the one being answered, across sessions:
    // above zero only for a client that sends ahead of the replies.
    int mostCommandsAhead() const;

private:
    struct Message {
        std::string raw;
        std::string id;
        int added = 0;
    };
    void serve();
    void session(int client);

    int listener_ = -1;
    int port_ = 0;
    int nextId_ = 1;
    mutable std::mutex mutex_;
    Faults faults_;
    std::vector<Message> mailbox_;
    std::vector<std::string> retrievals_;
    int mostCommandsAhead_ = 0;
    std::thread thread_;
};
