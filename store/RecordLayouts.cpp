#include "RecordLayouts.h"

#include <array>

namespace RecordLayouts {
namespace {

constexpr std::array MessageFields{
    FieldSpec{"Subject", 0, 100, FieldKind::Text},
    FieldSpec{"Date", 100, 90, FieldKind::Text},
    FieldSpec{"From", 190, 90, FieldKind::Text},
    FieldSpec{"Body", 280, 32000, FieldKind::Text},
    FieldSpec{"LineEnd", 32280, 2, FieldKind::LineEnd},
    FieldSpec{"Live", 32282, 2, FieldKind::Live},
};

constexpr std::array SentFields{
    FieldSpec{"Subject", 0, 300, FieldKind::Text},
    FieldSpec{"To", 300, 90, FieldKind::Text},
    FieldSpec{"Body", 390, 32000, FieldKind::Text},
    FieldSpec{"LineEnd", 32390, 2, FieldKind::LineEnd},
    FieldSpec{"SentAt", 32392, 90, FieldKind::Text},
    FieldSpec{"Reserved", 32482, 90, FieldKind::Zeros},
    FieldSpec{"Live", 32572, 2, FieldKind::Live},
};

constexpr std::array SortRuleFields{
    FieldSpec{"Name", 0, 50, FieldKind::Text},
    FieldSpec{"PersonName", 50, 20, FieldKind::Text},
    FieldSpec{"Reading", 70, 30, FieldKind::Text},
    FieldSpec{"Department", 100, 12, FieldKind::Text},
    FieldSpec{"Position", 112, 20, FieldKind::Text},
    FieldSpec{"PostalCode", 132, 10, FieldKind::Text},
    FieldSpec{"Prefecture", 142, 10, FieldKind::Text},
    FieldSpec{"City", 152, 10, FieldKind::Text},
    FieldSpec{"Town", 162, 20, FieldKind::Text},
    FieldSpec{"Street", 182, 30, FieldKind::Text},
    FieldSpec{"RuleAddress", 212, 90, FieldKind::Text},
    FieldSpec{"Memo", 302, 1000, FieldKind::Text},
    FieldSpec{"Live", 1302, 2, FieldKind::Live},
    FieldSpec{"LineEnd", 1304, 2, FieldKind::LineEnd},
};

constexpr std::array KeywordFields{
    FieldSpec{"LineEnd", 0, 2, FieldKind::LineEnd},
    FieldSpec{"Live", 2, 2, FieldKind::Live},
    FieldSpec{"Keyword", 4, 200, FieldKind::Text},
};

constexpr std::array AddressFields{
    FieldSpec{"Name", 0, 90, FieldKind::Text},
    FieldSpec{"LineEnd", 90, 2, FieldKind::LineEnd},
    FieldSpec{"Live", 92, 2, FieldKind::Live},
    FieldSpec{"Address", 94, 90, FieldKind::Text},
};

} // namespace

const RecordLayout Message{"message", 32284, MessageFields};
const RecordLayout Sent{"sent", 32574, SentFields};
const RecordLayout SortRule{"sort rule", 1306, SortRuleFields};
const RecordLayout Keyword{"keyword", 204, KeywordFields};
const RecordLayout Address{"address", 184, AddressFields};

} // namespace RecordLayouts
