#include "FakeNMail.h"

#include <QCryptographicHash>

int FakeNMail::count(const QString& operation) const
{
    int result = 0;
    for (const QString& call : calls) {
        if (call == operation || call.startsWith(operation + u'('))
            ++result;
    }
    return result;
}

const FakeNMail::Message* FakeNMail::message(int number) const
{
    if (number < 1 || number > mailbox.size())
        return nullptr;
    return &mailbox[number - 1];
}

QString FakeNMail::uidOf(int number) const
{
    const Message* found = message(number);
    if (!found)
        return QString();
    if (!found->uid.isEmpty())
        return found->uid;
    // Stable while the script removes or reorders messages, as a server's ids are.
    const QByteArray content = (found->subject + u'\n' + found->from + u'\n' + found->body).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex());
}

void FakeNMail::record(const QString& operation, const QStringList& arguments)
{
    calls.append(arguments.isEmpty() ? operation : operation + u'(' + arguments.join(QStringLiteral(", ")) + u')');
}

int FakeNMail::NMailInitializeWinSock()
{
    record(QStringLiteral("NMailInitializeWinSock"));
    return 0;
}

int FakeNMail::NMailSetOption(int option, int value)
{
    record(QStringLiteral("NMailSetOption"), {QString::number(option), QString::number(value)});
    return 0;
}

int FakeNMail::NMailSetOptionText(int option, const QString& value)
{
    record(QStringLiteral("NMailSetOptionText"), {QString::number(option), value});
    textOptions[option] = value;
    return 0;
}

int FakeNMail::NMailPop3Connect(const QString& server)
{
    record(QStringLiteral("NMailPop3Connect"), {server});
    if (whileConnecting)
        whileConnecting();
    return connectFails ? -1 : handle;
}

int FakeNMail::NMailPop3Authenticate(int session, const QString& id, const QString& password, int apop)
{
    record(QStringLiteral("NMailPop3Authenticate"), {QString::number(session), id, password, QString::number(apop)});
    lastAuthenticatedId = id;
    lastAuthenticatedPassword = password;
    lastApopFlag = apop;
    return authenticateResult.value_or(static_cast<int>(mailbox.size()));
}

int FakeNMail::NMailPop3GetMailStatus(int session, int number, QString& subject, QString& date, QString& from,
    QString& header, int)
{
    record(QStringLiteral("NMailPop3GetMailStatus"), {QString::number(session), QString::number(number)});
    const Message* found = message(number);
    if (!found)
        return -1;
    if (found->fetchResult != 0)
        return found->fetchResult;
    subject = found->subject;
    date = found->date;
    from = found->from;
    header = found->header;
    return 0;
}

int FakeNMail::NMailPop3GetUidl(int session, QStringList& ids)
{
    record(QStringLiteral("NMailPop3GetUidl"), {QString::number(session)});
    if (uidlResult && *uidlResult < 0)
        return *uidlResult;
    ids.clear();
    for (int number = 1; number <= mailbox.size(); ++number)
        ids.append(uidOf(number));
    return static_cast<int>(ids.size());
}

int FakeNMail::NMailPop3GetMailSize(int session, int number)
{
    record(QStringLiteral("NMailPop3GetMailSize"), {QString::number(session), QString::number(number)});
    const Message* found = message(number);
    return found ? static_cast<int>(found->body.size()) : -1;
}

int FakeNMail::NMailPop3GetMail(int session, int number, QString& subject, QString& date, QString& from,
    QString& header, QString& body, int, int)
{
    record(QStringLiteral("NMailPop3GetMail"), {QString::number(session), QString::number(number)});
    const Message* found = message(number);
    if (!found || found->fetchFails)
        return -1;
    if (found->fetchResult != 0)
        return found->fetchResult;
    subject = found->subject;
    date = found->date;
    from = found->from;
    header = found->header;
    body = found->body;
    return 0;
}

int FakeNMail::NMailAttachmentFileFirst(int, QString& subject, QString&, QString&, QString&, QString& body,
    const QString& attachmentFolder, const QString& workFilePath, QString&, int)
{
    record(QStringLiteral("NMailAttachmentFileFirst"), {attachmentFolder, workFilePath});
    for (const Message& candidate : mailbox) {
        if (candidate.subject == subject && candidate.body == body) {
            if (candidate.bodyAfterAttachments)
                body = *candidate.bodyAfterAttachments;
            return candidate.attachmentResult;
        }
    }
    return 1;
}

int FakeNMail::NMailAttachmentFileClose(int session)
{
    record(QStringLiteral("NMailAttachmentFileClose"), {QString::number(session)});
    return 0;
}

int FakeNMail::NMailAttachmentFileFlush(int session)
{
    record(QStringLiteral("NMailAttachmentFileFlush"), {QString::number(session)});
    return flushResult;
}

int FakeNMail::NMailPop3DeleteMail(int session, int number)
{
    record(QStringLiteral("NMailPop3DeleteMail"), {QString::number(session), QString::number(number)});
    const Message* found = message(number);
    if (found && found->deleteResult < 0)
        return found->deleteResult;
    deleted.append(number);
    return 0;
}

int FakeNMail::NMailPop3Close(int session)
{
    record(QStringLiteral("NMailPop3Close"), {QString::number(session)});
    if (deletesAtClose && closeResult >= 0) {
        QList<Message> left;
        for (int number = 1; number <= mailbox.size(); ++number) {
            if (deleted.contains(number)) {
                removedIds.append(uidOf(number));
            } else {
                left.append(mailbox[number - 1]);
                left.last().uid = uidOf(number);
            }
        }
        mailbox = left;
        deleted.clear();
    }
    return closeResult;
}

int FakeNMail::NMailSmtpSendMail(const QString& server, const QString& to, const QString*, const QString*,
    const QString& from, const QString& subject, const QString& body, const QString*, const QString& attachments, int)
{
    record(QStringLiteral("NMailSmtpSendMail"), {server, to, from, subject});
    sent.append({server, to, from, subject, body, attachments});
    if (whileSending)
        whileSending(sent.last());
    return sendResults.isEmpty() ? sendResult : sendResults.takeFirst();
}

int FakeNMail::NMailGetMessage(int, QString& buffer, int size)
{
    record(QStringLiteral("NMailGetMessage"));
    buffer = errorText.left(size - 1);
    return static_cast<int>(buffer.size());
}

int FakeNMail::NMailEndWinSock()
{
    record(QStringLiteral("NMailEndWinSock"));
    return 0;
}
