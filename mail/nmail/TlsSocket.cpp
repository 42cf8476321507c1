#include "TlsSocket.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <QDateTime>
#include <QFileInfo>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>

namespace {

QString seconds(const TlsSocket::Settings& settings)
{
    return QString::number(settings.timeoutMilliseconds / 1000.0, 'g', 3);
}

QString fromLocal(const char* text) { return QString::fromLocal8Bit(text); }

QString lastTlsError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QStringLiteral("unknown");
    char text[256] = {};
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

// The client context for a CA file: built once and shared by every connection, since loading the
// system's trust store costs more than the rest of a short receive. A context holds only what every
// connection verifies against; the host name is set on each connection. A CA file that changes on
// disk (another path, time or size) gets a new context. The context returned carries a reference
// of the caller's own.
SSL_CTX* sharedContext(const QString& extraCaFile, QString& error)
{
    struct Cached {
        QString caFile;
        QDateTime modified;
        qint64 size = -1;
        SSL_CTX* context = nullptr;
    };
    static std::mutex guard;
    static Cached cached;
    const QFileInfo caInfo(extraCaFile);
    const QDateTime modified = extraCaFile.isEmpty() ? QDateTime() : caInfo.lastModified();
    const qint64 size = extraCaFile.isEmpty() ? -1 : caInfo.size();

    const std::lock_guard lock(guard);
    if (!cached.context || cached.caFile != extraCaFile || cached.modified != modified || cached.size != size) {
        SSL_CTX* context = SSL_CTX_new(TLS_client_method());
        if (!context) {
            error = QStringLiteral("TLS を準備できません（%1）。").arg(lastTlsError());
            return nullptr;
        }
        SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_default_verify_paths(context);
        if (!extraCaFile.isEmpty() && SSL_CTX_load_verify_locations(context, extraCaFile.toLocal8Bit().constData(), nullptr) != 1) {
            error = QStringLiteral("CA 証明書ファイル「%1」を読めません（%2）。").arg(extraCaFile, lastTlsError());
            SSL_CTX_free(context);
            return nullptr;
        }
        if (cached.context)
            SSL_CTX_free(cached.context);
        cached = {extraCaFile, modified, size, context};
    }
    SSL_CTX_up_ref(cached.context);
    return cached.context;
}

bool isIpAddress(const QByteArray& host)
{
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.constData(), buffer) == 1 || inet_pton(AF_INET6, host.constData(), buffer) == 1;
}

} // namespace

class TlsSocket::Impl {
public:
    ~Impl() { close(); }

    void close()
    {
        if (ssl) {
            SSL_free(ssl);
            ssl = nullptr;
        }
        if (context) {
            SSL_CTX_free(context);
            context = nullptr;
        }
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        buffer.clear();
        bufferStart = 0;
    }

    void startCommand()
    {
        commandStart = std::chrono::steady_clock::now();
        commandBytes = 0;
        expectedReplyBytes = 0;
        replyWaitMilliseconds = -1;
    }

    // The longest silence the reply now awaited may keep.
    long long silenceMilliseconds() const { return replyWaitMilliseconds >= 0 ? replyWaitMilliseconds : settings.timeoutMilliseconds; }

