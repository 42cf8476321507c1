#include "NMail.h"

#include "AttachmentExtractor.h"
#include "AttachmentFolder.h"
#include "CharsetDecoder.h"
#include "GMimeHandles.h"
#include "HeaderBlock.h"
#include "MailLibraries.h"
#include "MessageDecoder.h"
#include "MessageStructure.h"
#include "OutgoingMessage.h"
#include "Pop3Session.h"
#include "ServerAddress.h"
#include "SmtpSender.h"
#include "SplitMessageStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <set>
#include <unistd.h>
#include <utility>

struct NMail::Session {
    Pop3Session pop3;
    bool loggedIn = false;
    int messageCount = 0;
    int fetchedNumber = 0;
    Fetched fetched;
    // The kept parts of split messages completed by these message numbers; removed only when
    // the message was deleted and its QUIT went through, since the server no longer holds them.
    std::map<int, QString> completedSplits;
    QStringList splitsToRemoveAfterQuit;
    bool abandonedSplitsRemoved = false;
};

NMail::NMail() { MailLibraries::ensureInitialized(); }

NMail::~NMail() = default;

int NMail::fail(const QString& text)
{
    lastError_ = text;
    return -1;
}

int NMail::failCommand(const Session& open, const QString& text)
{
    fail(text);
    return failedCall(&open);
}

