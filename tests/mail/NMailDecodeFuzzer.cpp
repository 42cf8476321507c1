#include "DecodeEverything.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/nmail-fuzz-XXXXXX"));
    DecodeEverything(std::string_view(reinterpret_cast<const char*>(data), size), folder.path());
    return 0;
}
