#pragma once

#include <QString>

#include <string_view>

// One glibc iconv conversion from a named charset to Unicode. Bytes the charset cannot read
// become U+FFFD and the conversion goes on after them, so a damaged text is never cut short.
class IconvConverter {
public:
    explicit IconvConverter(const char* charset);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool isValid() const;
    QString decode(std::string_view bytes) const;

private:
    void* handle_;
};
