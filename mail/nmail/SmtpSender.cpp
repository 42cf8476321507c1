#include "SmtpSender.h"

#include <QByteArray>
#include <QSysInfo>

#include <algorithm>
#include <cctype>

namespace {

using Clock = std::chrono::steady_clock;

// A connection left idle this long is not used again but replaced: servers drop idle clients
// after a few minutes, and one that has may not have said so yet.
constexpr auto IdleReuseLimit = std::chrono::seconds(118);

QString seconds(int milliseconds) { return QString::number(milliseconds / 1000.0, 'g', 3); }

QString serverSaid(const std::string& reply)
{
    return QStringLiteral("サーバーの応答: %1").arg(QString::fromUtf8(reply).trimmed());
}

// The name EHLO gives: the machine's, where it is a plain host name.
std::string clientName()
{
    const std::string name = QSysInfo::machineHostName().toStdString();
    const bool plain = !name.empty() && name.size() < 256
        && std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; });
    return plain ? name : std::string("localhost");
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string base64(const QByteArray& bytes) { return bytes.toBase64().toStdString(); }

QString utf8RefusedText(const QString& server)
{
    return QStringLiteral("宛先または差出人のアドレスの「@」より前に日本語などの文字が含まれていますが、SMTP サーバー %1 は"
                          "そのようなアドレス（SMTPUTF8）に対応していないため、送信しませんでした。\r\n"
                          "「@」より前が半角英数字のアドレスを使ってください。")
        .arg(server);
}

QString interruptedText(const QString& server)
{
    return QStringLiteral("SMTP サーバー %1 との通信が途中で途切れたか、サーバーから想定外の応答がありました。メールは送信されていない可能性があります。")
        .arg(server);
}

} // namespace

SmtpSender::SmtpSender() = default;

SmtpSender::~SmtpSender()
{
    // The caller's hook may belong to what is being torn down with this object.
    waitHook_ = {};
    close();
}

std::string SmtpSender::dataTransfer(std::string_view message)
{
    std::string transfer;
    transfer.reserve(message.size() + message.size() / 64 + 8);
    bool lineStart = true;
    for (std::size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
                ++i;
            transfer += "\r\n";
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.')
            transfer += '.';
        transfer += c;
        lineStart = false;
    }
    if (!lineStart)
        transfer += "\r\n";
    transfer += ".\r\n";
    return transfer;
}

void SmtpSender::drop()
{
    socket_.abort();
    connection_.reset();
}

void SmtpSender::close()
{
    if (socket_.isOpen()) {
        Reply reply;
        (void)command("QUIT\r\n", reply);
    }
    drop();
}

std::optional<SmtpSender::Trouble> SmtpSender::write(std::string_view bytes)
{
    const StoreStatus written = socket_.write(bytes);
    if (written.ok())
        return std::nullopt;
    const bool timedOut = socket_.timedOut();
    drop();
    if (timedOut)
        return Trouble{Failure::NotConnected,
            QStringLiteral("SMTP サーバー %1 からの応答が時間切れになりました（%2 秒）。").arg(serverName_, seconds(timeoutMilliseconds_))};
    return Trouble{Failure::Other, interruptedText(serverName_)};
}

std::optional<SmtpSender::Trouble> SmtpSender::read(Reply& reply, bool messageWent)
{
    reply = {};
    std::size_t bytes = 0;
    for (;;) {
        bool cut = false;
        auto line = socket_.readLine(MaximumReplyBytes, &cut);
        if (!line.ok()) {
            const bool timedOut = socket_.timedOut();
            drop();
            const QString inHistory = QStringLiteral("このメールは相手に届いている可能性があります（送信履歴に残っています）。");
            if (messageWent && timedOut)
                return Trouble{Failure::Unconfirmed,
                    QStringLiteral("SMTP サーバー %1 はメールを最後まで受け取りましたが、%2 秒待っても受け取ったという応答がありませんでした。%3")
                        .arg(serverName_, seconds(endOfDataMilliseconds_), inHistory)};
            if (messageWent)
                return Trouble{Failure::Unconfirmed,
                    QStringLiteral("SMTP サーバー %1 はメールを最後まで受け取りましたが、受け取ったという応答の前に接続が切れました。%2")
                        .arg(serverName_, inHistory)};
            if (timedOut)
                return Trouble{Failure::NotConnected, QStringLiteral("SMTP ") + line.error()};
            return Trouble{Failure::Other, interruptedText(serverName_)};
        }
        const std::string& text = line.value();
        bytes += text.size() + 2;
        reply.lines.push_back(text);
        if (cut || reply.lines.size() > static_cast<std::size_t>(MaximumReplyLines) || bytes > MaximumReplyBytes) {
            drop();
            return Trouble{Failure::NotConnected,
                QStringLiteral("SMTP サーバー %1 の応答が長すぎるため、接続を切りました（%2 行、%3 バイトまで）。")
                    .arg(serverName_)
                    .arg(MaximumReplyLines)
                    .arg(MaximumReplyBytes)};
        }
        const bool coded = text.size() >= 3 && std::all_of(text.begin(), text.begin() + 3, [](unsigned char c) { return std::isdigit(c); })
            && (text.size() == 3 || text[3] == ' ' || text[3] == '-');
        if (!coded) {
            drop();
            return Trouble{messageWent ? Failure::Unconfirmed : Failure::Other, interruptedText(serverName_) + QStringLiteral("\r\n") + serverSaid(text)};
        }
        if (text.size() > 3 && text[3] == '-')
            continue;
        reply.code = std::stoi(text.substr(0, 3));
        reply.text = text;
        return std::nullopt;
    }
}

