#pragma once

#include "AttachmentFolder.h"

#include <QString>
#include <QStringList>

#include <string_view>
#include <vector>

struct ParsedMessage;

// Writes every attached file of a raw message into the attachment folder, named as the sender
// named it (RFC 2231 or encoded words, decoded) and made safe. A forwarded message becomes a .eml
// file, and an inline part is saved like any other. Stops at the first file that cannot be written.
class AttachmentExtractor {
public:
    struct Result {
        QStringList written; // paths of the files written
        QString error; // empty unless a file could not be written
        // The marks the decoded body holds for inline parts, in order, as decoding wrote them and
        // as they read with the names the files got (a taken name gets " (2)").
        struct Mark {
            QString decoded;
            QString written;
        };
        std::vector<Mark> marks;
    };

    // The body with each mark naming the file as it was written.
    static QString withWrittenNames(QString body, const std::vector<Result::Mark>& marks);

    // parsed: the parse of raw that decoding kept, when it did (raw is then known to be whole).
    static Result extract(std::string_view raw, const AttachmentFolder& folder, const ParsedMessage* parsed = nullptr);
};