namespace {

constexpr std::size_t ReusedParseBytes = 1024 * 1024;
// What a spooled message leaves free on the disk of the temporary folder, for the program and
// everything else on the machine.
constexpr long long SpoolDiskReserve = 256LL * 1024 * 1024;

QString noRoomForSpool(long long needed, long long room)
{
    return QStringLiteral("一時フォルダのディスクの空き容量が足りない（%1 バイト必要、%2 MB は空けておくため使えるのは %3 バイト）")
        .arg(needed)
        .arg(SpoolDiskReserve / (1024 * 1024))
        .arg(std::max(0LL, room));
}

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

void NMail::NMailSetWaitHook(NetworkWaitHook hook) { waitHook_ = std::move(hook); }

int NMail::failedCall(const Session* open)
{
    if (open && open->pop3.stoppedByUser())
        return ResultStoppedByUser;
    return open && open->pop3.refused() ? ResultMessageRefusedByServer : -1;
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
    case OptionAllowPlainPassword:
        if (value != 0 && value != 1)
            return -1;
        allowPlainPassword_ = value == 1;
        return 0;
    case OptionMinimumBytesPerSecond:
        if (value < 1)
            return -1;
        minimumBytesPerSecond_ = value;
        return 0;
    case OptionSmtpEndOfDataWaitMilliseconds:
        if (value < 1)
            return -1;
        smtpEndOfDataWaitMilliseconds_ = value;
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
        return fail(ServerAddress::unreadableText(server, ServerAddress::Protocol::Pop3));
    auto opened = std::make_unique<Session>();
    // The hook installed at the moment of each wait, not the one of the connect.
    const TlsSocket::Settings settings{timeoutMilliseconds_, trustedCaFile_, minimumBytesPerSecond_, [this] { return waitHook_ && waitHook_(); }};
    const StoreStatus status = opened->pop3.open(*address, settings);
    if (!status.ok()) {
        fail(status.error());
        return failedCall(opened.get());
    }
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
    auto count = open->pop3.login(id, password, apop != 0, allowPlainPassword_);
    if (!count.ok()) {
        fail(count.error());
        return open->pop3.passwordHeldBack() ? ResultPasswordNeedsTls : failedCall(open);
    }
    open->loggedIn = true;
    open->messageCount = count.value();
    return count.value();
}

NMail::Session* NMail::loggedInSession(int handle)
{
    Session* open = session(handle);
    if (open && !open->loggedIn) {
        fail(QStringLiteral("POP3 サーバーにログインしていません。"));
        return nullptr;
    }
    return open;
}

const NMail::Fetched* NMail::fetched(Session& open, int number)
{
    if (open.fetchedNumber == number)
        return &open.fetched;
    open.fetchedNumber = 0;
    open.fetched = {};
    Fetched message;
    auto spool = std::make_shared<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/nmail-spool-XXXXXX"));
    std::string head;
    bool spooled = false;
    long long spoolRoom = 0;
    long long spoolBytes = 0;
    // A message over the size cap is not decoded, only kept: it goes to a file as it arrives, so
    // its size costs disk, not memory, and never more of it than the disk can spare. A spool that
    // cannot be written still lets the fetch finish, and the attachment step then reports the
    // message as one it cannot keep.
    auto bytes = open.pop3.retrieve(number, maximumMessageBytes_, [&](std::string_view piece) {
        if (!spooled) {
            spooled = true;
            if (!spool->open())
                message.spoolError = spool->errorString();
            spoolRoom = QStorageInfo(QDir::tempPath()).bytesAvailable() - SpoolDiskReserve;
            // Known by now (retrieve asked for it first), so no command goes out in mid-reply.
            if (const auto listed = open.pop3.messageSize(number); listed.ok() && listed.value() > spoolRoom)
                return StoreStatus::failure(noRoomForSpool(listed.value(), spoolRoom));
        }
        spoolBytes += static_cast<long long>(piece.size());
        if (spoolBytes > spoolRoom)
            return StoreStatus::failure(noRoomForSpool(spoolBytes, spoolRoom));
        if (head.size() < HeaderBlock::MaximumBytes)
            head.append(piece.substr(0, HeaderBlock::MaximumBytes - head.size()));
        if (message.spoolError.isEmpty() && spool->write(piece.data(), static_cast<qint64>(piece.size())) != static_cast<qint64>(piece.size()))
            message.spoolError = spool->errorString();
        return StoreStatus::success();
    });
    if (!bytes.ok()) {
        lastError_ = bytes.error();
        fetchFailure_ = open.pop3.refusedByBound() ? ResultRefusedByBound : failedCall(&open);
        return nullptr;
    }
    if (spooled) {
        if (message.spoolError.isEmpty() && !spool->flush())
            message.spoolError = spool->errorString();
        message.bytes = std::make_shared<const std::string>(std::move(head));
        message.spool = std::move(spool);
        message.whyNotWhole = QStringLiteral("大きすぎる（%1 バイトを超える）").arg(maximumMessageBytes_);
    } else {
        message.bytes = std::make_shared<const std::string>(std::move(bytes.value()));
        message.whyNotWhole = MessageStructure::whyNotWhole(*message.bytes);
    }
    open.fetched = std::move(message);
    open.fetchedNumber = number;
    return &open.fetched;
}

int NMail::NMailPop3GetUidl(int handle, QStringList& ids)
{
    Session* open = loggedInSession(handle);
    if (!open)
        return -1;
    auto listed = open->pop3.uniqueIds(open->messageCount);
    if (!listed.ok())
        return failCommand(*open, listed.error());
    ids.clear();
    ids.reserve(static_cast<qsizetype>(listed.value().size()));
    for (const std::string& id : listed.value())
        ids.append(QString::fromLatin1(id));
    return static_cast<int>(ids.size());
}

int NMail::NMailPop3GetMailStatus(int handle, int number, QString& subject, QString& date, QString& from,
    QString& header, int)
{
    Session* open = loggedInSession(handle);
    const Fetched* message = open ? fetched(*open, number) : nullptr;
    if (!message)
        return open ? fetchFailure_ : -1;
    const DecodedMessage decoded = MessageDecoder::decodeHeader(*message->bytes);
    subject = cutToBuffer(decoded.subject);
    date = cutToBuffer(decoded.date);
    from = cutToBuffer(decoded.from);
    header = cutToBuffer(decoded.header);
    return 1;
}

int NMail::NMailPop3GetMailSize(int handle, int number)
{
    Session* open = loggedInSession(handle);
    if (!open)
        return -1;
    if (open->fetchedNumber == number) {
        const Fetched& message = open->fetched;
        const qint64 size = message.spool ? message.spool->size() : static_cast<qint64>(message.bytes->size());
        return static_cast<int>(std::min<qint64>(size, INT_MAX));
    }
    auto size = open->pop3.messageSize(number);
    if (!size.ok())
        return failCommand(*open, size.error());
    return static_cast<int>(std::min<long long>(size.value(), INT_MAX));
}

int NMail::NMailPop3GetMail(int handle, int number, QString& subject, QString& date, QString& from, QString& header,
    QString& body, int, int)
{
    Session* open = loggedInSession(handle);
    const Fetched* message = open ? fetched(*open, number) : nullptr;
    if (!message)
        return open ? fetchFailure_ : -1;
    takeAsFetched(*message, handle, number, subject, date, from, header, body);
    return 1;
}

int NMail::NMailLoadMessage(const std::string& raw, const QString& wholeFile, QString& subject, QString& date,
    QString& from, QString& header, QString& body)
{
    Fetched message;
    message.bytes = std::make_shared<const std::string>(raw);
    message.wholeFile = wholeFile;
    message.whyNotWhole = !wholeFile.isEmpty() || static_cast<long long>(raw.size()) > maximumMessageBytes_
        ? QStringLiteral("大きすぎる（%1 バイトを超える）").arg(maximumMessageBytes_)
        : MessageStructure::whyNotWhole(raw);
    const bool whole = message.whyNotWhole.isEmpty();
    takeAsFetched(std::move(message), 0, 0, subject, date, from, header, body);
    return whole ? 1 : 2;
}

void NMail::takeAsFetched(Fetched message, int handle, int number, QString& subject, QString& date, QString& from,
    QString& header, QString& body)
{
    const std::string& raw = *message.bytes;
    DecodedMessage decoded;
    lastParse_.reset();
    if (message.whyNotWhole.isEmpty()) {
        decoded = MessageDecoder::decodeWhole(raw, raw.size() <= ReusedParseBytes ? &lastParse_ : nullptr);
        body = bodyAsFetched(raw, decoded);
    } else {
        decoded = MessageDecoder::decodeHeader(raw);
        decoded.body = MessageDecoder::notWholeNotice(message.whyNotWhole);
        body = decoded.body;
    }
    subject = cutToBuffer(decoded.subject);
    date = cutToBuffer(decoded.date);
    from = cutToBuffer(decoded.from);
    header = cutToBuffer(decoded.header);
    lastFetched_ = std::move(message);
    lastFetchedHandle_ = handle;
    lastFetchedNumber_ = number;
    lastReadableBody_ = decoded.body;
}

int NMail::keepWhole(const Fetched& message, QString& body, const QString& subject, const AttachmentFolder& folder)
{
    const QString fallback = QStringLiteral("未展開メール.eml");
    const QString name = subject.trimmed().isEmpty() ? fallback : subject.trimmed() + QStringLiteral(".eml");
    StoreResult<QString> written = !message.spoolError.isEmpty()
        ? StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません（%1）。").arg(message.spoolError))
        : message.spool               ? folder.copyNew(name, fallback, message.spool->fileName())
        : !message.wholeFile.isEmpty() ? folder.copyNew(name, fallback, message.wholeFile)
                                       : folder.writeNew(name, fallback, *message.bytes);
    if (!written.ok()) {
        lastError_ = QStringLiteral("このメールは%1ため、元のメール全体を添付フォルダに保存しようとしましたが、できませんでした。%2")
                         .arg(message.whyNotWhole, written.error());
        return -5;
    }
    unflushedAttachments_ << written.value();
    body = QStringLiteral("（このメールは%1ため、本文と添付ファイルを取り出せませんでした。元のメール全体を添付フォルダの「%2」に保存しました。）")
               .arg(message.whyNotWhole, QFileInfo(written.value()).fileName());
    return 1;
}

int NMail::NMailAttachmentFileFirst(int, QString& subject, QString& date, QString& from, QString& header,
    QString& body, const QString& attachmentFolder, const QString&, QString&, int)
{
    if (!lastFetched_.bytes) {
        lastError_ = QStringLiteral("添付ファイルを取り出すメールがありません（先にメールを受信してください）。");
        return 0;
    }
    const AttachmentFolder folder(attachmentFolder);
    if (!folder.exists()) {
        lastError_ = QStringLiteral("添付フォルダ「%1」がありません。").arg(attachmentFolder);
        return -5;
    }
    if (!lastFetched_.whyNotWhole.isEmpty())
        return keepWhole(lastFetched_, body, subject, folder);

    std::string_view message = *lastFetched_.bytes;
    const SplitMessageStore store(folder, maximumMessageBytes_);
    QStringList rebuilt;
    if (const auto found = sessions_.find(lastFetchedHandle_); found != sessions_.end()) {
        Session& open = *found->second;
        if (!std::exchange(open.abandonedSplitsRemoved, true))
            store.removeAbandonedSets();
        for (const auto& [number, keptParts] : open.completedSplits)
            rebuilt << keptParts;
    }
    SplitMessageStore::Outcome split = store.add(message, rebuilt);
    for (const QString& kept : split.keptFiles) {
        // The part's name lies two folders below the attachment folder, each of them perhaps new.
        const QString partFolder = QFileInfo(kept).absolutePath();
        unflushedAttachments_ << kept;
        unflushedFolders_ << QFileInfo(partFolder).absolutePath() << QFileInfo(QFileInfo(partFolder).absolutePath()).absolutePath();
    }
    switch (split.kind) {
    case SplitMessageStore::Outcome::Kind::Failed:
        // A part that can never join its message is kept as it came, or it would come back forever.
        if (split.malformed) {
            Fetched part = lastFetched_;
            part.whyNotWhole = QStringLiteral("分割されたメールの一部ですが、番号が正しくない");
            return keepWhole(part, body, subject, folder);
        }
        lastError_ = split.error;
        return -5;
    case SplitMessageStore::Outcome::Kind::Separate:
        body = SplitMessageStore::partText(message, split.notice);
        return 0;
    case SplitMessageStore::Outcome::Kind::Incomplete:
        lastError_ = split.total > 0
            ? QStringLiteral("分割されたメールが全て揃っていません（%1/%2 通）。").arg(split.have).arg(split.total)
            : QStringLiteral("分割されたメールが全て揃っていません（%1 通）。").arg(split.have);
        return -6;
    case SplitMessageStore::Outcome::Kind::Complete: {
        if (const auto found = sessions_.find(lastFetchedHandle_); found != sessions_.end())
            found->second->completedSplits[lastFetchedNumber_] = split.keptParts;
        Fetched whole;
        whole.bytes = std::make_shared<const std::string>(std::move(split.whole));
        whole.whyNotWhole = MessageStructure::whyNotWhole(*whole.bytes);
        // A whole that is itself a part of another split message is kept as it is: its parts
        // are not gathered a second time.
        if (whole.whyNotWhole.isEmpty() && SplitMessageStore::partInfo(*whole.bytes))
            whole.whyNotWhole = QStringLiteral("分割されたメールを戻したものが、さらに別の分割されたメールの一部である");
        lastFetched_ = whole;
        // The program stores what the buffers hold afterwards: from now on that is the whole message.
        const DecodedMessage decoded = whole.whyNotWhole.isEmpty() ? MessageDecoder::decodeWhole(*whole.bytes)
                                                                   : MessageDecoder::decodeHeader(*whole.bytes);
        subject = cutToBuffer(decoded.subject);
        date = cutToBuffer(decoded.date);
        from = cutToBuffer(decoded.from);
        header = cutToBuffer(decoded.header);
        body = decoded.body;
        if (!whole.whyNotWhole.isEmpty())
            return keepWhole(whole, body, decoded.subject, folder);
        message = *whole.bytes;
        break;
    }
    case SplitMessageStore::Outcome::Kind::NotSplit:
        body = lastReadableBody_;
        break;
    }

    const AttachmentExtractor::Result extracted =
        AttachmentExtractor::extract(message, folder, split.kind == SplitMessageStore::Outcome::Kind::NotSplit ? lastParse_.get() : nullptr);
    if (!extracted.error.isEmpty()) {
        lastError_ = extracted.error;
        return -5;
    }
    unflushedAttachments_ << extracted.written;
    body = AttachmentExtractor::withWrittenNames(body, extracted.marks);
    return extracted.written.isEmpty() ? 0 : 1;
}

int NMail::NMailAttachmentFileClose(int)
{
    lastFetched_ = {};
    lastFetchedHandle_ = 0;
    lastFetchedNumber_ = 0;
    lastReadableBody_.clear();
    lastParse_.reset();
    return 0;
}

int NMail::NMailAttachmentFileFlush(int)
{
    if (const QString unflushed = flushAttachments(); !unflushed.isEmpty())
        return fail(QStringLiteral("添付ファイル「%1」をディスクに書き込めませんでした。").arg(QDir::toNativeSeparators(unflushed)));
    return 0;
}

void NMail::noteMarkedDeleted(Session& open, int number)
{
    if (open.fetchedNumber == number) {
        open.fetchedNumber = 0;
        open.fetched = {};
    }
    if (const auto split = open.completedSplits.find(number); split != open.completedSplits.end())
        open.splitsToRemoveAfterQuit << split->second;
}

int NMail::NMailPop3DeleteMail(int handle, int number)
{
    Session* open = loggedInSession(handle);
    if (!open)
        return -1;
    const StoreStatus status = open->pop3.markDeleted(number);
    if (!status.ok())
        return failCommand(*open, status.error());
    noteMarkedDeleted(*open, number);
    return 1;
}

int NMail::NMailPop3DeleteMails(int handle, const QList<int>& numbers, QStringList& refusals)
{
    refusals.clear();
    Session* open = loggedInSession(handle);
    if (!open)
        return -1;
    auto marked = open->pop3.markDeleted(std::vector<int>(numbers.cbegin(), numbers.cend()));
    if (!marked.ok())
        return failCommand(*open, marked.error());
    int count = 0;
    for (qsizetype index = 0; index < numbers.size(); ++index) {
        const QString& refusal = marked.value()[static_cast<std::size_t>(index)];
        refusals << refusal;
        if (refusal.isEmpty()) {
            noteMarkedDeleted(*open, numbers[index]);
            ++count;
        }
    }
    return count;
}

void NMail::NMailPop3PlanFetches(int handle, const QList<int>& numbers)
{
    if (Session* open = loggedInSession(handle))
        open->pop3.planRetrievals(std::vector<int>(numbers.cbegin(), numbers.cend()));
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
    if (!status.ok()) {
        fail(status.error());
        return failedCall(closing.get());
    }
    for (const QString& keptParts : std::as_const(closing->splitsToRemoveAfterQuit))
        SplitMessageStore::removeKeptParts(keptParts);
    return 0;
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
        // A folder that is gone holds no name left to flush.
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
    if (!address) {
        (void)fail(ServerAddress::unreadableText(server, ServerAddress::Protocol::Smtp));
        return SendNotConnected;
    }
    OutgoingMessage::Content content{from, to, subject, body, attachments.split(u',', Qt::SkipEmptyParts), false, {}};
    auto message = OutgoingMessage::build(content);
    if (!message.ok())
        return fail(message.error());
    SmtpSender::Failure failure = SmtpSender::Failure::Other;
    const StoreStatus sent = smtp_.send(*address, message.value(),
        SmtpSender::Settings{timeoutMilliseconds_, trustedCaFile_, smtpUser_, smtpPassword_, allowPlainPassword_,
            smtpEndOfDataWaitMilliseconds_, waitHook_},
        &failure);
    if (sent.ok())
        return 0;
    const int failed = fail(sent.error());
    switch (failure) {
    case SmtpSender::Failure::PasswordHeldBack:
        return ResultPasswordNeedsTls;
    case SmtpSender::Failure::NotConnected:
        return SendNotConnected;
    case SmtpSender::Failure::Unconfirmed:
        return ResultSentUnconfirmed;
    case SmtpSender::Failure::Other:
        break;
    }
    return failed;
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
    smtp_.close();
    return 0;
}
