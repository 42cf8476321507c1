#include "MboxExport.h"

#include "FolderFiles.h"
#include "OutgoingMessage.h"
#include "RecordLayouts.h"
#include "TextHelpers.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>

#include <utility>

namespace {

// The "From " line before every message of an mbox: the sender's address and the date in the form
// of asctime().
QByteArray separatorLine(const QString& sender, const QString& date)
{
    QString address = sender;
    if (const qsizetype open = sender.lastIndexOf(u'<'), close = sender.lastIndexOf(u'>'); open >= 0 && close > open)
        address = sender.mid(open + 1, close - open - 1);
    address = address.trimmed();
    if (address.isEmpty() || address.contains(u' ') || address.contains(u'\t'))
        address = QStringLiteral("MAILER-DAEMON");
    QDateTime when = QDateTime::fromString(date.simplified(), Qt::RFC2822Date);
    if (!when.isValid())
        when = QDateTime::fromSecsSinceEpoch(0);
    const QString stamp = QLocale::c().toString(when.toUTC(), QStringLiteral("ddd MMM d HH:mm:ss yyyy"));
    return "From " + address.toUtf8() + ' ' + stamp.toLatin1() + '\n';
}

// The message with LF line ends and mboxrd quoting, followed by the blank line that ends it.
QByteArray quoted(const std::string& message)
{
    QByteArray text = QByteArray::fromStdString(message);
    text.replace("\r\n", "\n");
    QByteArray out;
    out.reserve(text.size() + 64);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QByteArrayView line(text.constData() + start, end - start);
        qsizetype quotes = 0;
        while (quotes < line.size() && line[quotes] == '>')
            ++quotes;
        if (line.sliced(quotes).startsWith("From "))
            out += '>';
        out += line;
        out += '\n';
        start = end + 1;
    }
    return out + '\n';
}

} // namespace

MboxExport::MboxExport(const ProgramPaths& paths, QString ownAddress) : paths_(paths), ownAddress_(std::move(ownAddress)) {}

int MboxExport::folderOfFileNumber(const QString& text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok && number >= FolderFiles::FirstFolder && number <= FolderFiles::OthersFolder)
        return number;
    return ok && number == 30 ? FolderFiles::SentHistory : 0;
}

QStringList MboxExport::attachmentsNamedIn(const QString& body) const
{
    // A message kept whole names its file: "…添付フォルダの「name」に保存しました。"
    static const QRegularExpression named(QStringLiteral("添付フォルダの「([^」/\\\\]+)」"));
    QStringList files;
    for (auto match = named.globalMatch(body); match.hasNext();) {
        const QString path = QDir(paths_.attachmentFolder()).filePath(match.next().captured(1));
        if (QFileInfo(path).isFile() && !files.contains(path))
            files << path;
    }
    return files;
}

StoreResult<std::string> MboxExport::messageOf(int folder, const Record& record) const
{
    OutgoingMessage::Content content;
    content.kept = true;
    if (folder == FolderFiles::SentHistory) {
        using RecordLayouts::SentField;
        content.subject = record.text(SentField::Subject);
        content.to = record.text(SentField::To);
        content.from = ownAddress_;
        content.body = record.text(SentField::Body);
        content.date = record.text(SentField::SentAt);
    } else {
        using RecordLayouts::MessageField;
        content.subject = record.text(MessageField::Subject);
        content.from = record.text(MessageField::From);
        content.body = record.text(MessageField::Body);
        content.date = record.text(MessageField::Date);
    }
    content.subject = TrimBlanks(content.subject);
    content.to = TrimBlanks(content.to);
    content.from = TrimBlanks(content.from);
    content.body = TrimBlanks(content.body);
    // A stored date is the header's text; one that is no date is left out rather than passed on.
    content.date = TrimBlanks(content.date).simplified();
    content.attachmentPaths = attachmentsNamedIn(content.body);
    auto built = OutgoingMessage::build(content);
    if (!built.ok())
        return built.status();
    return built.value().bytes();
}

StoreResult<int> MboxExport::writeFolder(int folder, const QString& file) const
{
    const RecordFile records = FolderFiles::folderFile(paths_, folder);
    const auto count = records.recordCount();
    if (!count.ok())
        return count.status();
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return StoreStatus::failure(QStringLiteral("%1 に書き込めません（%2）").arg(QDir::toNativeSeparators(file), out.errorString()));
    int written = 0;
    for (int number = 1; number <= count.value(); ++number) {
        const auto record = records.read(number);
        if (!record.ok())
            return record.status();
        if (!record.value() || record.value()->live() != 1)
            continue;
        const auto message = messageOf(folder, *record.value());
        if (!message.ok())
            return message.status();
        const QString sender = folder == FolderFiles::SentHistory ? ownAddress_ : record.value()->text(RecordLayouts::MessageField::From);
        const QString date = folder == FolderFiles::SentHistory ? record.value()->text(RecordLayouts::SentField::SentAt)
                                                                : record.value()->text(RecordLayouts::MessageField::Date);
        if (out.write(separatorLine(sender, TrimBlanks(date)) + quoted(message.value())) < 0)
            return StoreStatus::failure(QStringLiteral("%1 に書き込めません（%2）").arg(QDir::toNativeSeparators(file), out.errorString()));
        ++written;
    }
    if (!out.commit())
        return StoreStatus::failure(QStringLiteral("%1 に書き込めません（%2）").arg(QDir::toNativeSeparators(file), out.errorString()));
    return written;
}

StoreStatus MboxExport::writeMessage(int folder, int recordNumber, const QString& file) const
{
    const auto record = FolderFiles::folderFile(paths_, folder).read(recordNumber);
    if (!record.ok())
        return record.status();
    if (!record.value())
        return StoreStatus::failure(QStringLiteral("メール %1 がありません。").arg(recordNumber));
    const auto message = messageOf(folder, *record.value());
    if (!message.ok())
        return message.status();
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(message.value().data(), static_cast<qint64>(message.value().size())) < 0 || !out.commit())
        return StoreStatus::failure(QStringLiteral("%1 に書き込めません（%2）").arg(QDir::toNativeSeparators(file), out.errorString()));
    return StoreStatus::success();
}