std::optional<SmtpSender::Trouble> SmtpSender::command(const std::string& line, Reply& reply)
{
    if (auto trouble = write(line))
        return trouble;
    return read(reply);
}

SmtpSender::Trouble SmtpSender::refused(const Reply& reply, bool resetTransaction)
{
    Trouble trouble{Failure::Other, QStringLiteral("SMTP サーバー %1 がメールを受け付けませんでした。\r\n%2").arg(serverName_, serverSaid(reply.text))};
    if (resetTransaction) {
        Reply reset;
        if (command("RSET\r\n", reset) || reset.code != 250)
            drop();
    }
    return trouble;
}

std::optional<SmtpSender::Trouble> SmtpSender::greet()
{
    offers_ = {};
    const std::string name = clientName();
    Reply reply;
    if (auto trouble = command("EHLO " + name + "\r\n", reply))
        return trouble;
    if (reply.code != 250) {
        // A server of the old kind knows only HELO, and offers nothing.
        if (auto trouble = command("HELO " + name + "\r\n", reply))
            return trouble;
        if (reply.code != 250) {
            drop();
            return Trouble{Failure::NotConnected,
                QStringLiteral("SMTP サーバー %1 が接続を受け付けませんでした。\r\n%2").arg(serverName_, serverSaid(reply.text))};
        }
        return std::nullopt;
    }
    for (std::size_t i = 1; i < reply.lines.size(); ++i) {
        const std::string& line = reply.lines[i];
        const std::string offer = upper(line.size() > 4 ? line.substr(4) : std::string());
        const std::string keyword = offer.substr(0, offer.find_first_of(" ="));
        offers_.startTls = offers_.startTls || keyword == "STARTTLS";
        offers_.utf8 = offers_.utf8 || keyword == "SMTPUTF8";
        offers_.size = offers_.size || keyword == "SIZE";
        offers_.pipelining = offers_.pipelining || keyword == "PIPELINING";
        offers_.chunking = offers_.chunking || keyword == "CHUNKING";
        if (keyword != "AUTH")
            continue;
        offers_.auth = true;
        std::string mechanisms = offer.substr(keyword.size());
        std::replace(mechanisms.begin(), mechanisms.end(), '=', ' ');
        mechanisms += ' ';
        offers_.authPlain = offers_.authPlain || mechanisms.find(" PLAIN ") != std::string::npos;
        offers_.authLogin = offers_.authLogin || mechanisms.find(" LOGIN ") != std::string::npos;
    }
    return std::nullopt;
}

std::optional<SmtpSender::Trouble> SmtpSender::authenticate(const Settings& settings)
{
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    Reply reply;
    // The credentials wait for the server's go-ahead rather than ride on the AUTH line: some
    // servers take no initial response.
    if (offers_.authPlain) {
        if (auto trouble = command("AUTH PLAIN\r\n", reply))
            return trouble;
        if (reply.code == 334) {
            if (auto trouble = command(base64(QByteArray(1, '\0') + user + '\0' + password) + "\r\n", reply))
                return trouble;
        }
    } else if (offers_.authLogin) {
        if (auto trouble = command("AUTH LOGIN\r\n", reply))
            return trouble;
        if (reply.code == 334) {
            if (auto trouble = command(base64(user) + "\r\n", reply))
                return trouble;
        }
        if (reply.code == 334) {
            if (auto trouble = command(base64(password) + "\r\n", reply))
                return trouble;
        }
    } else {
        drop();
        return Trouble{Failure::NotConnected,
            QStringLiteral("SMTP サーバー %1 で認証に失敗しました。サーバーが対応している認証方式（PLAIN、LOGIN）がありません。").arg(serverName_)};
    }
    if (reply.code == 235)
        return std::nullopt;
    drop();
    return Trouble{Failure::NotConnected,
        QStringLiteral("SMTP サーバー %1 で認証に失敗しました。ID とパスワードを確認してください。\r\n%2").arg(serverName_, serverSaid(reply.text))};
}

