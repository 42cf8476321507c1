#pragma once

#include <QString>

#include <string_view>

// Internal to the mail library: what taking a raw message apart would cost, measured on its bytes
// before any parser sees them. The scan follows the boundaries a MIME parser would open (and the
// headers of enclosed messages), so a message that only mentions container types in its text is
// not mistaken for a deep one, and a message nested deeper than the parser may recurse, with more
// parts than the walk visits, or with headers past the scan limit is never handed to the parser.
// Work is linear in the message and stops at the first limit passed.
namespace MessageStructure {

// Empty when the message can be decoded whole; otherwise why not, as a phrase for the user
// ("MIME の入れ子が深すぎる").
QString whyNotWhole(std::string_view raw);

} // namespace MessageStructure
