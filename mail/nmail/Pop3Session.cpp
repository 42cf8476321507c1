#include "Pop3Session.h"

#include <QCryptographicHash>

#include <algorithm>
#include <charconv>
#include <climits>
#include <optional>
#include <set>

namespace {

constexpr std::size_t MaximumStatusLine = 4096;
// "12345 67890123" and a little room: what one line of LIST takes at most.
constexpr std::size_t ListingLineBytes = 64;

// The decimal number at the start of text (after blanks), which is left after it; nothing when
// there is none or it does not fit, since servers' numbers are outside input.
std::optional<long long> takeNumber(std::string_view& text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || value < 0)
        return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// The numbers after "+OK" of a status line.
std::optional<long long> numberAfterOk(std::string_view line)
{
    line.remove_prefix(std::min<std::size_t>(3, line.size()));
    return takeNumber(line);
}

QString serverText(const std::string& line) { return QString::fromUtf8(line).trimmed(); }

bool breaksTheCommandLine(const QString& text) { return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0)); }

} // namespace

StoreResult<std::string> Pop3Session::readStatusLine(const QString& what)
{
    refused_ = false;
    auto line = socket_.readLine(MaximumStatusLine);
    if (!line.ok())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, line.error()));
    if (line.value().starts_with("+OK"))
        return line;
    refused_ = line.value().starts_with("-ERR");
    if (refused_)
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーの応答: %2").arg(what, serverText(line.value())));
    socket_.abort();
    return StoreStatus::failure(
        QStringLiteral("%1に失敗しました。サーバーの応答が POP3 ではありません: %2").arg(what, serverText(line.value()).left(200)));
}

StoreResult<std::string> Pop3Session::command(const std::string& line, const QString& what, long long expectedReplyBytes)
{
    if (StoreStatus skipped = skipRetrievalsBefore(std::nullopt); !skipped.ok())
        return skipped;
    refused_ = false;
    if (!socket_.isOpen())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーとの接続が切れています。").arg(what));
    const StoreStatus sent = socket_.write(line + "\r\n");
    if (!sent.ok())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, sent.error()));
    socket_.expectReply(expectedReplyBytes);
    return readStatusLine(what);
}

StoreStatus Pop3Session::readLines(const QString& what, int maxLines, std::size_t maxBytes,
    const std::function<void(const std::string&)>& take)
{
    int lines = 0;
    std::size_t bytes = 0;
    for (;;) {
        auto line = socket_.readLine(MaximumStatusLine);
        if (!line.ok())
            return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, line.error()));
        if (line.value() == ".")
            return StoreStatus::success();
        bytes += line.value().size() + 2;
        if (++lines > maxLines || bytes > maxBytes) {
            socket_.abort();
            return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーの応答が長すぎるため、接続を切りました（%2 行、%3 バイトまで）。")
                                            .arg(what)
                                            .arg(maxLines)
                                            .arg(maxBytes));
        }
        take(line.value());
    }
}

StoreStatus Pop3Session::dropForBound(const QString& text)
{
    socket_.abort();
    refusedByBound_ = true;
    return StoreStatus::failure(text);
}

long long Pop3Session::largestAcceptedSize(long long listedSize)
{
    constexpr long long Slack = 64 * 1024;
    const long long margin = listedSize / 10 + Slack;
    return listedSize > LLONG_MAX - margin ? LLONG_MAX : listedSize + margin;
}