std::optional<SmtpSender::Trouble> SmtpSender::open(const ServerAddress& server, const Settings& settings, bool needsUtf8)
{
    const Connection wanted{server.host, server.port, server.tlsFromStart, settings.timeoutMilliseconds, settings.extraCaFile,
        settings.user, settings.password};
    if (connection_ && *connection_ == wanted && socket_.isIdle() && Clock::now() - lastUse_ < IdleReuseLimit) {
        if (needsUtf8 && !offers_.utf8)
            return Trouble{Failure::Other, utf8RefusedText(serverName_)};
        return std::nullopt;
    }
    close();

    TlsSocket::Settings socketSettings;
    socketSettings.timeoutMilliseconds = settings.timeoutMilliseconds;
    socketSettings.extraCaFile = settings.extraCaFile;
    socketSettings.waitHook = [this] {
        if (waitHook_)
            (void)waitHook_();
        return false;
    };
    // Until the login has gone through, every failure means no message can go to this server.
    const auto beforeAnyMessage = [this](Trouble trouble) {
        drop();
        if (trouble.failure != Failure::PasswordHeldBack)
            trouble.failure = Failure::NotConnected;
        return trouble;
    };
    const auto socketFailed = [&](const StoreStatus& status) { return beforeAnyMessage({Failure::NotConnected, QStringLiteral("SMTP ") + status.error()}); };

    if (const StoreStatus connected = socket_.connect(server.host, server.port, socketSettings); !connected.ok())
        return socketFailed(connected);
    if (server.tlsFromStart) {
        if (const StoreStatus encrypted = socket_.startTls(); !encrypted.ok())
            return socketFailed(encrypted);
    }
    Reply greeting;
    if (auto trouble = read(greeting))
        return beforeAnyMessage(*trouble);
    if (greeting.code != 220)
        return beforeAnyMessage(
            {Failure::NotConnected, QStringLiteral("SMTP サーバー %1 が接続を受け付けませんでした。\r\n%2").arg(serverName_, serverSaid(greeting.text))});
    if (auto trouble = greet())
        return beforeAnyMessage(*trouble);
    if (offers_.startTls && !socket_.isEncrypted()) {
        Reply reply;
        if (auto trouble = command("STARTTLS\r\n", reply))
            return beforeAnyMessage(*trouble);
        // A server that offers STARTTLS and then refuses it is what someone on the path stripping
        // TLS looks like: nothing more goes over this connection.
        if (reply.code != 220)
            return beforeAnyMessage({Failure::NotConnected,
                QStringLiteral("SMTP サーバー %1 は暗号化（STARTTLS）に対応していると知らせながら、その開始を断りました。"
                               "通信が途中で書き換えられているおそれがあるため、メールを送信しませんでした。%2")
                    .arg(serverName_, serverSaid(reply.text))});
        if (const StoreStatus encrypted = socket_.startTls(); !encrypted.ok())
            return socketFailed(encrypted);
        if (auto trouble = greet())
            return beforeAnyMessage(*trouble);
    }
    if (needsUtf8 && !offers_.utf8) {
        close();
        return Trouble{Failure::Other, utf8RefusedText(serverName_)};
    }
    if (!settings.user.isEmpty() && !socket_.isEncrypted() && !settings.allowPlainPassword) {
        close();
        return Trouble{Failure::PasswordHeldBack,
            QStringLiteral("SMTP サーバー %1 は暗号化（TLS）に対応していないため、パスワードを送りませんでした。").arg(serverName_)};
    }
    // A server that offers no AUTH takes mail without a login, as it would from anyone.
    if (!settings.user.isEmpty() && offers_.auth) {
        if (auto trouble = authenticate(settings))
            return beforeAnyMessage(*trouble);
    }
    connection_ = wanted;
    return std::nullopt;
}