    // What is left of the time the reply to the current command may take. It is fixed when the
    // command goes out, from the size the reply may have: bytes that arrive do not extend it, or a
    // server sending without end would hold the caller for ever.
    long long commandMillisecondsLeft() const
    {
        const long long elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - commandStart).count();
        const long long rate = std::max(1, settings.minimumBytesPerSecond);
        const long long expected = std::min(expectedReplyBytes, LargestExpectedReply);
        const long long allowed = expected / rate * 1000 + expected % rate * 1000 / rate;
        return silenceMilliseconds() + allowed - elapsed;
    }

    // Waits until the socket is ready for events, at most the time-out (or the given time) from
    // now, in slices between which the wait hook runs. False when the time is up or the hook asked
    // to stop (stopped is then set).
    bool waitFor(short events, long long milliseconds = -1)
    {
        pollfd entry{fd, events, 0};
        const long long wait = milliseconds < 0 ? settings.timeoutMilliseconds : std::min<long long>(milliseconds, silenceMilliseconds());
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
        for (;;) {
            if (std::chrono::steady_clock::now() - lastHookCall >= HookInterval) {
                const auto spent = askToStop();
                if (stopped)
                    return false;
                deadline += spent;
            }
            const auto now = std::chrono::steady_clock::now();
            // Rounded up: a wait never ends before its deadline, which the caller's own reckoning of time may share.
            const long long left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            long long slice = std::max(0LL, left);
            if (settings.waitHook)
                slice = std::min<long long>(slice, HookInterval.count());
            const int ready = ::poll(&entry, 1, static_cast<int>(slice));
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                return false;
            if (left <= 0)
                return false;
        }
    }

    // Runs the wait hook; stopped is set when it asks to stop and the connection may be dropped
    // now. The time the hook took (a question to the user) is not the server's: it is added to the
    // time the current reply may take, and returned so that a wait can add it to its own.
    std::chrono::steady_clock::duration askToStop()
    {
        if (!settings.waitHook)
            return {};
        const auto start = std::chrono::steady_clock::now();
        stopped = settings.waitHook() && stoppable;
        lastHookCall = std::chrono::steady_clock::now();
        const auto spent = lastHookCall - start;
        commandStart += spent;
        return spent;
    }

    static constexpr std::chrono::milliseconds HookInterval{20};

    int fd = -1;
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    Settings settings;
    QByteArray host;
    std::string buffer;
    std::size_t bufferStart = 0;
    std::chrono::steady_clock::time_point commandStart = std::chrono::steady_clock::now();
    std::size_t commandBytes = 0;
    long long expectedReplyBytes = 0;
    long long replyWaitMilliseconds = -1;
    bool replyTooSlow = false;
    bool timedOut = false;
    // Far beyond any message, and small enough that the time it allows cannot overflow.
    static constexpr long long LargestExpectedReply = 1LL << 50;
    std::chrono::steady_clock::time_point lastHookCall = std::chrono::steady_clock::now();
    bool stopped = false;
    bool stoppable = true;
};

TlsSocket::TlsSocket() : impl_(std::make_unique<Impl>()) {}

TlsSocket::~TlsSocket() = default;

bool TlsSocket::isEncrypted() const { return impl_->ssl != nullptr; }

bool TlsSocket::isOpen() const { return impl_->fd >= 0; }

void TlsSocket::expectReply(long long bytes) { impl_->expectedReplyBytes = std::max(0LL, bytes); }

bool TlsSocket::offerStop()
{
    Impl& d = *impl_;
    if (d.fd < 0)
        return d.stopped;
    d.askToStop();
    if (d.stopped)
        d.close();
    return d.stopped;
}

void TlsSocket::startReply(long long bytes)
{
    Impl& d = *impl_;
    // Replies already on hand are read without a wait, where the hook would run: a long run of
    // them still keeps the caller's window alive and hears a stop, before each reply.
    if (d.fd >= 0 && std::chrono::steady_clock::now() - d.lastHookCall >= Impl::HookInterval) {
        d.askToStop();
        if (d.stopped)
            d.close();
    }
    d.startCommand();
    expectReply(bytes);
}

void TlsSocket::startLongReply(int milliseconds)
{
    startReply(0);
    impl_->replyWaitMilliseconds = std::max(0, milliseconds);
}

bool TlsSocket::replyTooSlow() const { return impl_->replyTooSlow; }

bool TlsSocket::timedOut() const { return impl_->timedOut; }