StoreStatus Pop3Session::open(const ServerAddress& server, const TlsSocket::Settings& settings)
{
    const QString what = QStringLiteral("POP3 サーバーへの接続");
    serverName_ = server.display();
    StoreStatus connected = socket_.connect(server.host, server.port, settings);
    if (!connected.ok())
        return connected;
    if (server.tlsFromStart) {
        StoreStatus secured = socket_.startTls();
        if (!secured.ok())
            return secured;
    }
    auto greeting = readStatusLine(what);
    if (!greeting.ok()) {
        socket_.abort();
        return greeting.status();
    }
    const std::string& text = greeting.value();
    const std::size_t open = text.find('<');
    const std::size_t close = open == std::string::npos ? std::string::npos : text.find('>', open);
    if (close != std::string::npos && text.find('@', open) < close)
        apopTimestamp_ = text.substr(open, close - open + 1);

    if (!socket_.isEncrypted()) {
        if (StoreStatus listed = readCapabilities(what); !listed.ok())
            return listed;
        if (offersStls_) {
            auto accepted = command("STLS", QStringLiteral("TLS の開始（STLS）"));
            if (!accepted.ok()) {
                socket_.abort();
                return accepted.status();
            }
            StoreStatus secured = socket_.startTls();
            if (!secured.ok())
                return secured;
        }
    }
    // What was offered before TLS may have been changed on the way: over TLS it is asked again.
    if (socket_.isEncrypted())
        return readCapabilities(what);
    return StoreStatus::success();
}

StoreStatus Pop3Session::readCapabilities(const QString& what)
{
    offersStls_ = false;
    offersPipelining_ = false;
    auto capabilities = command("CAPA", what, static_cast<long long>(MaximumCapabilityBytes));
    // A server without CAPA offers nothing beyond the basic commands.
    if (!capabilities.ok())
        return socket_.isOpen() ? StoreStatus::success() : capabilities.status();
    return readLines(what, MaximumCapabilityLines, MaximumCapabilityBytes, [&](const std::string& line) {
        const QByteArray name = QByteArray::fromStdString(line.substr(0, line.find(' '))).toUpper();
        if (name == "STLS")
            offersStls_ = true;
        else if (name == "PIPELINING")
            offersPipelining_ = true;
    });
}

std::vector<StoreResult<std::string>> Pop3Session::exchange(const std::vector<Command>& commands)
{
    std::vector<StoreResult<std::string>> replies;
    if (!offersPipelining_) {
        for (const Command& step : commands) {
            replies.push_back(command(step.line, step.what));
            if (!replies.back().ok())
                break;
        }
        return replies;
    }
    std::string lines;
    for (const Command& step : commands)
        lines += step.line + "\r\n";
    const QString& what = commands.front().what;
    if (StoreStatus skipped = skipRetrievalsBefore(std::nullopt); !skipped.ok()) {
        replies.push_back(skipped);
        return replies;
    }
    refused_ = false;
    if (!socket_.isOpen()) {
        replies.push_back(StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーとの接続が切れています。").arg(what)));
        return replies;
    }
    if (const StoreStatus sent = socket_.write(lines); !sent.ok()) {
        replies.push_back(StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, sent.error())));
        return replies;
    }
    // Every reply is read, even after a refusal, so that the next command meets its own.
    for (const Command& step : commands) {
        socket_.startReply(0);
        replies.push_back(readStatusLine(step.what));
    }
    return replies;
}

StoreResult<int> Pop3Session::login(const QString& user, const QString& password, bool apop, bool allowPlainPassword)
{
    const QString what = QStringLiteral("ログイン");
    passwordHeldBack_ = false;
    // Anyone on the path can strip STLS from the capabilities: without TLS the password goes out
    // only with the user's consent. So does an APOP digest: it is MD5 over a challenge the server
    // chooses, and a false server recovers a short password from it offline.
    if (!socket_.isEncrypted() && !allowPlainPassword) {
        passwordHeldBack_ = true;
        return StoreStatus::failure(
            QStringLiteral("POP3 サーバー %1 は暗号化（TLS）に対応していないため、パスワードを送りませんでした。").arg(serverName_));
    }
    if (breaksTheCommandLine(user) || breaksTheCommandLine(password))
        return StoreStatus::failure(QStringLiteral("ユーザー ID またはパスワードに改行文字が含まれています。"));
    const std::string userBytes = user.toUtf8().toStdString();
    std::vector<Command> steps;
    if (apop) {
        if (apopTimestamp_.empty())
            return StoreStatus::failure(QStringLiteral("このサーバーは APOP に対応していません。APOP を使わない設定にしてください。"));
        const QByteArray digest =
            QCryptographicHash::hash(QByteArray::fromStdString(apopTimestamp_) + password.toUtf8(), QCryptographicHash::Md5)
                .toHex();
        steps.push_back({"APOP " + userBytes + ' ' + digest.toStdString(), QStringLiteral("APOP ログイン")});
    } else {
        steps.push_back({"USER " + userBytes, what});
        steps.push_back({"PASS " + password.toUtf8().toStdString(), what});
    }
    steps.push_back({"STAT", QStringLiteral("メール件数の取得")});
    auto replies = exchange(steps);
    for (const StoreResult<std::string>& reply : replies) {
        if (!reply.ok())
            return reply.status();
    }
    const std::string& status = replies.back().value();
    const std::optional<long long> count = numberAfterOk(status);
    if (!count || *count > INT_MAX)
        return StoreStatus::failure(QStringLiteral("メール件数の取得に失敗しました。サーバーの応答: %1").arg(serverText(status)));
    messageCount_ = static_cast<int>(*count);
    return messageCount_;
}

