#pragma once

#include "ImportSource.h"
#include "NMailApi.h"
#include "ProgramPaths.h"
#include "ReceiveSession.h"
#include "ReceivedMessageIds.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <set>

// Brings the mail another program kept (ImportSource) into the folders. Every message goes the way
// a received one goes: decoded and its attachments extracted by the mail library (split messages
// joined), sorted by the sort rules into folders 1 to 10 and stored as a new record; a message from
// the user's own address goes into the sent history instead, and spam is dropped only when the
// importer is given a spam test. Messages are stored oldest first.
//
// Each message is stored once however often its source is imported: the key of every stored
// message (ImportSource::Read::key) is kept with the ids of the receive sessions
// (ReceivedMessageIds, under an account of its own), written with the records of each batch under
// the receive journal (ReceiveJournal), so that a kill at any point leaves every message stored
// once or not at all. The caller makes sure that nothing else writes the store meanwhile.
class MailImport {
public:
    struct Summary {
        int found = 0;
        // Folder 1 to 10, or FolderFiles::SentHistory: the messages stored there.
        std::map<int, int> storedPerFolder;
        int alreadyThere = 0;
        int spamDropped = 0;
        // "file: reason" for every message or source that could not be imported.
        QStringList refused;
        // "file: notice" for every message stored whole as its raw source in the attachment folder
        // (too large, or too deeply nested, to be decoded), the notice naming why and the file.
        QStringList keptWhole;
        // Why the import ended before its end (the records of the batch then were taken back).
        QString failure;
        bool stopped = false;

        int stored() const;
        // One line: what was stored where, skipped and refused. Folder k is named folderNames[k - 1]
        // when that is given and not blank (the sort rules' names), else by its number.
        QString line(const QStringList& folderNames = {}) const;
        bool succeeded() const { return failure.isEmpty() && refused.isEmpty(); }
    };

    // done of total messages handled, after every message.
    using Progress = std::function<void(int done, int total)>;

    // ownAddress: MAIL of vbmail.ini. Runs on any one thread; the mail library is used by no one else
    // meanwhile.
    MailImport(const ProgramPaths& paths, NMailApi& mail, std::array<QString, 9> sortingAddresses, QString ownAddress);

    // Drops spam when set (the import window's choice); nothing is dropped otherwise.
    void setSpamTest(SpamTest isSpam) { isSpam_ = std::move(isSpam); }
    void setToday(QDate today) { today_ = today; }
    // Messages stored between two commits of records and keys.
    void setBatchSize(int messages) { batchSize_ = messages; }
    // Asks the import to end after the message being handled; safe from any thread.
    void stop() { stopRequested_ = true; }

    Summary run(const QStringList& paths, const Progress& progress = {});

    // The account the keys are kept under in ReceivedMessageIds.
    static QString keyAccount() { return QStringLiteral("(取り込み)"); }
    static QString keyUser() { return QStringLiteral("import"); }
    // The bytes of a message held in memory; a larger one is kept whole in the attachment folder.
    static constexpr qint64 MemoryBound = 32LL * 1024 * 1024;

private:
    enum class Handled { Stored, Skipped, Refused, Failed };
    Handled handle(const ImportSource& source, const ImportSource::Message& message, Summary& summary);
    // Flushes the batch's records and attachments and writes its keys; false after the records were
    // taken back.
    bool commit(Summary& summary);
    bool isOwnAddress(const QString& sender) const;
    QString libraryMessage();

    const ProgramPaths& paths_;
    NMailApi& mail_;
    std::array<QString, 9> sortingAddresses_;
    QString ownAddress_;
    SpamTest isSpam_;
    QDate today_;
    int batchSize_ = 500;
    std::atomic<bool> stopRequested_{false};
    ReceivedMessageIds keys_;
    ReceiveJournal journal_;
    bool journalOpen_ = false;
    std::set<int> touchedFolders_;
    std::map<int, int> batchStored_;
    QStringList batchKeptWhole_;
    int batchSpam_ = 0;
};

// The address in a sender text: what stands between < and >, or the whole text trimmed.
QString AddressOf(const QString& sender);
// The value of a header field (first occurrence, unfolded) in the decoded header text.
QString HeaderFieldValue(const QString& header, const QString& name);
