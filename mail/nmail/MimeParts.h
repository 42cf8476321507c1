#pragma once

// Internal to the mail library: the walk over a parsed message's MIME tree that picks the body
// and the attachments. Included by implementation files only.

#include <gmime/gmime.h>

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace MimeParts {

struct BodyParts {
    GMimeObject* plain = nullptr;
    GMimeObject* html = nullptr;
};

struct Attachment {
    GMimeObject* object = nullptr;
    QString name; // decoded, not yet made safe; empty when the sender gave none
    std::string contentType; // "image/png"
};

// The first text/plain and the first text/html part that are not attachments; forwarded messages
// are not looked into. The walk stops at the depth and part limits of MessageDecoder.
BodyParts findBodyParts(GMimeObject* root);

// Every part that a reader would call an attached file.
std::vector<Attachment> findAttachments(GMimeObject* root);

} // namespace MimeParts
