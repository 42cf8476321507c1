#include "AttachmentWorkFile.h"

#include "Cp932Codec.h"

#include <QFile>

#include <string>

QString AttachmentWorkFile::write(const QString& path, const QString& header, const QString& body)
{
    QString text = header + QStringLiteral("\r\n") + body + QStringLiteral("\r\n");
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
    // Each line end is found by a whole-text search, the part of a megabyte body that costs.
    const QStringView view(text);
    bool onlyCrLf = true;
    for (qsizetype lf = view.indexOf(u'\n'); lf >= 0 && onlyCrLf; lf = view.indexOf(u'\n', lf + 1))
        onlyCrLf = lf > 0 && view[lf - 1] == u'\r';
    for (qsizetype cr = view.indexOf(u'\r'); cr >= 0 && onlyCrLf; cr = view.indexOf(u'\r', cr + 1))
        onlyCrLf = cr + 1 < view.size() && view[cr + 1] == u'\n';
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
