#pragma once

#include "NetworkWaitHook.h"

#include <QString>
#include <QStringList>

#include <string>

// The mail library: every network operation of the program (POP3, APOP, SMTP, MIME decoding,
// attachment extraction) goes through these calls, named and ordered as the program has always
// used them. Results below zero are failures whose text NMailGetMessage supplies. Every call
// blocks its caller until it is done. The real library is NMail; tests supply their own.
class NMailApi {
public:
    virtual ~NMailApi() = default;

    // Options of NMailSetOption and NMailSetOptionText.
    enum Option {
        // The size of the text buffers the program passes (8192): subject, date, sender and header
        // are cut to one character less.
        OptionTextBufferSize = 1,
        // Milliseconds a connect or a single read or write may wait before the call fails (default 30000).
        OptionTimeoutMilliseconds = 2,
        // SMTP AUTH account; no authentication while the user name is empty.
        OptionSmtpUser = 3,
        OptionSmtpPassword = 4,
        // A CA certificate file trusted in addition to the system's trust store.
        OptionTrustedCaFile = 5,
        // The largest message decoded (default 32 MiB). A larger one is fetched to a temporary file
        // and its raw source kept whole in the attachment folder.
        OptionMaximumMessageBytes = 6,
        // 1: a password may go over a connection without TLS (the user has agreed to it for the
        // server about to be used); 0, the default: it is held back and the call fails with
        // ResultPasswordNeedsTls. An APOP digest is held back the same way.
        OptionAllowPlainPassword = 7,
        // The slowest transfer a command may take, in bytes per second (default 1024): a command's
        // reply fails after the time-out plus one second for every that many bytes it may bring
        // (a message: its LIST size and a margin), so a server that trickles its reply, or sends
        // without end, cannot hold the caller for ever.
        OptionMinimumBytesPerSecond = 8,
        // Milliseconds NMailSmtpSendMail waits for the server's answer to a message it has taken
        // whole (default 600000, what RFC 5321 allows the server).
        OptionSmtpEndOfDataWaitMilliseconds = 9,
    };

    // NMailPop3Authenticate and NMailSmtpSendMail: the server offers no TLS and the password was not
    // sent. A POP3 handle stays open, so the login can be repeated once the option allows it.
    static constexpr int ResultPasswordNeedsTls = -7;
    // Status, size and fetch: a reply broke a size or time bound; dropped without QUIT, the message stays on the server.
    static constexpr int ResultRefusedByBound = -8;
    // The server answered -ERR to a command about one message (RETR, LIST, DELE) or to UIDL; the
    // connection is still usable, and NMailGetMessage holds the server's words.
    static constexpr int ResultMessageRefusedByServer = -10;
    // NMailSmtpSendMail: the message went out whole but no answer came; it may have been delivered.
    static constexpr int ResultSentUnconfirmed = -12;
    // A POP3 call: the user stopped the operation during a network wait; the connection was dropped without QUIT.
    static constexpr int ResultStoppedByUser = -9;

    virtual int NMailInitializeWinSock() = 0;
    // Installs what every later call does while it waits on the network; an empty hook just waits.
    virtual void NMailSetWaitHook(NetworkWaitHook hook) { (void)hook; }
    // Number options; 0 when taken, -1 when the option or its value is unknown.
    virtual int NMailSetOption(int option, int value) = 0;
    // Text options (account, CA file); 0 when taken, -1 when unknown.
    virtual int NMailSetOptionText(int option, const QString& value)
    {
        (void)option;
        (void)value;
        return -1;
    }

