#include "NMail.h"

#include "AttachmentExtractor.h"
#include "AttachmentFolder.h"
#include "CharsetDecoder.h"
#include "HeaderBlock.h"
#include "MailLibraries.h"
#include "MessageDecoder.h"
#include "OutgoingMessage.h"
#include "Pop3Session.h"
#include "ServerAddress.h"
#include "SmtpSender.h"
#include "SplitMessageStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <set>
#include <unistd.h>

struct NMail::Session {
    Pop3Session pop3;
    bool loggedIn = false;
    int fetchedNumber = 0;
    std::string fetchedMessage;
};

NMail::NMail() { MailLibraries::ensureInitialized(); }

NMail::~NMail() = default;

int NMail::fail(const QString& text)
{
    lastError_ = text;
    return -1;
}

namespace {

QString bodyAsFetched(const std::string& raw, const DecodedMessage& decoded)
{
    // A message of parts is handed over as it came, part headers and all: the program looks for the
    // word "attachment" in it to mark the stored text, and the attachment step then leaves the text
    // a reader reads in its place.
    const HeaderBlock header(raw);
    const std::string* type = header.value("Content-Type");
    if (!type)
        return decoded.body;
    const std::size_t start = type->find_first_not_of(" \t");
    if (start == std::string::npos || !HeaderBlock::namesEqual(std::string_view(*type).substr(start, 10), "multipart/"))
        return decoded.body;
    return CharsetDecoder::decodeUnlabelled(header.body());
}

} // namespace

QString NMail::cutToBuffer(const QString& text) const
{
    return textBufferSize_ > 0 && text.size() >= textBufferSize_ ? text.left(textBufferSize_ - 1) : text;
}

NMail::Session* NMail::session(int handle)
{
    const auto found = sessions_.find(handle);
    if (found == sessions_.end()) {
        lastError_ = QStringLiteral("POP3 の接続がありません（番号 %1）。").arg(handle);
        return nullptr;
    }
    return found->second.get();
}

int NMail::NMailInitializeWinSock()
{
    MailLibraries::ensureInitialized();
    return 0;
}

int NMail::NMailSetOption(int option, int value)
{
    switch (option) {
    case OptionTextBufferSize:
        if (value < 2)
            return -1;
        textBufferSize_ = value;
        return 0;
    case OptionTimeoutMilliseconds:
        if (value < 1)
            return -1;
        timeoutMilliseconds_ = value;
        return 0;
    case OptionMaximumMessageBytes:
        if (value < 1024)
            return -1;
        maximumMessageBytes_ = value;
        return 0;
    default:
        return -1;
    }
}

int NMail::NMailSetOptionText(int option, const QString& value)
{
    switch (option) {
    case OptionSmtpUser:
        smtpUser_ = value;
        return 0;
    case OptionSmtpPassword:
        smtpPassword_ = value;
        return 0;
    case OptionTrustedCaFile:
        trustedCaFile_ = value;
        return 0;
    default:
        return -1;
    }
}

int NMail::NMailPop3Connect(const QString& server)
{
    const auto address = ServerAddress::parse(server, ServerAddress::Protocol::Pop3);
    if (!address)
        return fail(QStringLiteral("POP3 サーバー名「%1」を読み取れません。「ホスト名」「ホスト名:ポート」「pop3s://ホスト名」のどれかで指定してください。").arg(server));
    auto opened = std::make_unique<Session>();
    const StoreStatus status = opened->pop3.open(*address, TlsSocket::Settings{timeoutMilliseconds_, trustedCaFile_});
    if (!status.ok())
        return fail(status.error());
    const int handle = nextHandle_++;
    sessions_.emplace(handle, std::move(opened));
    return handle;
}

int NMail::NMailPop3Authenticate(int handle, const QString& id, const QString& password, int apop)
{
    Session* open = session(handle);
    if (!open)
        return -1;
    if (open->loggedIn)
        return fail(QStringLiteral("この POP3 接続はすでにログインしています。"));
    auto count = open->pop3.login(id, password, apop != 0);
    if (!count.ok())
        return fail(count.error());
    open->loggedIn = true;
    return count.value();
}

