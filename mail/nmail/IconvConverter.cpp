#include "IconvConverter.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace {

iconv_t asIconv(void* handle) { return static_cast<iconv_t>(handle); }

const auto Invalid = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));

} // namespace

IconvConverter::IconvConverter(const char* charset) : handle_(iconv_open("UTF-16LE", charset)) {}

IconvConverter::~IconvConverter()
{
    if (isValid())
        iconv_close(asIconv(handle_));
}

bool IconvConverter::isValid() const { return handle_ != Invalid; }

QString IconvConverter::decode(std::string_view bytes) const
{
    if (!isValid())
        return QString();
    iconv(asIconv(handle_), nullptr, nullptr, nullptr, nullptr);
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    std::u16string output;
    output.resize(input.size() + 8);
    std::size_t written = 0;
    while (inLeft > 0) {
        if (output.size() - written < 8)
            output.resize(output.size() * 2);
        char* out = reinterpret_cast<char*>(output.data() + written);
        std::size_t outLeft = (output.size() - written) * sizeof(char16_t);
        const std::size_t before = outLeft;
        const std::size_t result = iconv(asIconv(handle_), &in, &inLeft, &out, &outLeft);
        written += (before - outLeft) / sizeof(char16_t);
        if (result != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            output.resize(output.size() * 2);
            continue;
        }
        // An unreadable or cut-off sequence: mark it and go on with the next byte.
        if (written >= output.size())
            output.resize(output.size() * 2);
        output[written++] = u'\uFFFD';
        ++in;
        --inLeft;
        iconv(asIconv(handle_), nullptr, nullptr, nullptr, nullptr);
    }
    return QString::fromUtf16(output.data(), static_cast<qsizetype>(written));
}
