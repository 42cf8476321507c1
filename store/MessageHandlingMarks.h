#pragma once

#include "ProgramPaths.h"
#include "StoreResult.h"

#include <QMap>
#include <QSet>
#include <QString>

#include <string>

// Which server message a receive session was handling when the program died, so that one message
// that kills the program (a crash, an abort, the system ending it for its memory) cannot block
// the mailbox: a message during whose handling the program died PoisonousAfter times in a row is
// left on the server and not fetched again. One small file, ★MAilData/receive.handling, one line
// per marked message:
//
//   SERVER <TAB> USER <TAB> TIMES <TAB> KEY
//
// SERVER and USER percent-encoded as the user typed them; TIMES the handlings that began and never
// ended; KEY the message's unique id (UIDL), or "#" and its number for a server without ids. The
// mark of a message is written before it is fetched, and goes when the session moves on to the
// next message or ends. It is not flushed: a death of the program leaves what it wrote to the
// kernel, and only a power cut, which no message causes, can lose a mark. The file is rewritten in
// place: a line torn by a power cut is not read, and costs at most a mark.
class MessageHandlingMarks {
public:
    static constexpr int PoisonousAfter = 2;

    explicit MessageHandlingMarks(const ProgramPaths& paths);
    ~MessageHandlingMarks();
    MessageHandlingMarks(const MessageHandlingMarks&) = delete;
    MessageHandlingMarks& operator=(const MessageHandlingMarks&) = delete;

    QString path() const;

    // The marks of the account server + user; a file that cannot be read holds none.
    void load(const QString& server, const QString& user);
    // Drops the account's marks of messages the server no longer lists.
    void keepOnly(const QSet<QString>& keys);
    bool isPoisonous(const QString& key) const;
    // Marks key as being handled, and the message handled before it as done, on disk.
    StoreStatus begin(const QString& key);
    // The message being handled is done; with forgetPoisonous, so are the poisonous ones (a key
    // that is a message number names another message once the messages before it are gone).
    StoreStatus finish(bool forgetPoisonous);

private:
    // With ending, the file is also cut to its text.
    StoreStatus write(bool ending);

    const ProgramPaths& paths_;
    QByteArray accountKey_;
    std::string otherAccounts_;
    QMap<QString, int> times_;
    QString current_;
    int fd_ = -1;
    qint64 written_ = 0;
};