const std::string* NMail::fetched(Session& open, int number)
{
    if (!open.loggedIn) {
        lastError_ = QStringLiteral("POP3 サーバーにログインしていません。");
        return nullptr;
    }
    if (open.fetchedNumber != number) {
        open.fetchedNumber = 0;
        open.fetchedMessage.clear();
        auto message = open.pop3.retrieve(number, maximumMessageBytes_);
        if (!message.ok()) {
            lastError_ = message.error();
            return nullptr;
        }
        open.fetchedMessage = std::move(message.value());
        open.fetchedNumber = number;
    }
    return &open.fetchedMessage;
}

int NMail::NMailPop3GetMailStatus(int handle, int number, QString& subject, QString& date, QString& from,
    QString& header, int)
{
    Session* open = session(handle);
    const std::string* raw = open ? fetched(*open, number) : nullptr;
    if (!raw)
        return -1;
    const DecodedMessage decoded = MessageDecoder::decodeHeader(*raw);
    subject = cutToBuffer(decoded.subject);
    date = cutToBuffer(decoded.date);
    from = cutToBuffer(decoded.from);
    header = cutToBuffer(decoded.header);
    return 1;
}

int NMail::NMailPop3GetMailSize(int handle, int number)
{
    Session* open = session(handle);
    if (!open)
        return -1;
    if (!open->loggedIn)
        return fail(QStringLiteral("POP3 サーバーにログインしていません。"));
    if (open->fetchedNumber == number)
        return static_cast<int>(std::min<std::size_t>(open->fetchedMessage.size(), INT_MAX));
    auto size = open->pop3.messageSize(number);
    if (!size.ok())
        return fail(size.error());
    if (size.value() > maximumMessageBytes_)
        return fail(QStringLiteral("メール %1 が大きすぎます（%2 バイト、受信できるのは %3 バイトまで）。")
                        .arg(number)
                        .arg(size.value())
                        .arg(maximumMessageBytes_));
    return static_cast<int>(size.value());
}

int NMail::NMailPop3GetMail(int handle, int number, QString& subject, QString& date, QString& from, QString& header,
    QString& body, int, int)
{
    Session* open = session(handle);
    const std::string* raw = open ? fetched(*open, number) : nullptr;
    if (!raw)
        return -1;
    const DecodedMessage decoded = MessageDecoder::decode(*raw);
    subject = cutToBuffer(decoded.subject);
    date = cutToBuffer(decoded.date);
    from = cutToBuffer(decoded.from);
    header = cutToBuffer(decoded.header);
    body = bodyAsFetched(*raw, decoded);
    lastFetchedMessage_ = *raw;
    lastReadableBody_ = decoded.body;
    return 1;
}

int NMail::NMailAttachmentFileFirst(int, QString& subject, QString& date, QString& from, QString& header,
    QString& body, const QString& attachmentFolder, const QString&, QString&, int)
{
    if (lastFetchedMessage_.empty()) {
        lastError_ = QStringLiteral("添付ファイルを取り出すメールがありません（先にメールを受信してください）。");
        return 0;
    }
    const AttachmentFolder folder(attachmentFolder);
    if (!folder.exists()) {
        lastError_ = QStringLiteral("添付フォルダ「%1」がありません。").arg(attachmentFolder);
        return -5;
    }

    std::string_view message = lastFetchedMessage_;
    const SplitMessageStore::Outcome split = SplitMessageStore(folder).add(message);
    for (const QString& kept : split.keptFiles) {
        // The part's name lies two folders below the attachment folder, each of them perhaps new.
        const QString partFolder = QFileInfo(kept).absolutePath();
        unflushedAttachments_ << kept;
        unflushedFolders_ << QFileInfo(partFolder).absolutePath() << QFileInfo(QFileInfo(partFolder).absolutePath()).absolutePath();
    }
    switch (split.kind) {
    case SplitMessageStore::Outcome::Kind::Failed:
        lastError_ = split.error;
        return -5;
    case SplitMessageStore::Outcome::Kind::Incomplete:
        lastError_ = split.total > 0
            ? QStringLiteral("分割されたメールが全て揃っていません（%1/%2 通）。").arg(split.have).arg(split.total)
            : QStringLiteral("分割されたメールが全て揃っていません（%1 通）。").arg(split.have);
        return -6;
    case SplitMessageStore::Outcome::Kind::Complete: {
        // The program stores what the buffers hold afterwards: from now on that is the whole message.
        const DecodedMessage whole = MessageDecoder::decode(split.whole);
        subject = cutToBuffer(whole.subject);
        date = cutToBuffer(whole.date);
        from = cutToBuffer(whole.from);
        header = cutToBuffer(whole.header);
        body = whole.body;
        lastFetchedMessage_ = split.whole;
        message = lastFetchedMessage_;
        break;
    }
    case SplitMessageStore::Outcome::Kind::NotSplit:
        body = lastReadableBody_;
        break;
    }

    const AttachmentExtractor::Result extracted = AttachmentExtractor::extract(message, folder);
    if (!extracted.error.isEmpty()) {
        lastError_ = extracted.error;
        return -5;
    }
    unflushedAttachments_ << extracted.written;
    return extracted.written.isEmpty() ? 0 : 1;
}

