#pragma once

#include "ProgramPaths.h"
#include "StoreResult.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>

#include <string>
#include <vector>

// The unique ids (UIDL) of the messages receive sessions have stored, so that none is stored twice
// however a session ends, and a copy left on the server is known when it is seen again. One file
// for every account, ★MAilData/received.ids, one line per message:
//
//   SERVER <TAB> USER <TAB> yyyy-MM-dd <TAB> S|R <TAB> ID
//
// SERVER and USER as the user typed them, percent-encoded (UTF-8), so that another server or user
// ID never matches; the day the message was first stored; S for a stored message, R for one that
// was refused (it broke a size or time bound) and is left on the server unfetched; the id as the
// server gave it (printable ASCII).
//
// The file changes together with the records of a session: the new content goes to a pending file
// (received.ids.new, written whole and flushed) before the receive journal is removed, and takes
// the file's place once it is removed. A crash before the removal leaves the records to be cut off
// and the pending file to be dropped (ReceiveJournal); a crash after it, the pending file to be
// taken as the file (settle()). Either way the ids match the records.
class ReceivedMessageIds {
public:
    enum class State { Stored, Refused };
    struct Entry {
        QString id;
        QDate firstStored;
        State state = State::Stored;
    };

    explicit ReceivedMessageIds(const ProgramPaths& paths);

    QString path() const;
    QString pendingPath() const;

    // Takes a pending file whose session was committed (no receive journal left) as the file.
    StoreStatus settle() const;
    // Reads the file after settling it, holding the entries of the account server + user. A file
    // that cannot be read or holds a line that is not of the form above is a failure, not an empty list.
    StoreStatus load(const QString& server, const QString& user);

    const Entry* find(const QString& id) const;
    void add(const QString& id, QDate day, State state);
    // Drops the account's ids that are not in listed, the server's complete UIDL list.
    void keepOnly(const QSet<QString>& listed);
    bool changed() const { return changed_; }
    int size() const { return static_cast<int>(entries_.size()); }

    // Writes every account's lines to the pending file, flushed.
    StoreStatus writePending() const;
    // Renames the pending file over the file and flushes the folder.
    StoreStatus commitPending() const;

private:
    const ProgramPaths& paths_;
    QByteArray accountKey_;
    // The lines of other accounts, kept as they were read.
    std::string otherAccounts_;
    std::vector<Entry> entries_;
    QHash<QString, std::size_t> index_;
    bool changed_ = false;
};
