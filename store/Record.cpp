#include "Record.h"

#include "Cp932Codec.h"

#include <utility>

Record::Record(const RecordLayout& layout) : layout_(&layout), bytes_(static_cast<std::size_t>(layout.length), ' ')
{
    for (const FieldSpec& field : layout.fields) {
        switch (field.kind) {
        case FieldKind::Text:
            break;
        case FieldKind::LineEnd:
            bytes_.replace(static_cast<std::size_t>(field.offset), 2, "\r\n");
            break;
        case FieldKind::Live:
            break;
        case FieldKind::Zeros:
            bytes_.replace(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width),
                static_cast<std::size_t>(field.width), '\0');
            break;
        }
    }
    setLive(1);
}

Record::Record(const RecordLayout& layout, std::string bytes) : layout_(&layout), bytes_(std::move(bytes))
{
    bytes_.resize(static_cast<std::size_t>(layout.length), ' ');
}

std::int16_t Record::live() const { return liveOf(*layout_, bytes_); }

void Record::setLive(std::int16_t value)
{
    const auto offset = static_cast<std::size_t>(layout_->liveOffset());
    const auto bits = static_cast<std::uint16_t>(value);
    bytes_[offset] = static_cast<char>(bits & 0xFF);
    bytes_[offset + 1] = static_cast<char>(bits >> 8);
}

std::int16_t Record::liveOf(const RecordLayout& layout, std::string_view bytes)
{
    const auto offset = static_cast<std::size_t>(layout.liveOffset());
    const auto low = static_cast<unsigned char>(bytes[offset]);
    const auto high = static_cast<unsigned char>(bytes[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
}

QString Record::textAt(const FieldSpec& field) const
{
    return Cp932Codec::decode(std::string_view(bytes_).substr(static_cast<std::size_t>(field.offset),
        static_cast<std::size_t>(field.width)));
}

void Record::setTextAt(const FieldSpec& field, QStringView text)
{
    bytes_.replace(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width),
        Cp932Codec::encodeField(text, field.width));
}