    // A session handle, or -1 when the server cannot be reached.
    virtual int NMailPop3Connect(const QString& server) = 0;
    // apop is -1 to log in with APOP, 0 for USER/PASS. Number of waiting messages, 0, or < 0.
    virtual int NMailPop3Authenticate(int handle, const QString& id, const QString& password, int apop) = 0;
    // Fills subject, date, sender and the whole header of message number.
    virtual int NMailPop3GetMailStatus(int handle, int number, QString& subject, QString& date, QString& from,
        QString& header, int flag)
        = 0;
    // UIDL: fills ids with the unique id of every waiting message (message n's at index n - 1) and
    // returns their number. ResultMessageRefusedByServer when the server has no UIDL or lists ids
    // that cannot tell its messages apart; other results below zero: the connection failed.
    virtual int NMailPop3GetUidl(int handle, QStringList& ids) = 0;
    // Size of message number in bytes, < 0 on failure.
    virtual int NMailPop3GetMailSize(int handle, int number) = 0;
    // Fills the four texts and the body (the text a reader reads) of message number.
    virtual int NMailPop3GetMail(int handle, int number, QString& subject, QString& date, QString& from,
        QString& header, QString& body, int flag, int option)
        = 0;
    // Extracts the attachments of the message fetched last into attachmentFolder. 1: attachments
    // written; 0: none; -5: an attachment cannot be written; -6: a split message is incomplete (its
    // part is kept in a hidden folder inside attachmentFolder). When a part completes a split
    // message, the five texts become the whole message's; a part that cannot join its message
    // (SplitMessageStore) gives 0, and the body becomes its own text after a notice. A message
    // that cannot be decoded whole (too large, nested too deep, too many parts, headers too long)
    // is kept as its raw source in a file of attachmentFolder, and the body names that file; when
    // that file cannot be written the result is -5 and nothing of the message is kept. The work
    // file and work text are not needed: the library keeps the fetched message itself.
    virtual int NMailAttachmentFileFirst(int handle, QString& subject, QString& date, QString& from, QString& header,
        QString& body, const QString& attachmentFolder, const QString& workFilePath, QString& workText, int flag)
        = 0;
    virtual int NMailAttachmentFileClose(int handle) = 0;
    // A message that comes from a file rather than a server (an import), decoded as a fetched one
    // is and taken by the next NMailAttachmentFileFirst as the message fetched last. raw is the
    // message; when it is larger than the caller holds in memory, raw is its head and wholeFile a
    // file with all of it, which is then kept whole like a message over the size cap. 1; 2 when the
    // message cannot be decoded whole and the attachment step will keep its raw source instead; < 0.
    virtual int NMailLoadMessage(const std::string& raw, const QString& wholeFile, QString& subject, QString& date,
        QString& from, QString& header, QString& body)
    {
        (void)raw;
        (void)wholeFile;
        (void)subject;
        (void)date;
        (void)from;
        (void)header;
        (void)body;
        return -1;
    }
    // Flushes to disk the attachments and kept parts written since the last flush or QUIT, so that
    // what is recorded as received has its files safe; < 0 when one cannot be.
    virtual int NMailAttachmentFileFlush(int handle) = 0;
    virtual int NMailPop3DeleteMail(int handle, int number) = 0;
    // DELE for every one of numbers, in one exchange where the server allows it. refusals gets one
    // text per number: empty when marked, else the server's words. The number marked; below zero
    // when the connection failed (nothing is deleted without the QUIT that now cannot go).
    virtual int NMailPop3DeleteMails(int handle, const QList<int>& numbers, QStringList& refusals)
    {
        constexpr int RefusalBufferSize = 8192;
        refusals.clear();
        int marked = 0;
        for (const int number : numbers) {
            const int result = NMailPop3DeleteMail(handle, number);
            if (result < 0 && result != ResultMessageRefusedByServer)
                return result;
            QString refusal;
            if (result < 0)
                NMailGetMessage(handle, refusal, RefusalBufferSize);
            else
                ++marked;
            refusals << refusal;
        }
        return marked;
    }
    // The messages the caller is about to fetch, in ascending order, and nothing else until the
    // last of them (deletions after it, with NMailPop3DeleteMails), so that the library may ask the
    // server for the next ones while one is being handled (and, for a few among many, for their
    // sizes now). Without it, one message at a time.
    virtual void NMailPop3PlanFetches(int handle, const QList<int>& numbers)
    {
        (void)handle;
        (void)numbers;
    }
    // QUIT, after the attachments written since the last QUIT are flushed to disk; when they cannot
    // be, the connection is dropped without QUIT, so the server deletes nothing, and the result is < 0.
    virtual int NMailPop3Close(int handle) = 0;

    // What NMailSmtpSendMail returns when no message could be handed over at all: the server was
    // not reached, or TLS or the login failed. Any other result below zero refuses this message only.
    static constexpr int SendNotConnected = -2;

    // cc, bcc and header are passed as null by the program. attachments: paths joined by ",".
    virtual int NMailSmtpSendMail(const QString& server, const QString& to, const QString* cc, const QString* bcc,
        const QString& from, const QString& subject, const QString& body, const QString* header,
        const QString& attachments, int flag)
        = 0;

    // The text of the last failure.
    virtual int NMailGetMessage(int handle, QString& buffer, int size) = 0;
    virtual int NMailEndWinSock() = 0;
};
