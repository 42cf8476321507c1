#pragma once

#include "DecodedMessage.h"

#include <QString>

#include <memory>
#include <string_view>

struct ParsedMessage;

// Turns a raw message into the texts the program shows. Header fields are decoded by our own
// code (GMime garbles Windows characters); GMime gives the MIME structure and undoes the transfer
// encodings of the body part. Hostile input costs bounded work: header size, nesting depth and
// part count are capped (MessageStructure), and a message past them yields a notice instead of a body.
namespace MessageDecoder {

constexpr int MaximumDepth = 64;
constexpr int MaximumParts = 1000;

// Subject, date, sender and the whole header; the body is left empty.
DecodedMessage decodeHeader(std::string_view raw);
DecodedMessage decode(std::string_view raw);
// decode for a message that MessageStructure has found whole: the structure is not scanned again.
// keep, when given, receives the parse for the attachment step.
DecodedMessage decodeWhole(std::string_view raw, std::shared_ptr<ParsedMessage>* keep = nullptr);

// The body of a message that cannot be decoded whole; why is MessageStructure's phrase.
QString notWholeNotice(const QString& why);

} // namespace MessageDecoder
