#pragma once

#include "DecodedMessage.h"

#include <string_view>

// Turns a raw message into the texts the program shows. Header fields are decoded by our own
// code (GMime garbles Windows characters); GMime gives the MIME structure and undoes the transfer
// encodings of the body part. Hostile input costs bounded work: header size, nesting depth and
// part count are capped, and an over-deep structure yields a notice instead of a body.
namespace MessageDecoder {

constexpr int MaximumDepth = 64;
constexpr int MaximumParts = 1000;
// More MIME containers than this and the structure is not parsed at all: GMime recurses once per
// level, and a message of a few megabytes could otherwise nest deep enough to exhaust the stack.
constexpr int MaximumContainers = 256;

// Subject, date, sender and the whole header; the body is left empty.
DecodedMessage decodeHeader(std::string_view raw);
DecodedMessage decode(std::string_view raw);

// True when the raw message holds more MIME containers than a parse is allowed.
bool isTooDeeplyStructured(std::string_view raw);

} // namespace MessageDecoder