bool TlsSocket::isIdle() const
{
    const Impl& d = *impl_;
    if (d.fd < 0 || d.bufferStart < d.buffer.size() || (d.ssl && SSL_pending(d.ssl) > 0))
        return false;
    pollfd entry{d.fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 0;
}

int TlsSocket::minimumBytesPerSecond() const { return impl_->settings.minimumBytesPerSecond; }

void TlsSocket::abort() { impl_->close(); }

bool TlsSocket::stoppedByUser() const { return impl_->stopped; }

void TlsSocket::finishEveryWait() { impl_->stoppable = false; }

namespace {

QString stoppedText(const QString& serverName)
{
    return QStringLiteral("サーバー %1 との通信を中止しました。").arg(serverName);
}

} // namespace

StoreStatus TlsSocket::connect(const QString& host, int port, const Settings& settings)
{
    // A server that drops the connection must fail the call, not end the program: TLS writes go
    // through write(2), which raises SIGPIPE on a closed connection.
    static const bool brokenPipesIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)brokenPipesIgnored;
    impl_->close();
    impl_->settings = settings;
    impl_->stopped = false;
    impl_->stoppable = true;
    impl_->startCommand();
    impl_->host = host.toUtf8();
    serverName_ = (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(port);
    if (getaddrinfo(impl_->host.constData(), service.constData(), &hints, &found) != 0 || !found)
        return StoreStatus::failure(QStringLiteral("サーバー「%1」が見つかりません。サーバー名を確認してください。").arg(host));

    QString lastError;
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
        const int fd = ::socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, entry->ai_protocol);
        if (fd < 0) {
            lastError = fromLocal(std::strerror(errno));
            continue;
        }
        impl_->fd = fd;
        // Every write is a whole group of commands: its last piece goes out at once instead of
        // waiting for the server to acknowledge the piece before (Nagle's algorithm), which costs
        // a round trip's worth of time on a distant server.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (::connect(fd, entry->ai_addr, entry->ai_addrlen) == 0) {
            freeaddrinfo(found);
            return StoreStatus::success();
        }
        if (errno == EINPROGRESS) {
            if (!impl_->waitFor(POLLOUT)) {
                impl_->close();
                if (impl_->stopped) {
                    freeaddrinfo(found);
                    return StoreStatus::failure(stoppedText(serverName_));
                }
                lastError = QStringLiteral("%1 秒待っても応答がありません").arg(seconds(settings));
                continue;
            }
            int error = 0;
            socklen_t length = sizeof error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error == 0) {
                freeaddrinfo(found);
                return StoreStatus::success();
            }
            lastError = fromLocal(std::strerror(error));
        } else {
            lastError = fromLocal(std::strerror(errno));
        }
        impl_->close();
    }
    freeaddrinfo(found);
    return StoreStatus::failure(QStringLiteral("サーバー %1 に接続できません（%2）。").arg(serverName_, lastError));
}

StoreStatus TlsSocket::startTls()
{
    Impl& d = *impl_;
    const auto fail = [&](const QString& text) {
        d.close();
        return StoreStatus::failure(text);
    };
    QString contextError;
    d.context = sharedContext(d.settings.extraCaFile, contextError);
    if (!d.context)
        return fail(contextError);

    d.ssl = SSL_new(d.context);
    if (!d.ssl)
        return fail(QStringLiteral("TLS を準備できません（%1）。").arg(lastTlsError()));
    SSL_set_fd(d.ssl, d.fd);
    if (isIpAddress(d.host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(d.ssl), d.host.constData());
    } else {
        SSL_set_tlsext_host_name(d.ssl, d.host.constData());
        SSL_set1_host(d.ssl, d.host.constData());
    }

    // Bytes read ahead before the switch would be plain text after it: a server that sends them is
    // trying to inject commands into the encrypted session.
    if (d.bufferStart < d.buffer.size())
        return fail(QStringLiteral("サーバー %1 が TLS 開始前に余分なデータを送りました。").arg(serverName_));

    for (;;) {
        const int result = SSL_connect(d.ssl);
        if (result == 1)
            return StoreStatus::success();
        const int error = SSL_get_error(d.ssl, result);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (!d.waitFor(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT))
                return fail(d.stopped ? stoppedText(serverName_) : QStringLiteral("サーバー %1 との TLS 接続が時間切れになりました（%2 秒）。")
                                .arg(serverName_)
                                .arg(seconds(d.settings)));
            continue;
        }
        const long verification = SSL_get_verify_result(d.ssl);
        if (verification != X509_V_OK)
            return fail(QStringLiteral("サーバー %1 の TLS 証明書を信頼できません（%2）。")
                            .arg(serverName_, QString::fromLatin1(X509_verify_cert_error_string(verification))));
        return fail(QStringLiteral("サーバー %1 と TLS 接続できません（%2）。").arg(serverName_, lastTlsError()));
    }
}

