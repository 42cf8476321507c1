#pragma once

#include "AttachmentFolder.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>
#include <string_view>

// Keeps the parts of split messages (message/partial) in a hidden work folder inside the
// attachment folder until every part of one set has arrived, then rebuilds the whole message as
// RFC 2046 describes (the first part's outer header, the enclosed Content-*, Subject, Message-ID,
// Encrypted and MIME-Version fields, the bodies in order). A set is the parts of one id from one
// sender (the From address): a stranger's part with the same id is a set of its own and never
// joins. The kept parts stay until the caller removes them, once the whole message is safely
// stored and the server has deleted the part that completed it: the server no longer holds the
// others. Kept parts of a set that sees no new part for AbandonedAfterDays are removed; every
// part's own record holds its text, so nothing is lost with them.
//
// A set is rebuilt once. A part that cannot join it (its number came already with other bytes,
// its total differs from the one the set was given first, the set was rebuilt already, or the
// whole would pass the size bound of one message) stays a message of its own: its record holds
// its own text with a notice why.
class SplitMessageStore {
public:
    static constexpr int MaximumParts = 1000;
    static constexpr int AbandonedAfterDays = 30;

    // maximumWholeBytes: the bound of one message, which the rebuilt whole is held to.
    SplitMessageStore(const AttachmentFolder& folder, qint64 maximumWholeBytes);

    struct Outcome {
        enum class Kind { NotSplit, Incomplete, Complete, Separate, Failed };
        Kind kind = Kind::NotSplit;
        std::string whole; // the rebuilt message when Complete
        int have = 0;
        int total = 0; // 0 while no part has said
        QString error;
        // Separate: the notice that heads the part's own text in its record.
        QString notice;
        QString keptParts; // the folder of the set when Complete, for removeKeptParts
        bool malformed = false; // Failed because the part's id or numbers make no sense
        // Parts kept by this call. Like attachments they are not waited for on disk: the caller
        // flushes them, their folder and the folders above it up to the attachment folder before
        // it lets the server delete the part.
        QStringList keptFiles;
    };

    // rebuiltBefore: the keptParts of the sets this receive has rebuilt; their parts stay separate.
    Outcome add(std::string_view raw, const QStringList& rebuiltBefore = {}) const;
    // Removes the kept parts of every set that has had no new part for AbandonedAfterDays.
    void removeAbandonedSets() const;

    struct PartInfo {
        std::string id;
        int number = 0;
        int total = 0; // 0 when this part does not say
    };
    // The part's place when the raw message is one part of a split message.
    static std::optional<PartInfo> partInfo(std::string_view raw);
    static std::string reassemble(const std::vector<std::string>& partsInOrder);
    static void removeKeptParts(const QString& keptParts);
    // The body of a part's own record: the notice, then everything the part's sender wrote in it.
    static QString partText(std::string_view raw, const QString& notice);
    // The notice of a part that waits for the rest of its set.
    static QString waitingNotice(const PartInfo& part);
    // The sender's address, lower case, as sets are told apart by it.
    static std::string senderAddress(std::string_view raw);

private:
    QString workFolder() const;
    const AttachmentFolder& folder_;
    qint64 maximumWholeBytes_;
};
