#include "ExerciseProfileFile.h"

#include "Cp932Codec.h"
#include "ProfileFile.h"
#include "ServerSettings.h"

#include <QDir>
#include <QFile>

#include <utility>

namespace {

void put(const QString& path, std::string_view bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// A name or value as the reader gives it back unchanged: one line, no blanks or quotes at either
// end, at most 255 bytes.
QString plain(QString text)
{
    text.remove(u'\r');
    text.remove(u'\n');
    // Cut first: a cut can leave blanks at the end.
    while (Cp932Codec::encode(text).size() > ProfileFile::MaxValueBytes)
        text.chop(1);
    while (!text.isEmpty() && (isBlank(text.front()) || text.front() == u'"' || text.front() == u'\''))
        text.remove(0, 1);
    while (!text.isEmpty() && (isBlank(text.back()) || text.back() == u'"' || text.back() == u'\''))
        text.chop(1);
    return text;
}

// Key lines of the file by section, as far as a plain reading of it finds them.
QList<std::pair<QString, QString>> keysOf(const QString& content)
{
    QList<std::pair<QString, QString>> keys;
    QString section;
    for (const QString& line : content.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u'[')) {
            section = trimmed.mid(1, trimmed.indexOf(u']') < 0 ? -1 : trimmed.indexOf(u']') - 1).trimmed();
        } else if (const qsizetype equals = line.indexOf(u'='); equals > 0 && keys.size() < 64) {
            keys.append({section, line.first(equals).trimmed()});
        }
    }
    return keys;
}

std::string checkServerSettings(std::string_view input, const QString& path)
{
    put(path, input);
    const ServerSettings first = ServerSettings::read(path);
    if (!first.write(path).ok())
        return "the server settings could not be written";
    const ServerSettings second = ServerSettings::read(path);
    if (second.SmtpServer != first.SmtpServer || second.Pop3Server != first.Pop3Server
        || second.MailAddress != first.MailAddress || second.UseApop != first.UseApop)
        return "the server settings read differently after writing them back";
    return {};
}

} // namespace

std::string ExerciseProfileFile(std::string_view input, const QString& folder)
{
    // The first line names the section and the keys to write, the second the values; the whole
    // input is also the file they are written into.
    const QString text = Cp932Codec::decode(input);
    const QStringList lines = text.split(u'\n');
    const QString section = plain(lines.value(0).section(u'=', 0, 0).remove(u'[').remove(u']'));
    QList<ProfileFile::Entry> entries;
    const QStringList keys = lines.value(0).section(u'=', 1).split(u' ', Qt::SkipEmptyParts);
    const QStringList values = lines.value(1).split(u'|');
    for (qsizetype i = 0; i < keys.size() && i < 4; ++i) {
        const QString key = plain(QString(keys[i]).remove(u'='));
        bool repeated = false;
        for (const ProfileFile::Entry& entry : std::as_const(entries))
            repeated = repeated || entry.key.compare(key, Qt::CaseInsensitive) == 0;
        if (!key.isEmpty() && !key.startsWith(u'[') && !repeated)
            entries.append({key, plain(values.value(i))});
    }

    const QString path = QDir(folder).filePath(QStringLiteral("profile.ini"));
    put(path, input);
    const ProfileFile profile(path);
    QList<std::pair<QString, QString>> others;
    QStringList before;
    for (const auto& [otherSection, key] : keysOf(text)) {
        bool written = otherSection.compare(section, Qt::CaseInsensitive) == 0;
        bool overwritten = false;
        for (const ProfileFile::Entry& entry : std::as_const(entries))
            overwritten = overwritten || entry.key.compare(key, Qt::CaseInsensitive) == 0;
        if (!(written && overwritten)) {
            others.append({otherSection, key});
            before.append(profile.read(otherSection, key));
        }
    }

    if (section.isEmpty() || entries.isEmpty())
        return checkServerSettings(input, path);
    if (!profile.write(section, entries).ok())
        return "the profile could not be written";
    for (const ProfileFile::Entry& entry : std::as_const(entries)) {
        if (profile.read(section, entry.key) != entry.value)
            return "the key " + entry.key.toStdString() + " did not read back as written";
    }
    for (qsizetype i = 0; i < others.size(); ++i) {
        if (profile.read(others[i].first, others[i].second) != before[i])
            return "writing changed the key " + others[i].second.toStdString() + " of section " + others[i].first.toStdString();
    }
    return checkServerSettings(input, path);
}