StoreStatus Pop3Session::listSizes()
{
    sizesListed_ = true;
    const QString what = QStringLiteral("メールのサイズの一覧の取得");
    const int maxLines = std::min(messageCount_, INT_MAX - ListingLinesBeyondCount) + ListingLinesBeyondCount;
    const std::size_t maxBytes = static_cast<std::size_t>(maxLines) * ListingLineBytes;
    auto reply = command("LIST", what, static_cast<long long>(maxBytes));
    // A server that refuses the whole list is asked message by message.
    if (!reply.ok())
        return socket_.isOpen() ? StoreStatus::success() : reply.status();
    return readLines(what, maxLines, maxBytes, [&](const std::string& line) {
        std::string_view text = line;
        const std::optional<long long> number = takeNumber(text);
        const std::optional<long long> size = takeNumber(text);
        if (number && size && *number <= INT_MAX)
            listedSizes_.emplace(static_cast<int>(*number), *size);
    });
}

StoreResult<long long> Pop3Session::messageSize(int number)
{
    const QString what = QStringLiteral("メール %1 のサイズの取得").arg(number);
    // A size kept from the list says nothing once the session is gone.
    if (!socket_.isOpen())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーとの接続が切れています。").arg(what));
    if (const auto found = listedSizes_.find(number); found != listedSizes_.end())
        return found->second;
    if (!sizesListed_) {
        const StoreStatus listed = listSizes();
        if (!listed.ok())
            return listed;
        if (const auto found = listedSizes_.find(number); found != listedSizes_.end())
            return found->second;
    }
    return takeSize(number, command("LIST " + std::to_string(number), what), what);
}

StoreResult<long long> Pop3Session::takeSize(int number, const StoreResult<std::string>& reply, const QString& what)
{
    if (!reply.ok())
        return reply.status();
    std::string_view text = reply.value();
    text.remove_prefix(3);
    const std::optional<long long> listed = takeNumber(text);
    const std::optional<long long> size = takeNumber(text);
    if (listed != number || !size)
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーの応答: %2").arg(what, serverText(reply.value())));
    listedSizes_.emplace(number, *size);
    return *size;
}

