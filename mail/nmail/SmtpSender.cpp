#include "SmtpSender.h"

#include "MailLibraries.h"
#include "SmtpConversation.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include <sys/socket.h>

namespace {

struct Upload {
    const std::string* bytes = nullptr;
    std::size_t sent = 0;
    SmtpConversation* conversation = nullptr;
};

std::size_t readMessage(char* buffer, std::size_t size, std::size_t count, void* data)
{
    auto* upload = static_cast<Upload*>(data);
    const std::size_t left = upload->bytes->size() - upload->sent;
    const std::size_t chunk = std::min(left, size * count);
    std::memcpy(buffer, upload->bytes->data() + upload->sent, chunk);
    upload->sent += chunk;
    // libcurl, knowing the size, asks for no more once it has the last byte.
    if (upload->sent == upload->bytes->size())
        upload->conversation->messageTaken();
    return chunk;
}

// libcurl names the commands it sends only to its debug function.
int watchCommands(CURL*, curl_infotype type, char* text, std::size_t length, void* data)
{
    if (type == CURLINFO_HEADER_OUT)
        static_cast<SmtpConversation*>(data)->commandSent(std::string_view(text, length));
    return 0;
}

// Called at least once a second while libcurl waits, whatever it waits for.
int watchTime(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded)
{
    return static_cast<SmtpConversation*>(data)->overdue(static_cast<long long>(uploaded)) ? 1 : 0;
}

// What the server said: its last refusal (a 4xx or 5xx line), which says why, and whether its last
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

// The two that read the server's lines: the conversation for its bounds, the replies for what they offer and refuse.
struct ReplyWatchers {
    SmtpConversation* conversation;
    ServerReplies* replies;
};

// Every reply line of the server; a length other than the one given stops the transfer.
std::size_t watchReply(char* buffer, std::size_t size, std::size_t count, void* data)
{
    const std::size_t length = size * count;
    const auto& watchers = *static_cast<ReplyWatchers*>(data);
    const std::string_view line(buffer, length);
    return watchers.conversation->replyLine(line) && watchers.replies->take(std::string(line)) ? length : 0;
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

// curl_easy_perform, with the wait hook run between slices of the transfer's waits. The multi
// handle is kept for the program's life: it holds the open connection between messages.
CURLcode perform(CURL* handle, const NetworkWaitHook& waitHook)
{
    constexpr int SliceMilliseconds = 20;
    static CURLM* const multi = curl_multi_init();
    if (!multi || curl_multi_add_handle(multi, handle) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    int running = 1;
    CURLMcode state = CURLM_OK;
    while (state == CURLM_OK) {
        state = curl_multi_perform(multi, &running);
        if (state != CURLM_OK || running == 0)
            break;
        state = curl_multi_poll(multi, nullptr, 0, SliceMilliseconds, nullptr);
        if (waitHook)
            (void)waitHook();
    }
    CURLcode result = state == CURLM_OK ? CURLE_OK : CURLE_OUT_OF_MEMORY;
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == handle)
            result = message->data.result;
    }
    // libcurl keeps a connection whose conversation went wrong for the next message, even one
    // it gave up waiting on; shut, it is found dead and the next message goes over a new one.
    // (Asked while the handle is still in the multi handle, whose cache holds the connection.)
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (result != CURLE_OK && curl_easy_getinfo(handle, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK && socket != CURL_SOCKET_BAD)
        ::shutdown(socket, SHUT_RDWR);
    curl_multi_remove_handle(multi, handle);
    return result;
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

struct Stopped {
    SmtpSender::Failure failure;
    QString text;
};

// What the conversation itself tells of a failed send: a message that may have gone, or a bound
// the server broke.
std::optional<Stopped> whyStopped(const SmtpConversation& conversation, const QString& server, const SmtpSender::Settings& settings)
{
    using Failure = SmtpSender::Failure;
    const QString inHistory = QStringLiteral("このメールは相手に届いている可能性があります（送信履歴に残っています）。");
    if (conversation.unconfirmed()) {
        if (conversation.stopReason() == SmtpConversation::Stop::NoAnswerToMessage)
            return Stopped{Failure::Unconfirmed,
                QStringLiteral("SMTP サーバー %1 はメールを最後まで受け取りましたが、%2 秒待っても受け取ったという応答がありませんでした。%3")
                    .arg(server, SmtpConversation::seconds(settings.endOfDataMilliseconds), inHistory)};
        return Stopped{Failure::Unconfirmed,
            QStringLiteral("SMTP サーバー %1 はメールを最後まで受け取りましたが、受け取ったという応答の前に接続が切れました。%2").arg(server, inHistory)};
    }
    switch (conversation.stopReason()) {
    case SmtpConversation::Stop::StartTlsRefused:
        return Stopped{Failure::NotConnected,
            QStringLiteral("SMTP サーバー %1 は暗号化（STARTTLS）に対応していると知らせながら、その開始を断りました。"
                           "通信が途中で書き換えられているおそれがあるため、メールを送信しませんでした。サーバーの応答: %2")
                .arg(server, QString::fromUtf8(conversation.reply()).trimmed())};
    case SmtpConversation::Stop::ReplyTooLong:
        return Stopped{Failure::NotConnected,
            QStringLiteral("SMTP サーバー %1 の応答が長すぎるため、接続を切りました（%2 行、%3 バイトまで）。")
                .arg(server)
                .arg(SmtpConversation::MaximumReplyLines)
                .arg(SmtpConversation::MaximumReplyBytes)};
    case SmtpConversation::Stop::ReplyTooLate:
    case SmtpConversation::Stop::UploadStalled:
        return Stopped{Failure::NotConnected,
            QStringLiteral("SMTP サーバー %1 からの応答が時間切れになりました（%2 秒）。")
                .arg(server, SmtpConversation::seconds(settings.timeoutMilliseconds))};
    case SmtpConversation::Stop::NoAnswerToMessage:
    case SmtpConversation::Stop::None:
        break;
    }
    return std::nullopt;
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
    SmtpConversation conversation({settings.timeoutMilliseconds, settings.endOfDataMilliseconds});
    Upload upload{&message.bytes(), 0, &conversation};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    ServerReplies replies;
    replies.messageNeedsUtf8 = message.needsUtf8();
    replies.tlsFromStart = server.tlsFromStart;
    ReplyWatchers watchers{&conversation, &replies};
    // The conversation's own limits stop every wait; libcurl's one limit for all replies only
    // has to be longer than the longest of them.
    const long seconds = static_cast<long>(std::max(settings.timeoutMilliseconds, settings.endOfDataMilliseconds) / 1000 + 2);

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
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, watchReply);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &watchers);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, watchCommands);
    curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &conversation);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, watchTime);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &conversation);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.timeoutMilliseconds));
    curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);

    const CURLcode result = perform(handle, settings.waitHook);
    if (result == CURLE_OK)
        return StoreStatus::success();
    // libcurl has a bound of its own on the bytes of replies, which it reaches first with some builds.
    if (result == CURLE_RECV_ERROR && std::string_view(errorBuffer).starts_with("Too large response"))
        conversation.replyTooLong();
    if (replies.refusedForUtf8)
        return StoreStatus::failure(utf8RefusedText(server.display()));
    if (const auto stopped = whyStopped(conversation, server.display(), settings)) {
        if (failure)
            *failure = stopped->failure;
        return StoreStatus::failure(stopped->text);
    }
    if (result == CURLE_USE_SSL_FAILED && !server.tlsFromStart) {
        if (failure)
            *failure = Failure::PasswordHeldBack;
        return StoreStatus::failure(
            QStringLiteral("SMTP サーバー %1 は暗号化（TLS）に対応していないため、パスワードを送りませんでした。").arg(server.display()));
    }
    if (failure && failedBeforeAnyMessage(result))
        *failure = Failure::NotConnected;
    return StoreStatus::failure(
        describe(result, server.display(), replies.refusal.empty() ? conversation.reply() : replies.refusal, settings.timeoutMilliseconds));
}
