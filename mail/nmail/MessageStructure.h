#pragma once

#include <QString>

#include <cstddef>
#include <string_view>

// Internal to the mail library: what taking a raw message apart would cost, measured on its bytes
// before any parser sees them. The scan follows the boundaries GMime would open (and the headers of
// enclosed messages), so a message that only mentions container types in its text is not mistaken
// for a deep one, and a message nested deeper than the parser may recurse, with more parts than the
// walk visits, or with headers past the scan limit is never handed to the parser. Each Content-Type
// is read by GMime's own parameter reading, so a boundary written in RFC 2231 pieces, with a
// charset or empty is the boundary the parser uses, and the parts of a digest are the enclosed
// messages the parser makes of them. Work is linear in the message and stops at the first limit
// passed.
namespace MessageStructure {

struct Scan {
    QString whyNotWhole; // empty when the message can be decoded whole
    std::size_t bytesRead = 0; // where the scan stopped
    int parts = 0; // the headers it read, the message's own included
};

Scan scan(std::string_view raw);

// Empty when the message can be decoded whole; otherwise why not, as a phrase for the user
// ("MIME の入れ子が深すぎる").
QString whyNotWhole(std::string_view raw);

} // namespace MessageStructure