StoreResult<std::vector<std::string>> Pop3Session::uniqueIds(int count)
{
    const QString what = QStringLiteral("メッセージ ID の一覧（UIDL）の取得");
    const int maxLines = std::min(std::max(count, 0), INT_MAX - ListingLinesBeyondCount) + ListingLinesBeyondCount;
    // "n " and an id of at most 70 characters.
    constexpr std::size_t UidlLineBytes = 84;
    const std::size_t maxBytes = static_cast<std::size_t>(maxLines) * UidlLineBytes;
    auto reply = command("UIDL", what, static_cast<long long>(maxBytes));
    if (!reply.ok())
        return reply.status();
    std::vector<std::string> ids(static_cast<std::size_t>(std::max(count, 0)));
    std::set<std::string_view> seen;
    QString unusable;
    // The listing is read to its end even when a line is wrong, so the connection stays usable.
    const StoreStatus listed = readLines(what, maxLines, maxBytes, [&](const std::string& text) {
        if (!unusable.isEmpty())
            return;
        std::string_view rest = text;
        const std::optional<long long> number = takeNumber(rest);
        const bool parsed = number && !rest.empty() && rest.front() == ' ';
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        const std::string_view id = parsed ? rest : std::string_view();
        // RFC 1939: one to 70 printable characters.
        const bool wellFormed = !id.empty() && id.size() <= 70
            && std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x21 && c <= 0x7e; });
        if (!parsed || !wellFormed || *number < 1 || *number > count || !ids[static_cast<std::size_t>(*number - 1)].empty())
            unusable = serverText(text).left(200);
        else
            ids[static_cast<std::size_t>(*number - 1)] = std::string(id);
    });
    if (!listed.ok())
        return listed;
    for (std::size_t index = 0; unusable.isEmpty() && index < ids.size(); ++index) {
        if (ids[index].empty())
            unusable = QStringLiteral("メッセージ %1 の ID がありません").arg(index + 1);
        else if (!seen.insert(ids[index]).second)
            unusable = QStringLiteral("ID %1 が二通のメッセージに付いています").arg(QString::fromLatin1(ids[index]));
    }
    if (!unusable.isEmpty()) {
        refused_ = true;
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーの一覧が正しくありません: %2").arg(what, unusable));
    }
    return ids;
}

void Pop3Session::planRetrievals(std::vector<int> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    retrievalPlan_ = std::move(numbers);
    // The RETRs that go ahead need the sizes. A few new messages among many kept on the server ask
    // for their own sizes, all in one write, rather than for a listing of every message; the sizes
    // of a larger plan come with the first fetch, in one listing.
    const std::vector<int>& planned = *retrievalPlan_;
    if (!offersPipelining_ || sizesListed_ || planned.empty() || planned.size() * SparsePlanShare >= static_cast<std::size_t>(messageCount_))
        return;
    for (std::size_t first = 0; first < planned.size(); first += CommandsPerWrite) {
        std::vector<Command> asks;
        for (std::size_t index = first; index < std::min(planned.size(), first + CommandsPerWrite); ++index)
            asks.push_back({"LIST " + std::to_string(planned[index]), QStringLiteral("メール %1 のサイズの取得").arg(planned[index])});
        const auto replies = exchange(asks);
        // A size the server does not give is asked for again when its message is fetched.
        for (std::size_t index = 0; index < replies.size(); ++index)
            (void)takeSize(planned[first + index], replies[index], asks[index].what);
        if (!socket_.isOpen())
            return;
    }
}

std::optional<int> Pop3Session::plannedAfter(int number) const
{
    if (retrievalPlan_) {
        const auto next = std::upper_bound(retrievalPlan_->begin(), retrievalPlan_->end(), number);
        return next == retrievalPlan_->end() ? std::nullopt : std::optional<int>(*next);
    }
    return std::nullopt;
}

std::string Pop3Session::nextRetrievals()
{
    std::string requests;
    if (!offersPipelining_ || pendingRetrievals_.empty())
        return requests;
    int last = pendingRetrievals_.back().number;
    while (pendingRetrievals_.size() < MaximumRetrievalsInFlight) {
        const std::optional<int> next = plannedAfter(last);
        const auto size = next ? listedSizes_.find(*next) : listedSizes_.end();
        if (size == listedSizes_.end() || pendingBytes_ + size->second > MaximumBytesInFlight)
            break;
        requests += "RETR " + std::to_string(*next) + "\r\n";
        pendingRetrievals_.push_back({*next, size->second});
        pendingBytes_ += size->second;
        last = *next;
    }
    return requests;
}

