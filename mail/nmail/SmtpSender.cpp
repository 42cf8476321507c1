#include "SmtpSender.h"

#include "MailLibraries.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <cstring>
#include <memory>

namespace {

struct Upload {
    const std::string* bytes = nullptr;
    std::size_t sent = 0;
};

std::size_t readMessage(char* buffer, std::size_t size, std::size_t count, void* data)
{
    auto* upload = static_cast<Upload*>(data);
    const std::size_t left = upload->bytes->size() - upload->sent;
    const std::size_t chunk = std::min(left, size * count);
    std::memcpy(buffer, upload->bytes->data() + upload->sent, chunk);
    upload->sent += chunk;
    return chunk;
}

// What the server said: its last refusal (a 4xx or 5xx line), which says why, its last line of all
// for when it gave none, and whether its last
// EHLO reply offered SMTPUTF8. A message that needs SMTPUTF8 is stopped right after that reply,
// before MAIL FROM, when the server does not offer it.
struct ServerReplies {
    std::string last;
    std::string refusal;
    bool messageNeedsUtf8 = false;
    bool awaitingEhlo = false;
    int ehloReplies = 0;
    bool offersStartTls = false;
    bool offersUtf8 = false;
    bool refusedForUtf8 = false;
    bool tlsFromStart = false;

    // False stops the transfer.
    bool take(std::string line)
    {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (line.empty())
            return true;
        last = line;
        if (line.front() == '4' || line.front() == '5')
            refusal = line;
        // The greeting and the go-ahead for STARTTLS are both followed by an EHLO.
        if (line.starts_with("220")) {
            awaitingEhlo = true;
            offersStartTls = false;
            offersUtf8 = false;
            return true;
        }
        if (!awaitingEhlo || !line.starts_with("250"))
            return true;
        const std::string keyword = line.size() > 4 ? line.substr(4, line.find(' ', 4) - 4) : std::string();
        offersStartTls = offersStartTls || keyword == "STARTTLS";
        offersUtf8 = offersUtf8 || keyword == "SMTPUTF8";
        if (line.size() > 3 && line[3] == '-')
            return true;
        awaitingEhlo = false;
        ++ehloReplies;
        // After an EHLO that offers STARTTLS on a plain connection, the EHLO over TLS is the one that counts.
        const bool finalEhlo = tlsFromStart || !offersStartTls || ehloReplies > 1;
        if (finalEhlo && messageNeedsUtf8 && !offersUtf8) {
            refusedForUtf8 = true;
            return false;
        }
        return true;
    }
};

std::size_t keepReply(char* buffer, std::size_t size, std::size_t count, void* data)
{
    const std::size_t length = size * count;
    return static_cast<ServerReplies*>(data)->take(std::string(buffer, length)) ? length : 0;
}

// Trusts what OpenSSL's defaults name (the system's store, or SSL_CERT_FILE and SSL_CERT_DIR when
// set), as the POP3 connection does, and the extra CA file on top; libcurl by itself would read
// only the bundle it was built with.
CURLcode trustCertificates(CURL*, void* context, void* caFile)
{
    auto* ssl = static_cast<SSL_CTX*>(context);
    SSL_CTX_set_default_verify_paths(ssl);
    const auto* path = static_cast<const QByteArray*>(caFile);
    if (!path->isEmpty() && SSL_CTX_load_verify_locations(ssl, path->constData(), nullptr) != 1)
        return CURLE_SSL_CACERT_BADFILE;
    return CURLE_OK;
}

struct ListRelease {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// A Japanese sentence for every failure, with the server's own last reply where it gave one;
// libcurl's English words never reach the user.
QString describe(CURLcode code, const QString& server, const std::string& reply, int timeoutMilliseconds)
{
    const QString serverReply = reply.empty() ? QString() : QStringLiteral("\r\nサーバーの応答: %1").arg(QString::fromUtf8(reply).trimmed());
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("SMTP サーバー「%1」が見つかりません。サーバー名を確認してください。").arg(server);
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("SMTP サーバー %1 に接続できません。サーバー名とポート番号を確認してください。").arg(server);
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("SMTP サーバー %1 からの応答が時間切れになりました（%2 秒）。")
            .arg(server, QString::number(timeoutMilliseconds / 1000.0, 'g', 3));
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("SMTP サーバー %1 の TLS 証明書を信頼できません。").arg(server);
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("SMTP サーバー %1 と TLS で接続できません。%2").arg(server, serverReply);
    case CURLE_LOGIN_DENIED:
        return QStringLiteral("SMTP サーバー %1 で認証に失敗しました。ID とパスワードを確認してください。%2").arg(server, serverReply);
    default:
        if (!reply.empty() && (reply.front() == '4' || reply.front() == '5'))
            return QStringLiteral("SMTP サーバー %1 がメールを受け付けませんでした。%2").arg(server, serverReply);
        return QStringLiteral("SMTP サーバー %1 との通信が途中で途切れたか、サーバーから想定外の応答がありました。メールは送信されていない可能性があります。%2")
            .arg(server, serverReply);
    }
}

QString utf8RefusedText(const QString& server)
{
    return QStringLiteral("宛先または差出人のアドレスの「@」より前に日本語などの文字が含まれていますが、SMTP サーバー %1 は"
                          "そのようなアドレス（SMTPUTF8）に対応していないため、送信しませんでした。\r\n"
                          "「@」より前が半角英数字のアドレスを使ってください。")
        .arg(server);
}

bool failedBeforeAnyMessage(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_LOGIN_DENIED:
        return true;
    default:
        return false;
    }
}

} // namespace

