#pragma once

#include <span>
#include <string_view>

enum class FieldKind {
    Text,    // code page 932 text, left-aligned, padded with spaces
    LineEnd, // CR LF
    Live,    // 16-bit signed little-endian: 1 live, 0 marked for removal
    Zeros,   // written by nobody; new records carry zero bytes
};

struct FieldSpec {
    std::string_view name;
    int offset;
    int width;
    FieldKind kind;
};

// The byte layout of one kind of fixed-length record, declared once as a table of fields.
// Readers, writers, tests and tools all go through it.
struct RecordLayout {
    std::string_view name;
    int length;
    std::span<const FieldSpec> fields;

    template <typename Field>
    const FieldSpec& operator[](Field field) const
    {
        return fields[static_cast<std::size_t>(field)];
    }

    int liveOffset() const;
};
