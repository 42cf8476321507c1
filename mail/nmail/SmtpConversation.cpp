#include "SmtpConversation.h"

#include <algorithm>
#include <cctype>

namespace {

long long millisecondsBetween(SmtpConversation::Clock::time_point from, SmtpConversation::Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// "250 OK" and "250" end a reply; "250-SIZE" is a line of one that goes on.
bool endsReply(std::string_view line) { return line.size() <= 3 || line[3] != '-'; }

} // namespace

SmtpConversation::SmtpConversation(Limits limits, Clock::time_point now) : limits_(limits), since_(now) {}

QString SmtpConversation::seconds(int milliseconds) { return QString::number(milliseconds / 1000.0, 'g', 3); }

bool SmtpConversation::stop(Stop reason)
{
    if (stop_ == Stop::None)
        stop_ = reason;
    return false;
}

void SmtpConversation::commandSent(std::string_view line, Clock::time_point now)
{
    // Only the verb is kept: the line of AUTH carries the password.
    const std::size_t verbEnd = line.find_first_of(" \r\n");
    command_ = std::string(line.substr(0, verbEnd));
    std::transform(command_.begin(), command_.end(), command_.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    since_ = now;
    awaitingReply_ = true;
    replyLines_ = 0;
    replyBytes_ = 0;
    reply_.clear();
}

bool SmtpConversation::replyLine(std::string_view line, Clock::time_point now)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    ++replyLines_;
    replyBytes_ += line.size() + 2;
    if (replyLines_ > MaximumReplyLines || replyBytes_ > MaximumReplyBytes)
        return stop(Stop::ReplyTooLong);
    if (!endsReply(line))
        return true;
    reply_ = line;
    awaitingReply_ = false;
    since_ = now;
    replyLines_ = 0;
    replyBytes_ = 0;
    if (messageTaken_)
        messageAnswered_ = true;
    // A server that offers STARTTLS and then refuses it is what someone on the path stripping TLS
    // looks like: nothing more goes over this connection.
    if (command_ == "STARTTLS" && !line.starts_with("220"))
        return stop(Stop::StartTlsRefused);
    return true;
}

void SmtpConversation::messageTaken(Clock::time_point now)
{
    if (messageTaken_)
        return;
    messageTaken_ = true;
    awaitingReply_ = true;
    since_ = now;
    reply_.clear();
}

bool SmtpConversation::overdue(long long uploadedBytes, Clock::time_point now)
{
    if (uploadedBytes != uploadedBytes_) {
        uploadedBytes_ = uploadedBytes;
        if (!awaitingReply_)
            since_ = now;
    }
    const long long waited = millisecondsBetween(since_, now);
    if (messageTaken_ && !messageAnswered_)
        return waited > limits_.endOfDataMilliseconds && !stop(Stop::NoAnswerToMessage);
    if (awaitingReply_)
        return waited > limits_.replyMilliseconds && !stop(Stop::ReplyTooLate);
    // Between the server's "354" and the message's last byte only the upload can be late.
    const bool uploading = command_ == "DATA" && !messageTaken_;
    return uploading && waited > limits_.replyMilliseconds && !stop(Stop::UploadStalled);
}
