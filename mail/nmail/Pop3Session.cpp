#include "Pop3Session.h"

#include <QCryptographicHash>

#include <algorithm>

namespace {

constexpr std::size_t MaximumStatusLine = 4096;

QString serverText(const std::string& line) { return QString::fromUtf8(line).trimmed(); }

bool holdsLineBreak(const QString& text) { return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0)); }

} // namespace

StoreResult<std::string> Pop3Session::readStatusLine(const QString& what)
{
    auto line = socket_.readLine(MaximumStatusLine);
    if (!line.ok())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, line.error()));
    if (line.value().starts_with("+OK"))
        return line;
    if (line.value().starts_with("-ERR"))
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーの応答: %2").arg(what, serverText(line.value())));
    socket_.abort();
    return StoreStatus::failure(
        QStringLiteral("%1に失敗しました。サーバーの応答が POP3 ではありません: %2").arg(what, serverText(line.value()).left(200)));
}

StoreResult<std::string> Pop3Session::command(const std::string& line, const QString& what)
{
    if (!socket_.isOpen())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーとの接続が切れています。").arg(what));
    const StoreStatus sent = socket_.write(line + "\r\n");
    if (!sent.ok())
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, sent.error()));
    return readStatusLine(what);
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
        auto capabilities = command("CAPA", what);
        if (capabilities.ok()) {
            for (;;) {
                auto line = socket_.readLine(MaximumStatusLine);
                if (!line.ok())
                    return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, line.error()));
                if (line.value() == ".")
                    break;
                if (line.value() == "STLS" || line.value().starts_with("STLS "))
                    offersStls_ = true;
            }
        } else if (!socket_.isOpen()) {
            return capabilities.status();
        }
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
    return StoreStatus::success();
}

StoreResult<int> Pop3Session::login(const QString& user, const QString& password, bool apop, bool allowPlainPassword)
{
    const QString what = QStringLiteral("ログイン");
    passwordHeldBack_ = false;
    // Anyone on the path can strip STLS from the capabilities: without TLS the password goes out
    // only with the user's consent.
    if (!apop && !socket_.isEncrypted() && !allowPlainPassword) {
        passwordHeldBack_ = true;
        return StoreStatus::failure(
            QStringLiteral("POP3 サーバー %1 は暗号化（TLS）に対応していないため、パスワードを送りませんでした。").arg(serverName_));
    }
    if (holdsLineBreak(user) || holdsLineBreak(password))
        return StoreStatus::failure(QStringLiteral("ユーザー ID またはパスワードに改行文字が含まれています。"));
    const std::string userBytes = user.toUtf8().toStdString();
    if (apop) {
        if (apopTimestamp_.empty())
            return StoreStatus::failure(QStringLiteral("このサーバーは APOP に対応していません。APOP を使わない設定にしてください。"));
        const QByteArray digest =
            QCryptographicHash::hash(QByteArray::fromStdString(apopTimestamp_) + password.toUtf8(), QCryptographicHash::Md5)
                .toHex();
        auto reply = command("APOP " + userBytes + ' ' + digest.toStdString(), QStringLiteral("APOP ログイン"));
        if (!reply.ok())
            return reply.status();
    } else {
        auto userReply = command("USER " + userBytes, what);
        if (!userReply.ok())
            return userReply.status();
        auto passReply = command("PASS " + password.toUtf8().toStdString(), what);
        if (!passReply.ok())
            return passReply.status();
    }

    auto status = command("STAT", QStringLiteral("メール件数の取得"));
    if (!status.ok())
        return status.status();
    int count = -1;
    if (std::sscanf(status.value().c_str(), "+OK %d", &count) != 1 || count < 0)
        return StoreStatus::failure(QStringLiteral("メール件数の取得に失敗しました。サーバーの応答: %1").arg(serverText(status.value())));
    return count;
}

StoreResult<long long> Pop3Session::messageSize(int number)
{
    const QString what = QStringLiteral("メール %1 のサイズの取得").arg(number);
    auto reply = command("LIST " + std::to_string(number), what);
    if (!reply.ok())
        return reply.status();
    int listed = 0;
    long long size = -1;
    if (std::sscanf(reply.value().c_str(), "+OK %d %lld", &listed, &size) != 2 || listed != number || size < 0)
        return StoreStatus::failure(QStringLiteral("%1に失敗しました。サーバーの応答: %2").arg(what, serverText(reply.value())));
    return size;
}

StoreResult<std::string> Pop3Session::retrieve(int number, long long maxBytes, const Spill& spill)
{
    const QString what = QStringLiteral("メール %1 の受信").arg(number);
    auto reply = command("RETR " + std::to_string(number), what);
    if (!reply.ok())
        return reply.status();
    std::string message;
    bool spilling = false;
    bool tooLarge = false;
    // Most servers give the size in the reply ("+OK 1234 octets"): a message that will not fit
    // goes to spill from its first byte, and one that will is read into one allocation.
    long long announced = -1;
    if (std::sscanf(reply.value().c_str(), "+OK %lld", &announced) == 1 && announced >= 0) {
        if (announced > maxBytes && spill)
            spilling = spill(std::string_view());
        else
            message.reserve(static_cast<std::size_t>(std::min(announced + announced / 32 + 64, maxBytes)));
    }
    // With a spill a line of any length arrives, in pieces; without one it must fit the cap.
    const auto lineLimit = spill ? static_cast<std::size_t>(std::clamp<long long>(maxBytes, MaximumStatusLine, 1 << 20))
                                 : static_cast<std::size_t>(std::max<long long>(maxBytes, MaximumStatusLine));
    bool continuing = false; // the piece read before was cut from a longer line: this is more of it
    for (;;) {
        bool cut = false;
        auto line = socket_.readLine(lineLimit, spill ? &cut : nullptr);
        if (!line.ok())
            return StoreStatus::failure(QStringLiteral("%1に失敗しました。%2").arg(what, line.error()));
        std::string_view text = line.value();
        const bool lineStart = !continuing;
        continuing = cut;
        if (lineStart && !cut && text == ".")
            break;
        if (tooLarge)
            continue;
        if (lineStart && text.starts_with('.'))
            text.remove_prefix(1);
        const std::string_view lineEnd = cut ? std::string_view() : std::string_view("\r\n");
        if (!spilling && static_cast<long long>(message.size() + text.size() + lineEnd.size()) > maxBytes) {
            spilling = static_cast<bool>(spill) && spill(message);
            tooLarge = !spilling;
            message.clear();
            message.shrink_to_fit();
            if (tooLarge)
                continue;
        }
        if (spilling) {
            const auto skipped = static_cast<std::size_t>(text.data() - line.value().data());
            line.value() += lineEnd;
            text = std::string_view(line.value()).substr(skipped);
            if (!spill(text)) {
                spilling = false;
                tooLarge = true;
            }
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

StoreStatus Pop3Session::quit()
{
    const QString what = QStringLiteral("POP3 セッションの終了（削除の確定）");
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
