#pragma once

#include <QString>

#include <chrono>
#include <string>
#include <string_view>

// Follows one SMTP conversation that libcurl holds, through what its callbacks see: the commands
// that go out, the lines that come back, the upload of the message and the passing time. It
// knows which command a reply answers, so that only a reply to the message's own commands is
// shown, and it stops the conversation past a bound: a reply too long or too late, an upload that
// stalls, a STARTTLS the server offered and then refused.
class SmtpConversation {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        // A reply to any command, and every pause of the upload.
        int replyMilliseconds = 30000;
        // The reply to the message itself, after its final ".".
        int endOfDataMilliseconds = 600000;
    };
    static constexpr int MaximumReplyLines = 100;
    static constexpr std::size_t MaximumReplyBytes = 64 * 1024;

    // Why the conversation was stopped, if it was.
    enum class Stop { None, ReplyTooLong, ReplyTooLate, UploadStalled, NoAnswerToMessage, StartTlsRefused };

    explicit SmtpConversation(Limits limits, Clock::time_point now = Clock::now());

    void commandSent(std::string_view line, Clock::time_point now = Clock::now());
    // False: stop the conversation (stopReason says why).
    [[nodiscard]] bool replyLine(std::string_view line, Clock::time_point now = Clock::now());
    // The message has been handed over to the last byte: its answer is what comes next.
    void messageTaken(Clock::time_point now = Clock::now());
    // True: stop the conversation, since the server has kept it waiting too long.
    [[nodiscard]] bool overdue(long long uploadedBytes, Clock::time_point now = Clock::now());
    // The server's reply was found too long elsewhere.
    void replyTooLong() { stop(Stop::ReplyTooLong); }

    Stop stopReason() const { return stop_; }
    // The last line of the reply to the latest command, once one has come; empty while the
    // reply is awaited, so a stale reply to an earlier command is never shown as this one's.
    const std::string& reply() const { return reply_; }
    // The message went out whole and no answer to it came: it may have been delivered.
    bool unconfirmed() const { return messageTaken_ && !messageAnswered_; }
    // Seconds a limit allows, for messages.
    static QString seconds(int milliseconds);

private:
    bool stop(Stop reason);

    Limits limits_;
    Stop stop_ = Stop::None;
    std::string command_;
    // Since when the server owes a reply, or since its last reply.
    Clock::time_point since_;
    bool awaitingReply_ = true;
    int replyLines_ = 0;
    std::size_t replyBytes_ = 0;
    std::string reply_;
    bool messageTaken_ = false;
    bool messageAnswered_ = false;
    long long uploadedBytes_ = 0;
};
