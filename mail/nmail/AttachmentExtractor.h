#pragma once

#include "AttachmentFolder.h"

#include <QString>
#include <QStringList>

#include <string_view>

struct ParsedMessage;

// Writes every attached file of a raw message into the attachment folder, named as the sender
// named it (RFC 2231 or encoded words, decoded) and made safe. A forwarded message becomes a .eml
// file. Stops at the first file that cannot be written.
class AttachmentExtractor {
public:
    struct Result {
        QStringList written; // paths of the files written
        QString error; // empty unless a file could not be written
    };

    // parsed: the parse of raw that decoding kept, when it did (raw is then known to be whole).
    static Result extract(std::string_view raw, const AttachmentFolder& folder, const ParsedMessage* parsed = nullptr);
};
