#pragma once

#include <string>
#include <string_view>
#include <vector>

// The header of a raw message (or of a MIME part): the bytes before the first empty line, split
// into fields with folded lines joined. Works on hostile input in bounded time: at most
// MaximumBytes of header and MaximumFields fields are looked at.
class HeaderBlock {
public:
    static constexpr std::size_t MaximumBytes = 256 * 1024;
    static constexpr std::size_t MaximumFields = 2000;

    struct Field {
        std::string name;
        std::string value; // unfolded, without the leading blank
        std::string_view raw; // the field's lines as they stand, with their line ends
    };

    explicit HeaderBlock(std::string_view message);

    // The header's bytes, line ends included, without the empty line that ends it.
    std::string_view text() const { return text_; }
    // Everything after the empty line.
    std::string_view body() const { return body_; }
    const std::vector<Field>& fields() const { return fields_; }
    // The value of the first field of that name (ASCII case ignored), or nullptr.
    const std::string* value(std::string_view name) const;

    static bool namesEqual(std::string_view a, std::string_view b);

private:
    std::string_view text_;
    std::string_view body_;
    std::vector<Field> fields_;
};