StoreResult<std::string> TlsSocket::readLine(std::size_t maxLength, bool* cut)
{
    if (cut)
        *cut = false;
    Impl& d = *impl_;
    d.replyTooSlow = false;
    d.timedOut = false;
    if (d.fd < 0)
        return StoreStatus::failure(d.stopped ? stoppedText(serverName_) : QStringLiteral("サーバー %1 との接続が切れています。").arg(serverName_));
    std::size_t scanned = d.bufferStart;
    for (;;) {
        const std::size_t newline = d.buffer.find('\n', scanned);
        if (newline != std::string::npos) {
            std::size_t end = newline;
            if (end > d.bufferStart && d.buffer[end - 1] == '\r')
                --end;
            std::string line = d.buffer.substr(d.bufferStart, end - d.bufferStart);
            d.bufferStart = newline + 1;
            if (d.bufferStart == d.buffer.size()) {
                d.buffer.clear();
                d.bufferStart = 0;
            }
            return line;
        }
        scanned = d.buffer.size();
        if (cut && scanned - d.bufferStart > maxLength) {
            // A CR at the cut may be half of the line end: it stays for the next piece.
            std::size_t length = maxLength;
            if (d.buffer[d.bufferStart + length - 1] == '\r')
                --length;
            std::string piece = d.buffer.substr(d.bufferStart, length);
            d.bufferStart += length;
            *cut = true;
            return piece;
        }
        if (scanned - d.bufferStart > maxLength) {
            d.close();
            return StoreStatus::failure(QStringLiteral("サーバー %1 から長すぎる行が届きました。").arg(serverName_));
        }
        if (d.bufferStart > 0 && d.bufferStart * 2 > d.buffer.size()) {
            d.buffer.erase(0, d.bufferStart);
            scanned -= d.bufferStart;
            d.bufferStart = 0;
        }

        char chunk[16384];
        long received = 0;
        if (d.ssl) {
            // OpenSSL may hold decrypted bytes that poll cannot see: try the read before waiting.
            const int result = SSL_read(d.ssl, chunk, sizeof chunk);
            if (result > 0) {
                received = result;
            } else {
                const int error = SSL_get_error(d.ssl, result);
                if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
                    if (!d.waitFor(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, std::max(0LL, d.commandMillisecondsLeft())))
                        break;
                    continue;
                }
                d.close();
                return StoreStatus::failure(QStringLiteral("サーバー %1 との接続が切れました。").arg(serverName_));
            }
        } else {
            const ssize_t result = ::recv(d.fd, chunk, sizeof chunk, 0);
            if (result > 0) {
                received = result;
            } else if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                if (!d.waitFor(POLLIN, std::max(0LL, d.commandMillisecondsLeft())))
                    break;
                continue;
            } else {
                d.close();
                return StoreStatus::failure(QStringLiteral("サーバー %1 との接続が切れました。").arg(serverName_));
            }
        }
        d.buffer.append(chunk, static_cast<std::size_t>(received));
        d.commandBytes += static_cast<std::size_t>(received);
    }
    if (d.stopped) {
        d.close();
        return StoreStatus::failure(stoppedText(serverName_));
    }
    const QString waited = seconds(d.settings);
    // A reply that never began is a silent server; one that began and stalled is a slow one.
    const bool tooSlow = d.commandBytes > 0 && d.commandMillisecondsLeft() <= 0;
    d.close();
    d.replyTooSlow = tooSlow;
    d.timedOut = true;
    if (tooSlow)
        return StoreStatus::failure(QStringLiteral("サーバー %1 からの転送が遅すぎるため、打ち切りました（毎秒 %2 バイト未満）。")
                                        .arg(serverName_)
                                        .arg(d.settings.minimumBytesPerSecond));
    return StoreStatus::failure(
        QStringLiteral("サーバー %1 からの応答が時間切れになりました（%2 秒）。").arg(serverName_, waited));
}

StoreStatus TlsSocket::write(std::string_view bytes)
{
    Impl& d = *impl_;
    if (d.fd < 0)
        return StoreStatus::failure(QStringLiteral("サーバー %1 との接続が切れています。").arg(serverName_));
    d.askToStop();
    if (d.stopped) {
        d.close();
        return StoreStatus::failure(stoppedText(serverName_));
    }
    d.startCommand();
    d.timedOut = false;
    while (!bytes.empty()) {
        long sent = 0;
        if (d.ssl) {
            const int result = SSL_write(d.ssl, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)));
            if (result > 0) {
                sent = result;
            } else {
                const int error = SSL_get_error(d.ssl, result);
                const bool mustWait = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
                if (mustWait && d.waitFor(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT))
                    continue;
                d.timedOut = mustWait && !d.stopped;
                d.close();
                return StoreStatus::failure(d.stopped ? stoppedText(serverName_) : QStringLiteral("サーバー %1 への送信に失敗しました。").arg(serverName_));
            }
        } else {
            const ssize_t result = ::send(d.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (result >= 0) {
                sent = result;
            } else if (const bool mustWait = errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; mustWait && d.waitFor(POLLOUT)) {
                continue;
            } else {
                d.timedOut = mustWait && !d.stopped;
                d.close();
                return StoreStatus::failure(d.stopped ? stoppedText(serverName_) : QStringLiteral("サーバー %1 への送信に失敗しました。").arg(serverName_));
            }
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return StoreStatus::success();
}
