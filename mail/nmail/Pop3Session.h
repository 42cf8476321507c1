#pragma once

#include "ServerAddress.h"
#include "StoreResult.h"
#include "TlsSocket.h"

#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One POP3 conversation on one connection, never replaced behind the caller's back: when the
// connection is lost, every later command fails, so deletions marked on the server (applied only
// at QUIT) can never be lost or applied by a hidden reconnect. A command the server refuses fails
// with the server's own reply and the session goes on. Every reply is bounded in size and in time
// (TlsSocket's deadline from the size it may have): past a bound the connection is dropped.
//
// A server that offers PIPELINING gets the RETRs of the next messages while the current one is
// read, and all DELEs in one write, so a distant server costs one round trip per session step
// rather than two per message. The replies are read in order, each with its deadline from the
// moment it is its turn; any other command first reads what is still on its way.
class Pop3Session {
public:
    // A capability list longer than this is no list but a server talking without end.
    static constexpr int MaximumCapabilityLines = 100;
    static constexpr std::size_t MaximumCapabilityBytes = 64 * 1024;
    // LIST names every waiting message once; a few more lines than STAT counted are forgiven.
    static constexpr int ListingLinesBeyondCount = 10;
    // The most a message may bring: its LIST size and a tenth more and 64 KiB, since servers count
    // line ends and dot-stuffing a little differently; a message that never ends stops there.
    static long long largestAcceptedSize(long long listedSize);
    // RETRs asked for ahead of their replies: what keeps a link of 30 ms busy at any rate the
    // caller takes messages, without holding much more than one large message on the way.
    static constexpr long long MaximumBytesInFlight = 4 * 1024 * 1024;
    static constexpr std::size_t MaximumRetrievalsInFlight = 128;
    // A plan of fewer than one message in this many asks for the sizes of its messages alone.
    static constexpr std::size_t SparsePlanShare = 8;
    // DELEs or LISTs in one write: about 10 KB of commands and 30 KB of replies, which the socket
    // buffers hold while the replies wait to be read after the write.
    static constexpr std::size_t CommandsPerWrite = 1000;

    // Greeting, capabilities, and STLS whenever the server offers it on a plain connection.
    StoreStatus open(const ServerAddress& server, const TlsSocket::Settings& settings);
    // APOP or USER/PASS; the number of waiting messages. On a connection without TLS neither the
    // password nor an APOP digest goes out unless allowPlainPassword: the login fails and
    // passwordHeldBack() tells why.
    StoreResult<int> login(const QString& user, const QString& password, bool apop, bool allowPlainPassword);
    // The size LIST gives for message number: the sizes of all messages are asked for once, in
    // one LIST of at most the STAT count and ListingLinesBeyondCount lines, and kept.
    StoreResult<long long> messageSize(int number);
    // UIDL: the unique id of every message, message n's at index n - 1, in one listing of at most the
    // STAT count and ListingLinesBeyondCount lines. A server that refuses UIDL, or whose listing does
    // not give each of the count messages one id of its own, fails with the connection still usable
    // and refused() set.
    StoreResult<std::vector<std::string>> uniqueIds(int count);
    // Takes the bytes of a message too large to hold; a failure (the disk cannot hold it now) drops
    // the connection and ends the fetch, but does not refuse the message for good.
    using Spill = std::function<StoreStatus(std::string_view bytes)>;
    // The whole message as the server holds it (CR LF line ends, dot-stuffing removed). A message
    // larger than maxBytes goes to spill instead (what was held, then the rest as it arrives) and
    // the text returned is empty; without spill it is read to its end and refused, so the session
    // stays usable. A message that brings more than largestAcceptedSize of its LIST size, or
    // comes slower than the minimum rate, fails with refusedByBound().
    StoreResult<std::string> retrieve(int number, long long maxBytes, const Spill& spill = {});
    // The messages the caller will retrieve, in ascending order, so that the next ones can be asked
    // for ahead. Without a plan, or once a command or retrieval breaks it, messages go one at a time.
    void planRetrievals(std::vector<int> numbers);
    StoreStatus markDeleted(int number);
    // DELE for each of numbers: for each, empty when the server marked it, else why it refused.
    // Fails, with no list, when the connection is lost.
    StoreResult<std::vector<QString>> markDeleted(const std::vector<int>& numbers);
    // QUIT: the server applies the deletions now. The connection is closed whatever the reply.
    StoreStatus quit();
    // Drops the connection without QUIT: the server deletes nothing.
    void abort();

    bool isEncrypted() const { return socket_.isEncrypted(); }
    // The server offered PIPELINING (over TLS, when the connection has it).
    bool pipelines() const { return offersPipelining_; }
    // The last command failed because the server answered -ERR (or an unusable listing); the
    // connection is still open and the next command may go.
    bool refused() const { return refused_ && socket_.isOpen(); }
    // The last command failed because the wait hook asked to stop: the connection is dropped.
    bool stoppedByUser() const { return socket_.stoppedByUser(); }
    // The last login failed because it would have sent the password in clear.
    bool passwordHeldBack() const { return passwordHeldBack_; }
    // The last retrieve broke a bound of its message: the connection was dropped (the server
    // deletes nothing), nothing of the message was kept, and the error says which bound.
    bool refusedByBound() const { return refusedByBound_; }

private:
    // expectedReplyBytes sets the reply's deadline (TlsSocket::expectReply).
    StoreResult<std::string> command(const std::string& line, const QString& what, long long expectedReplyBytes = 0);
    StoreResult<std::string> readStatusLine(const QString& what);
    // The lines of a multi-line reply up to its ".", each to take; more than maxLines lines or
    // maxBytes bytes drop the connection.
    StoreStatus readLines(const QString& what, int maxLines, std::size_t maxBytes,
        const std::function<void(const std::string&)>& take);
    StoreStatus listSizes();
    // The size a reply to "LIST number" gives, kept for the session.
    StoreResult<long long> takeSize(int number, const StoreResult<std::string>& reply, const QString& what);
    struct Command {
        std::string line;
        QString what;
    };
    // The status replies of commands, all in one write when the server pipelines (every reply then
    // read); otherwise one at a time, up to the first that fails.
    std::vector<StoreResult<std::string>> exchange(const std::vector<Command>& commands);
    StoreStatus dropForBound(const QString& text);
    // CAPA: whether STLS and PIPELINING are offered. Fails only when the connection is lost.
    StoreStatus readCapabilities(const QString& what);

    struct PendingRetrieval {
        int number;
        long long listedSize;
    };
    // The RETRs to send after the last one on its way, following the plan, while the window has room.
    std::string nextRetrievals();
    std::optional<int> plannedAfter(int number) const;
    // Reads and drops the replies of the RETRs on their way, up to the one for number (or all).
    StoreStatus skipRetrievalsBefore(std::optional<int> number);

    TlsSocket socket_;
    std::string apopTimestamp_;
    bool offersStls_ = false;
    bool offersPipelining_ = false;
    bool passwordHeldBack_ = false;
    bool refusedByBound_ = false;
    bool refused_ = false;
    int messageCount_ = 0;
    bool sizesListed_ = false;
    std::map<int, long long> listedSizes_;
    std::deque<PendingRetrieval> pendingRetrievals_;
    long long pendingBytes_ = 0;
    std::optional<std::vector<int>> retrievalPlan_;
    QString serverName_;
};
