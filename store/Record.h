#pragma once

#include "RecordLayout.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>
#include <string_view>

// One fixed-length record in memory: its bytes as they lie in the file, read and written field
// by field through its layout. Texts are stored as given: callers trim where their record says so.
class Record {
public:
    // A new record: text fields all spaces, CR LF, Live 1, reserved bytes zero.
    explicit Record(const RecordLayout& layout);
    // A record as read; bytes must be exactly layout.length long.
    Record(const RecordLayout& layout, std::string bytes);

    const RecordLayout& layout() const { return *layout_; }
    const std::string& bytes() const { return bytes_; }

    template <typename Field>
    QString text(Field field) const
    {
        return textAt((*layout_)[field]);
    }
    template <typename Field>
    void setText(Field field, QStringView text)
    {
        setTextAt((*layout_)[field], text);
    }

    std::int16_t live() const;
    void setLive(std::int16_t value);

    // The live flag of raw record bytes, without building a Record.
    static std::int16_t liveOf(const RecordLayout& layout, std::string_view bytes);

private:
    QString textAt(const FieldSpec& field) const;
    void setTextAt(const FieldSpec& field, QStringView text);

    const RecordLayout* layout_;
    std::string bytes_;
};
