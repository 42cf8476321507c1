#pragma once

#include "RecordLayout.h"

// Every record kind of the store, field by field in file order. A new kind is a new table here.
namespace RecordLayouts {

// Received mail, folders 1 to 10 (32284 bytes). The date comes before the sender in the file.
enum class MessageField { Subject, Date, From, Body, LineEnd, Live };
extern const RecordLayout Message;

// The sent history (32574 bytes).
enum class SentField { Subject, To, Body, LineEnd, SentAt, Reserved, Live };
extern const RecordLayout Sent;

// One sort rule of vbmdata.data (1306 bytes): the contact card of a sorting folder.
enum class SortRuleField {
    Name,
    PersonName,
    Reading,
    Department,
    Position,
    PostalCode,
    Prefecture,
    City,
    Town,
    Street,
    RuleAddress,
    Memo,
    Live,
    LineEnd,
};
extern const RecordLayout SortRule;

// One spam keyword of vbmdata50.data (204 bytes). Unlike the other kinds, the line end and the
// flag come first.
enum class KeywordField { LineEnd, Live, Keyword };
extern const RecordLayout Keyword;

// One address book entry of vbmdata20.data (184 bytes). The name is padded with full-width spaces
// to 30 characters before the field's own space padding.
enum class AddressField { Name, LineEnd, Live, Address };
extern const RecordLayout Address;

} // namespace RecordLayouts
