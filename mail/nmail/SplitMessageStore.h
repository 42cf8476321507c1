#pragma once

#include "AttachmentFolder.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>
#include <string_view>

// Keeps the parts of split messages (message/partial) in a hidden work folder inside the
// attachment folder until every part of one id has arrived, then rebuilds the whole message as
// RFC 2046 describes (the first part's outer header, the enclosed Content-*, Subject, Message-ID,
// Encrypted and MIME-Version fields, the bodies in order). The kept parts stay until the caller
// removes them, once the whole message is safely stored and the server has deleted the part that
// completed it: the server no longer holds the others. A part that arrives twice is kept once.
class SplitMessageStore {
public:
    static constexpr int MaximumParts = 1000;

    explicit SplitMessageStore(const AttachmentFolder& folder);

    struct Outcome {
        enum class Kind { NotSplit, Incomplete, Complete, Failed };
        Kind kind = Kind::NotSplit;
        std::string whole; // the rebuilt message when Complete
        int have = 0;
        int total = 0; // 0 while no part has said
        QString error;
        QString keptParts; // the folder of the parts when Complete, for removeKeptParts
        bool malformed = false; // Failed because the part's id or numbers make no sense
        // Parts kept by this call. Like attachments they are not waited for on disk: the caller
        // flushes them, their folder and the folders above it up to the attachment folder before
        // it lets the server delete the part.
        QStringList keptFiles;
    };

    Outcome add(std::string_view raw) const;

    struct PartInfo {
        std::string id;
        int number = 0;
        int total = 0; // 0 when this part does not say
    };
    // The part's place when the raw message is one part of a split message.
    static std::optional<PartInfo> partInfo(std::string_view raw);
    static std::string reassemble(const std::vector<std::string>& partsInOrder);
    static void removeKeptParts(const QString& keptParts);

private:
    QString workFolder() const;
    const AttachmentFolder& folder_;
};