StoreStatus SmtpSender::send(const ServerAddress& server, const OutgoingMessage& message, const Settings& settings,
    Failure* failure)
{
    if (failure)
        *failure = Failure::Other;
    MailLibraries::ensureInitialized();
    // One handle for the whole program, reset for every message: it keeps the open connection, its
    // login and the parsed certificate store, so a bulk send logs in once instead of per recipient.
    static CURL* const handle = curl_easy_init();
    if (!handle)
        return StoreStatus::failure(QStringLiteral("送信の準備ができません。"));
    curl_easy_reset(handle);

    const QString host = server.host.contains(u':') ? u'[' + server.host + u']' : server.host;
    const QByteArray url = (server.tlsFromStart ? QStringLiteral("smtps://%1:%2") : QStringLiteral("smtp://%1:%2"))
                               .arg(host)
                               .arg(server.port)
                               .toUtf8();
    std::unique_ptr<curl_slist, ListRelease> recipients;
    for (const std::string& recipient : message.recipients())
        recipients.reset(curl_slist_append(recipients.release(), ('<' + recipient + '>').c_str()));
    const std::string sender = '<' + message.sender() + '>';
    const QByteArray caFile = settings.extraCaFile.toLocal8Bit();
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    Upload upload{&message.bytes(), 0};
    ServerReplies replies;
    replies.messageNeedsUtf8 = message.needsUtf8();
    replies.tlsFromStart = server.tlsFromStart;
    const long seconds = std::max(1L, static_cast<long>((settings.timeoutMilliseconds + 999) / 1000));

    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    // With an account to send, TLS is required unless the user agreed to a plain connection: a server
    // without STARTTLS then fails before AUTH, and the password never leaves.
    const bool requireTls = server.tlsFromStart || (!user.isEmpty() && !settings.allowPlainPassword);
    curl_easy_setopt(handle, CURLOPT_USE_SSL, requireTls ? CURLUSESSL_ALL : CURLUSESSL_TRY);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, trustCertificates);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &caFile);
    if (!user.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, sender.c_str());
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(handle, CURLOPT_READDATA, &upload);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.bytes().size()));
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, keepReply);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &replies);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.timeoutMilliseconds));
    curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    // A transfer that stalls for the time-out fails; a large one that keeps moving may take longer.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, seconds);

    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_USE_SSL_FAILED && !server.tlsFromStart) {
        if (failure)
            *failure = Failure::PasswordHeldBack;
        return StoreStatus::failure(
            QStringLiteral("SMTP サーバー %1 は暗号化（TLS）に対応していないため、パスワードを送りませんでした。").arg(server.display()));
    }
    if (replies.refusedForUtf8)
        return StoreStatus::failure(utf8RefusedText(server.display()));
    if (result != CURLE_OK && failure && failedBeforeAnyMessage(result))
        *failure = Failure::NotConnected;
    if (result != CURLE_OK)
        return StoreStatus::failure(describe(result, server.display(), replies.refusal.empty() ? replies.last : replies.refusal, settings.timeoutMilliseconds));
    return StoreStatus::success();
}
