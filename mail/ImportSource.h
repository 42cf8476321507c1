#pragma once

#include "StoreResult.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTemporaryFile;

// The messages that other mail programs keep in files: mbox files (a "From " line before every
// message, ">From " quoting as both mboxrd and mboxo write it), Maildir folders (the files in cur
// and new) and .eml files, one message each. A folder is searched for all of these. Only where
// each message lies is held, so a source of any size costs little memory; read() brings one
// message at a time.
class ImportSource {
public:
    struct Message {
        int file = 0; // index into files()
        qint64 offset = 0;
        qint64 length = 0;
        bool inMbox = false;
        // From the Date header (the mbox "From " line's when the header has none that parses);
        // invalid when neither gives one.
        QDateTime date;
    };

    // One message as read: its bytes, or, when it is larger than the bound, its head with all of
    // it in a temporary file.
    struct Read {
        std::string bytes;
        std::shared_ptr<QTemporaryFile> whole;
        // What tells the message apart from every other: a hash of the message (line ends and
        // trailing blank lines aside, so that the same message kept as an .eml and in an mbox is
        // one) together with its Message-ID.
        QString key;
    };

    // Finds the messages of paths, oldest first (messages without a date first, in the order of
    // the sources). Paths that cannot be read are named in unreadable(). stop is asked between
    // files and now and then within a large mbox; a stopped scan finds what it had found so far.
    void scan(const QStringList& paths, const std::function<bool()>& stop = {});

    const QStringList& files() const { return files_; }
    const std::vector<Message>& messages() const { return messages_; }
    const QStringList& unreadable() const { return unreadable_; }

    // The message as it was before the mbox quoted it; bytes beyond memoryBound go to a
    // temporary file instead of memory.
    StoreResult<Read> read(const Message& message, qint64 memoryBound) const;

    // "From " at the start of a line (of an mbox).
    static bool isSeparator(std::string_view line);

private:
    void scanPath(const QString& path, bool inMaildir);
    void scanMbox(const QString& path);
    void addWholeFile(const QString& path);

    bool stopped() const { return stop_ && stop_(); }

    std::function<bool()> stop_;
    QStringList files_;
    std::vector<Message> messages_;
    QStringList unreadable_;
};