int NMail::NMailAttachmentFileClose(int)
{
    lastFetchedMessage_.clear();
    lastFetchedMessage_.shrink_to_fit();
    lastReadableBody_.clear();
    return 0;
}

int NMail::NMailPop3DeleteMail(int handle, int number)
{
    Session* open = session(handle);
    if (!open)
        return -1;
    if (!open->loggedIn)
        return fail(QStringLiteral("POP3 サーバーにログインしていません。"));
    const StoreStatus status = open->pop3.markDeleted(number);
    if (!status.ok())
        return fail(status.error());
    if (open->fetchedNumber == number) {
        open->fetchedNumber = 0;
        open->fetchedMessage.clear();
    }
    return 1;
}

int NMail::NMailPop3Close(int handle)
{
    const auto found = sessions_.find(handle);
    if (found == sessions_.end())
        return fail(QStringLiteral("POP3 の接続がありません（番号 %1）。").arg(handle));
    std::unique_ptr<Session> closing = std::move(found->second);
    sessions_.erase(found);
    if (!closing->loggedIn) {
        closing->pop3.abort();
        return 0;
    }
    if (const QString unflushed = flushAttachments(); !unflushed.isEmpty()) {
        // Without QUIT the server deletes nothing: the messages stay there with their attachments.
        closing->pop3.abort();
        return fail(QStringLiteral("添付ファイル「%1」をディスクに書き込めませんでした。メールはサーバーに残してあります。")
                        .arg(QDir::toNativeSeparators(unflushed)));
    }
    const StoreStatus status = closing->pop3.quit();
    return status.ok() ? 0 : fail(status.error());
}

QString NMail::flushAttachments()
{
    // Every file before any folder, so that no name reaches the disk ahead of its content.
    std::set<QString> folders(unflushedFolders_.cbegin(), unflushedFolders_.cend());
    for (const QString& path : std::as_const(unflushedAttachments_)) {
        folders.insert(QFileInfo(path).absolutePath());
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        // A file the user has already moved away needs no flushing.
        if (fd < 0 && errno == ENOENT)
            continue;
        const bool flushed = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!flushed)
            return path;
    }
    for (const QString& folder : folders) {
        const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        // The folder of a split message's parts goes once the message is whole.
        if (fd < 0 && errno == ENOENT)
            continue;
        const bool flushed = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!flushed)
            return folder;
    }
    unflushedAttachments_.clear();
    unflushedFolders_.clear();
    return {};
}

int NMail::NMailSmtpSendMail(const QString& server, const QString& to, const QString*, const QString*,
    const QString& from, const QString& subject, const QString& body, const QString*, const QString& attachments, int)
{
    const auto address = ServerAddress::parse(server, ServerAddress::Protocol::Smtp);
    if (!address)
        return fail(QStringLiteral("SMTP サーバー名「%1」を読み取れません。「ホスト名」「ホスト名:ポート」「smtps://ホスト名」のどれかで指定してください。").arg(server));
    OutgoingMessage::Content content{from, to, subject, body, attachments.split(u',', Qt::SkipEmptyParts)};
    auto message = OutgoingMessage::build(content);
    if (!message.ok())
        return fail(message.error());
    const StoreStatus sent =
        SmtpSender::send(*address, message.value(), SmtpSender::Settings{timeoutMilliseconds_, trustedCaFile_, smtpUser_, smtpPassword_});
    return sent.ok() ? 0 : fail(sent.error());
}

int NMail::NMailGetMessage(int, QString& buffer, int size)
{
    buffer = size > 0 && lastError_.size() >= size ? lastError_.left(size - 1) : lastError_;
    return static_cast<int>(buffer.size());
}

int NMail::NMailEndWinSock()
{
    for (auto& [handle, open] : sessions_)
        open->pop3.abort();
    sessions_.clear();
    return 0;
}
