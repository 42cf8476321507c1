#include "AttachmentWorkFile.h"

#include "Cp932Codec.h"

#include <QFile>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Whether one of four UTF-16 units is CR or LF, tested at once: the line ends of a megabyte body
// are looked for on every receive.
bool holdsCrOrLf(const char16_t* units)
{
    std::uint64_t four = 0;
    std::memcpy(&four, units, sizeof four);
    constexpr std::uint64_t ones = 0x0001000100010001ULL;
    constexpr std::uint64_t highs = 0x8000800080008000ULL;
    const auto holdsZero = [](std::uint64_t lanes) { return ((lanes - ones) & ~lanes & highs) != 0; };
    return holdsZero(four ^ (ones * u'\r')) || holdsZero(four ^ (ones * u'\n'));
}

} // namespace

QString AttachmentWorkFile::write(const QString& path, const QString& header, const QString& body)
{
    const QString lineEnd = QStringLiteral("\r\n");
    QString text;
    text.reserve(header.size() + body.size() + 2 * lineEnd.size());
    text.append(header).append(lineEnd).append(body).append(lineEnd);
    QFile work(path);
    // Written over the previous message's text and then cut to length, so the file keeps its
    // blocks instead of giving them back and taking them again for every message.
    if (!work.open(QIODevice::ReadWrite))
        return {};
    {
        // Let go before the work text is made: a large message is held in several forms here.
        const std::string bytes = Cp932Codec::encode(text);
        const auto length = static_cast<qint64>(bytes.size());
        if (work.write(bytes.data(), length) != length || !work.resize(length))
            return {};
    }
    work.close();
    text = Cp932Codec::readBack(text);
    return linesOf(text);
}

QString AttachmentWorkFile::linesOf(const QString& text)
{
    // Text written by write() ends its lines with CR LF unless the message itself holds a lone CR
    // or LF: then only a missing last line end is added, without copying the text line by line.
    const auto* const units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    bool onlyCrLf = true;
    for (qsizetype i = 0; i < size && onlyCrLf;) {
        if (size - i >= 4 && !holdsCrOrLf(units + i)) {
            i += 4;
            continue;
        }
        if (units[i] == u'\r')
            onlyCrLf = i + 1 < size && units[i + 1] == u'\n';
        else if (units[i] == u'\n')
            onlyCrLf = i > 0 && units[i - 1] == u'\r';
        ++i;
    }
    if (onlyCrLf)
        return text.isEmpty() || text.endsWith(QStringLiteral("\r\n")) ? text : text + QStringLiteral("\r\n");

    QString lines;
    lines.reserve(text.size() + 2);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        lines.append(QStringView(text).mid(start, end - start));
        if (end == text.size())
            break;
        lines += QStringLiteral("\r\n");
        start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
    }
    if (!lines.isEmpty() && !lines.endsWith(QStringLiteral("\r\n")))
        lines += QStringLiteral("\r\n");
    return lines;
}
