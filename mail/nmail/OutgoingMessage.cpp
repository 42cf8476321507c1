#include "OutgoingMessage.h"

#include "HeaderEncoding.h"
#include "RecipientList.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>
#include <QUuid>

namespace {

bool holdsLineBreak(const QString& text) { return text.contains(u'\r') || text.contains(u'\n'); }

QString withCrLf(const QString& text)
{
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(u'\r', u'\n');
    normalised.replace(u'\n', QStringLiteral("\r\n"));
    return normalised;
}

// Base64 in lines of 76 characters, each ended by CR LF.
QByteArray base64Lines(const QByteArray& bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        lines += encoded.mid(at, 76) + QByteArrayLiteral("\r\n");
    return lines;
}

std::string toStdString(const QByteArray& bytes) { return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())); }

} // namespace

StoreResult<OutgoingMessage> OutgoingMessage::build(const Content& content)
{
    if (holdsLineBreak(content.to) || holdsLineBreak(content.from) || holdsLineBreak(content.subject) || holdsLineBreak(content.date))
        return StoreStatus::failure(QStringLiteral("宛先・差出人・件名に改行文字を含むメールは送信できません。"));

    struct File {
        QString name;
        QByteArray bytes;
        QString type;
    };
    std::vector<File> files;
    for (const QString& path : content.attachmentPaths) {
        // The name goes into the part's header: a line break there would start header fields of
        // the sender's choosing, as it would in the subject.
        if (holdsLineBreak(QFileInfo(path).fileName()))
            return StoreStatus::failure(QStringLiteral("添付ファイル名に改行文字が含まれているため、送信しませんでした。名前を変えてから添付してください。"));
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            return StoreStatus::failure(QStringLiteral("添付ファイル「%1」を読めないため、送信しませんでした。").arg(path));
        files.push_back({QFileInfo(path).fileName(), file.readAll(), QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name()});
        if (file.error() != QFileDevice::NoError)
            return StoreStatus::failure(QStringLiteral("添付ファイル「%1」を読めないため、送信しませんでした。").arg(path));
    }

    const RecipientList recipients = RecipientList::parse(content.to);
    const bool recipientsAsText = content.kept && (!recipients.refused().isEmpty() || recipients.mailboxes().empty());
    if (!content.kept && !recipients.refused().isEmpty())
        return StoreStatus::failure(refusedRecipientText(recipients.refused().first()));
    if (!content.kept && recipients.mailboxes().empty())
        return StoreStatus::failure(QStringLiteral("宛先のメールアドレス「%1」を読み取れません。").arg(content.to));
    const RecipientList senders = RecipientList::parse(content.from);
    const bool senderAsText = content.kept && (!senders.ok() || senders.mailboxes().size() != 1);
    if (!content.kept && (!senders.ok() || senders.mailboxes().size() != 1))
        return StoreStatus::failure(QStringLiteral("差出人のメールアドレス「%1」を読み取れません。設定を確認してください。").arg(content.from));

    OutgoingMessage built;
    if (!recipientsAsText) {
        for (const RecipientList::Mailbox& mailbox : recipients.mailboxes()) {
            built.recipients_.push_back(toStdString(HeaderEncoding::wireAddress(mailbox.address)));
            built.needsUtf8_ = built.needsUtf8_ || RecipientList::needsUtf8(mailbox.address);
        }
    }
    QString domain = QStringLiteral("localhost");
    if (!senderAsText) {
        const RecipientList::Mailbox& sender = senders.mailboxes().front();
        built.sender_ = toStdString(HeaderEncoding::wireAddress(sender.address));
        built.needsUtf8_ = built.needsUtf8_ || RecipientList::needsUtf8(sender.address);
        domain = sender.address.mid(sender.address.lastIndexOf(u'@') + 1);
    }

    const QByteArray uniqueText = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    QByteArray message = senderAsText ? HeaderEncoding::unstructuredField("From", content.from) : HeaderEncoding::mailboxField("From", senders.mailboxes());
    if (recipientsAsText && !content.to.trimmed().isEmpty())
        message += HeaderEncoding::unstructuredField("To", content.to);
    else if (!recipientsAsText)
        message += HeaderEncoding::mailboxField("To", recipients.mailboxes());
    const QString date = content.kept && !content.date.trimmed().isEmpty() ? content.date.trimmed()
                                                                           : QDateTime::currentDateTime().toString(Qt::RFC2822Date);
    message += HeaderEncoding::unstructuredField("Subject", content.subject) + HeaderEncoding::unstructuredField("Date", date)
        + "Message-ID: <" + uniqueText + '@' + QUrl::toAce(domain) + ">\r\n" + "MIME-Version: 1.0\r\n";

    const QByteArray textPart = "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        + base64Lines(withCrLf(content.body).toUtf8());
    if (files.empty()) {
        message += textPart;
    } else {
        // "=_" never occurs in base64, so no line of a part can be taken for the boundary.
        const QByteArray boundary = "=_" + uniqueText;
        message += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
        message += "--" + boundary + "\r\n" + textPart;
        for (const File& file : files) {
            message += "--" + boundary + "\r\n" + HeaderEncoding::attachmentFields(file.type.toLatin1(), file.name)
                + "Content-Transfer-Encoding: base64\r\n\r\n" + base64Lines(file.bytes);
        }
        message += "--" + boundary + "--\r\n";
    }
    built.bytes_ = toStdString(message);
    return built;
}

QString OutgoingMessage::refusedRecipientText(const QString& part)
{
    return QStringLiteral("宛先「%1」はメールアドレスとして読み取れないため、送信しませんでした。\r\n"
                          "複数の宛先は「,」「;」「、」で区切ってください。")
        .arg(part);
}