std::optional<SmtpSender::Trouble> SmtpSender::deliver(std::string_view bytes)
{
    if (auto trouble = write(bytes))
        return trouble;
    socket_.startLongReply(endOfDataMilliseconds_);
    Reply reply;
    if (auto trouble = read(reply, true))
        return trouble;
    // The transaction is over either way: the connection serves the next message as it is.
    if (reply.code != 250)
        return refused(reply, false);
    return std::nullopt;
}

std::optional<SmtpSender::Trouble> SmtpSender::transfer(const OutgoingMessage& message)
{
    const std::string& bytes = message.bytes();
    std::string mailFrom = "MAIL FROM:<" + message.sender() + '>';
    if (offers_.size)
        mailFrom += " SIZE=" + std::to_string(bytes.size());
    if (message.needsUtf8())
        mailFrom += " SMTPUTF8";
    std::vector<std::string> envelope{mailFrom + "\r\n"};
    for (const std::string& recipient : message.recipients())
        envelope.push_back("RCPT TO:<" + recipient + ">\r\n");
    const std::string chunk = "BDAT " + std::to_string(bytes.size()) + " LAST\r\n" + bytes;

    if (!offers_.pipelining) {
        for (const std::string& line : envelope) {
            Reply reply;
            if (auto trouble = command(line, reply))
                return trouble;
            if (reply.code / 100 != 2)
                return refused(reply, true);
        }
        if (offers_.chunking)
            return deliver(chunk);
        Reply reply;
        if (auto trouble = command("DATA\r\n", reply))
            return trouble;
        if (reply.code != 354)
            return refused(reply, true);
        return deliver(dataTransfer(bytes));
    }

    // The message rides along only where a refused recipient refuses it whole: with one recipient.
    const bool messageAlong = offers_.chunking && envelope.size() == 2;
    std::string group;
    for (const std::string& line : envelope)
        group += line;
    if (messageAlong)
        group += chunk;
    else if (!offers_.chunking)
        group += "DATA\r\n";
    if (auto trouble = write(group))
        return trouble;
    std::optional<Reply> firstRefusal;
    // Each reply's deadline runs from when it is awaited: the write before the first may have
    // taken long on a slow link. A server may hold its replies to MAIL and RCPT until it has dealt
    // with the message that came with them, so then each may take as long as the answer to it.
    for (std::size_t i = 0; i < envelope.size(); ++i) {
        if (messageAlong)
            socket_.startLongReply(endOfDataMilliseconds_);
        else
            socket_.startReply(0);
        Reply reply;
        if (auto trouble = read(reply, messageAlong))
            return trouble;
        if (reply.code / 100 != 2 && !firstRefusal)
            firstRefusal = reply;
    }
    if (messageAlong) {
        socket_.startLongReply(endOfDataMilliseconds_);
        Reply reply;
        if (auto trouble = read(reply, true))
            return trouble;
        if (firstRefusal)
            return refused(*firstRefusal, true);
        return reply.code == 250 ? std::nullopt : std::optional(refused(reply, false));
    }
    if (offers_.chunking) {
        if (firstRefusal)
            return refused(*firstRefusal, true);
        return deliver(chunk);
    }
    socket_.startReply(0);
    Reply data;
    if (auto trouble = read(data))
        return trouble;
    if (firstRefusal && data.code == 354) {
        // The server waits for a message that must not go to the recipients it took: only hanging
        // up ends the transaction without a delivery.
        drop();
        return refused(*firstRefusal, false);
    }
    if (firstRefusal)
        return refused(*firstRefusal, true);
    if (data.code != 354)
        return refused(data, true);
    return deliver(dataTransfer(bytes));
}

StoreStatus SmtpSender::send(const ServerAddress& server, const OutgoingMessage& message, const Settings& settings, Failure* failure)
{
    if (failure)
        *failure = Failure::Other;
    waitHook_ = settings.waitHook;
    serverName_ = server.display();
    timeoutMilliseconds_ = settings.timeoutMilliseconds;
    endOfDataMilliseconds_ = settings.endOfDataMilliseconds;
    std::optional<Trouble> trouble = open(server, settings, message.needsUtf8());
    if (!trouble)
        trouble = transfer(message);
    lastUse_ = Clock::now();
    if (!trouble)
        return StoreStatus::success();
    if (failure)
        *failure = trouble->failure;
    return StoreStatus::failure(trouble->text);
}
