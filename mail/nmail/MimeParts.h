#pragma once

// Internal to the mail library: the walk over a parsed message's MIME tree that lays out the body
// and the attachments. Included by implementation files only.

#include <gmime/gmime.h>

#include <QString>

#include <string>
#include <vector>

namespace MimeParts {

struct Attachment {
    GMimeObject* object = nullptr;
    QString name; // decoded, not yet made safe; empty when the sender gave none
    std::string contentType; // "image/png"
    bool markedInBody = false; // an inline part: the body names its file where it stood
};

struct BodyPiece {
    enum class Kind { Text, Html, Mark };
    Kind kind = Kind::Text;
    GMimeObject* object = nullptr;
    std::size_t attachment = 0; // a Mark's index into Layout::attachments
};

// Every part of a message finds its place here: its text in the body, or its file among the
// attachments, or both (an inline picture is saved and marked where it stood). Left out are the
// alternatives not chosen of a multipart/alternative, the pictures an HTML body shows by
// Content-ID, and parts of split messages, which the split-message store rebuilds first.
struct Layout {
    std::vector<BodyPiece> body; // in the order of the message
    std::vector<Attachment> attachments;
};

// The walk stops at the depth and part limits of MessageDecoder; forwarded messages are files,
// not looked into.
Layout layoutOf(GMimeObject* root);

// The name the sender gave the file (a forwarded message ends in .eml), or empty.
QString senderFileName(const Attachment& attachment);
// The name used when the sender gave none, by the content type.
QString fallbackFileName(const Attachment& attachment);

// The name the file is saved under while the folder holds none of that name: the sender's made
// safe, else the fallback.
QString plannedFileName(const Attachment& attachment);

// The one-line mark that stands in the body for an inline part saved as fileName.
QString markOf(const Attachment& attachment, const QString& fileName);

// The part's media type in lower case; a type that cannot be read is text/plain (RFC 2045).
std::string typeOf(GMimeObject* object);

} // namespace MimeParts
