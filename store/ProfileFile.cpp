#include "ProfileFile.h"

#include "AtomicFile.h"
#include "Cp932Codec.h"

#include <QFile>

#include <utility>

namespace {

struct Line {
    QString text;
    bool isSection = false;
    QString name;  // section name or key
    QString value; // for key lines
};

QString trimSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin).toString();
}

QList<Line> parse(const QString& content)
{
    QList<Line> lines;
    QStringList texts = content.split(u'\n');
    if (!texts.isEmpty() && texts.last().isEmpty())
        texts.removeLast();
    for (QString& text : texts) {
        if (text.endsWith(u'\r'))
            text.chop(1);
        Line line;
        line.text = text;
        const QString trimmed = trimSpaces(text);
        if (trimmed.startsWith(u'[')) {
            line.isSection = true;
            const qsizetype close = trimmed.indexOf(u']');
            line.name = trimSpaces(QStringView(trimmed).sliced(1, (close < 0 ? trimmed.size() : close) - 1));
        } else if (const qsizetype equals = text.indexOf(u'='); equals >= 0) {
            line.name = trimSpaces(QStringView(text).first(equals));
            line.value = trimSpaces(QStringView(text).sliced(equals + 1));
        }
        lines.append(std::move(line));
    }
    return lines;
}

QString readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return Cp932Codec::decode(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString unquoted(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

} // namespace

ProfileFile::ProfileFile(QString path, mode_t mode) : path_(std::move(path)), mode_(mode) {}

QString ProfileFile::read(const QString& section, const QString& key) const
{
    bool inSection = false;
    for (const Line& line : parse(readAll(path_))) {
        if (line.isSection) {
            inSection = line.name.compare(section, Qt::CaseInsensitive) == 0;
        } else if (inSection && !line.name.isEmpty() && line.name.compare(key, Qt::CaseInsensitive) == 0) {
            const std::string bytes = Cp932Codec::encode(unquoted(line.value));
            return Cp932Codec::decode(std::string_view(bytes).substr(0, Cp932Codec::wholeCharacterPrefix(bytes, MaxValueBytes)));
        }
    }
    return {};
}

StoreStatus ProfileFile::write(const QString& section, const QList<Entry>& entries) const
{
    QList<Line> lines = parse(readAll(path_));
    for (const Entry& entry : entries) {
        const QString text = entry.key + u'=' + entry.value;
        qsizetype sectionStart = -1;
        qsizetype sectionEnd = lines.size(); // index after the section's last non-blank line
        qsizetype keyLine = -1;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const Line& line = lines[i];
            if (line.isSection) {
                if (sectionStart >= 0)
                    break;
                if (line.name.compare(section, Qt::CaseInsensitive) == 0) {
                    sectionStart = i;
                    sectionEnd = i + 1;
                }
                continue;
            }
            if (sectionStart < 0)
                continue;
            if (!trimSpaces(line.text).isEmpty())
                sectionEnd = i + 1;
            if (keyLine < 0 && !line.name.isEmpty() && line.name.compare(entry.key, Qt::CaseInsensitive) == 0)
                keyLine = i;
        }
        Line replacement;
        replacement.text = text;
        replacement.name = entry.key;
        replacement.value = entry.value;
        if (keyLine >= 0) {
            lines[keyLine] = replacement;
        } else if (sectionStart >= 0) {
            lines.insert(sectionEnd, replacement);
        } else {
            Line header;
            header.text = u'[' + section + u']';
            header.isSection = true;
            header.name = section;
            lines.append(header);
            lines.append(replacement);
        }
    }

    QString content;
    for (const Line& line : std::as_const(lines))
        content += line.text + QStringLiteral("\r\n");
    return AtomicFile::write(path_, Cp932Codec::encode(content), mode_);
}