StoreStatus Pop3Session::skipRetrievalsBefore(std::optional<int> number)
{
    const auto forgetAll = [&] {
        pendingRetrievals_.clear();
        pendingBytes_ = 0;
    };
    if (!socket_.isOpen())
        forgetAll();
    while (!pendingRetrievals_.empty() && pendingRetrievals_.front().number != number) {
        // A caller that does not follow its plan would have every message it skips sent for
        // nothing: from now on it gets one message at a time.
        retrievalPlan_.reset();
        const PendingRetrieval skipped = pendingRetrievals_.front();
        pendingRetrievals_.pop_front();
        pendingBytes_ -= skipped.listedSize;
        const QString what = QStringLiteral("メール %1 の受信").arg(skipped.number);
        const long long largest = largestAcceptedSize(skipped.listedSize);
        socket_.startReply(largest);
        if (auto reply = readStatusLine(what); !reply.ok()) {
            if (socket_.isOpen())
                continue;
            forgetAll();
            return reply.status();
        }
        long long received = 0;
        bool continuing = false;
        for (;;) {
            bool cut = false;
            auto line = socket_.readLine(MaximumStatusLine, &cut);
            if (!line.ok()) {
                forgetAll();
                return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, line.error()));
            }
            if (!continuing && !cut && line.value() == ".")
                break;
            continuing = cut;
            received += static_cast<long long>(line.value().size()) + (cut ? 0 : 2);
            if (received > largest) {
                socket_.abort();
                forgetAll();
                return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2 バイトを超えても終わらなかったため、接続を切りました。")
                                                .arg(what)
                                                .arg(largest));
            }
        }
    }
    refused_ = false;
    return StoreStatus::success();
}

StoreResult<std::string> Pop3Session::retrieve(int number, long long maxBytes, const Spill& spill)
{
    refusedByBound_ = false;
    const QString what = QStringLiteral("メール %1 の受信").arg(number);
    // Each message may already be on hand, asked for ahead: a stop is still offered before each.
    if (socket_.offerStop())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバー %2 との通信を中止しました。").arg(what, serverName_));
    if (StoreStatus skipped = skipRetrievalsBefore(number); !skipped.ok())
        return skipped;
    const auto listed = messageSize(number);
    if (!listed.ok())
        return listed.status();
    const long long largest = largestAcceptedSize(listed.value());
    const auto cutOff = [&](const QString& why) {
        return QStringLiteral("メール %1（サーバーの示したサイズ %2 バイト）は、%3ため、受信を打ち切りました。"
                              "このメールはサーバーに残してあります。")
            .arg(number)
            .arg(listed.value())
            .arg(why);
    };
    const auto refuse = [&](const QString& why) { return dropForBound(cutOff(why)); };
    // A spill that cannot take the message (the disk is short of room now) gives up without
    // refusing the message for good: the next receive tries again, once there is room.
    const auto giveUp = [&](const QString& why) {
        socket_.abort();
        return StoreStatus::failure(cutOff(why));
    };
    std::string requests;
    if (pendingRetrievals_.empty()) {
        requests = "RETR " + std::to_string(number) + "\r\n";
        pendingRetrievals_.push_back({number, listed.value()});
        pendingBytes_ += listed.value();
    }
    // The next messages are asked for before this one is read, so that they are on their way
    // while it is read and stored.
    requests += nextRetrievals();
    refused_ = false;
    if (!requests.empty()) {
        // A failed write drops the connection, and with it every RETR on its way.
        if (const StoreStatus sent = socket_.write(requests); !sent.ok())
            return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, sent.error()));
    }
    pendingBytes_ -= pendingRetrievals_.front().listedSize;
    pendingRetrievals_.pop_front();
    socket_.startReply(largest);
    auto reply = readStatusLine(what);
    if (!reply.ok())
        return reply.status();
    std::string message;
    bool spilling = false;
    bool tooLarge = false;
    // Most servers give the size in the reply ("+OK 1234 octets"): a message that will not fit
    // goes to spill from its first byte, and one that will is read into one allocation.
    if (const std::optional<long long> announced = numberAfterOk(reply.value())) {
        const long long expected = std::min(*announced, largest);
        if (expected > maxBytes && spill) {
            const StoreStatus started = spill(std::string_view());
            if (!started.ok())
                return giveUp(started.error());
            spilling = true;
        } else {
            const long long held = std::min(expected, maxBytes);
            message.reserve(static_cast<std::size_t>(std::min(held + held / 32 + 64, maxBytes)));
        }
    }
    // With a spill a line of any length arrives, in pieces; without one it must fit the cap.
    const auto lineLimit = spill ? static_cast<std::size_t>(std::clamp<long long>(maxBytes, MaximumStatusLine, 1 << 20))
                                 : static_cast<std::size_t>(std::max<long long>(maxBytes, MaximumStatusLine));
    long long received = 0;
    bool continuing = false; // the piece read before was cut from a longer line: this is more of it
    for (;;) {
        bool cut = false;
        auto line = socket_.readLine(lineLimit, spill ? &cut : nullptr);
        if (!line.ok()) {
            if (socket_.replyTooSlow())
                return refuse(QStringLiteral("届くのが遅すぎた（毎秒 %1 バイト未満）").arg(socket_.minimumBytesPerSecond()));
            return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, line.error()));
        }
        std::string_view text = line.value();
        const bool lineStart = !continuing;
        continuing = cut;
        if (lineStart && !cut && text == ".")
            break;
        received += static_cast<long long>(text.size()) + (cut ? 0 : 2);
        if (received > largest)
            return refuse(QStringLiteral("%1 バイトを超えても終わらなかった").arg(largest));
        if (tooLarge)
            continue;
        if (lineStart && text.starts_with('.'))
            text.remove_prefix(1);
        const std::string_view lineEnd = cut ? std::string_view() : std::string_view("\r\n");
        if (!spilling && static_cast<long long>(message.size() + text.size() + lineEnd.size()) > maxBytes) {
            tooLarge = !spill;
            if (spill) {
                const StoreStatus started = spill(message);
                if (!started.ok())
                    return giveUp(started.error());
                spilling = true;
            }
            message.clear();
            message.shrink_to_fit();
            if (tooLarge)
                continue;
        }
        if (spilling) {
            const auto skipped = static_cast<std::size_t>(text.data() - line.value().data());
            line.value() += lineEnd;
            text = std::string_view(line.value()).substr(skipped);
            if (const StoreStatus taken = spill(text); !taken.ok())
                return giveUp(taken.error());
            continue;
        }
        message.append(text);
        message.append(lineEnd);
    }
    if (tooLarge)
        return StoreStatus::failure(
            QStringLiteral("%1に失敗しました。メールが大きすぎます（%2 バイトまで受信できます）。").arg(what).arg(maxBytes));
    return message;
}

StoreStatus Pop3Session::markDeleted(int number)
{
    return command("DELE " + std::to_string(number), QStringLiteral("メール %1 の削除").arg(number)).status();
}

StoreResult<std::vector<QString>> Pop3Session::markDeleted(const std::vector<int>& numbers)
{
    std::vector<QString> refusals;
    refusals.reserve(numbers.size());
    // One at a time, a refusal must not keep the DELEs after it from going.
    const std::size_t perWrite = offersPipelining_ ? CommandsPerWrite : 1;
    for (std::size_t first = 0; first < numbers.size(); first += perWrite) {
        std::vector<Command> deletions;
        for (std::size_t index = first; index < std::min(numbers.size(), first + perWrite); ++index)
            deletions.push_back({"DELE " + std::to_string(numbers[index]), QStringLiteral("メール %1 の削除").arg(numbers[index])});
        for (const StoreResult<std::string>& reply : exchange(deletions)) {
            if (!socket_.isOpen())
                return reply.status().ok() ? StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーとの接続が切れています。").arg(deletions.front().what))
                                           : reply.status();
            refusals.push_back(reply.ok() ? QString() : reply.error());
        }
    }
    refused_ = false;
    return refusals;
}

StoreStatus Pop3Session::quit()
{
    const QString what = QStringLiteral("POP3 セッションの終了（削除の確定）");
    if (StoreStatus skipped = skipRetrievalsBefore(std::nullopt); !skipped.ok())
        return skipped;
    if (!socket_.isOpen())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーとの接続が切れています。").arg(what));
    // The server may apply the deletions as soon as it reads QUIT: a stop is taken before it goes
    // out (the write asks the hook), never while its reply is awaited.
    const StoreStatus sent = socket_.write("QUIT\r\n");
    if (!sent.ok())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, sent.error()));
    socket_.finishEveryWait();
    auto reply = readStatusLine(what);
    socket_.abort();
    return reply.status();
}

void Pop3Session::abort() { socket_.abort(); }
