#pragma once

#include "NMailApi.h"
#include "SmtpSender.h"

#include <map>
#include <memory>
#include <string>

class AttachmentFolder;
struct ParsedMessage;
class QTemporaryFile;

// The mail library itself: POP3 sessions of our own over TCP/TLS, MIME decoding with Japanese
// charsets, attachment extraction with split-message reassembly, and SMTP sending. One object
// serves the whole program; handles name its open POP3 sessions.
class NMail final : public NMailApi {
public:
    NMail();
    ~NMail() override;
    NMail(const NMail&) = delete;
    NMail& operator=(const NMail&) = delete;

    int NMailInitializeWinSock() override;
    void NMailSetWaitHook(NetworkWaitHook hook) override;
    int NMailSetOption(int option, int value) override;
    int NMailSetOptionText(int option, const QString& value) override;
    int NMailPop3Connect(const QString& server) override;
    int NMailPop3Authenticate(int handle, const QString& id, const QString& password, int apop) override;
    int NMailPop3GetMailStatus(int handle, int number, QString& subject, QString& date, QString& from, QString& header,
        int flag) override;
    int NMailPop3GetUidl(int handle, QStringList& ids) override;
    int NMailPop3GetMailSize(int handle, int number) override;
    int NMailPop3GetMail(int handle, int number, QString& subject, QString& date, QString& from, QString& header,
        QString& body, int flag, int option) override;
    int NMailAttachmentFileFirst(int handle, QString& subject, QString& date, QString& from, QString& header,
        QString& body, const QString& attachmentFolder, const QString& workFilePath, QString& workText,
        int flag) override;
    int NMailAttachmentFileClose(int handle) override;
    int NMailLoadMessage(const std::string& raw, const QString& wholeFile, QString& subject, QString& date,
        QString& from, QString& header, QString& body) override;
    int NMailAttachmentFileFlush(int handle) override;
    int NMailPop3DeleteMail(int handle, int number) override;
    int NMailPop3DeleteMails(int handle, const QList<int>& numbers, QStringList& refusals) override;
    void NMailPop3PlanFetches(int handle, const QList<int>& numbers) override;
    int NMailPop3Close(int handle) override;
    int NMailSmtpSendMail(const QString& server, const QString& to, const QString* cc, const QString* bcc,
        const QString& from, const QString& subject, const QString& body, const QString* header,
        const QString& attachments, int flag) override;
    int NMailGetMessage(int handle, QString& buffer, int size) override;
    int NMailEndWinSock() override;

private:
    struct Session;
    // A message as fetched: whole in memory, or, when larger than the size cap, spooled to a
    // temporary file with only its head in memory.
    struct Fetched {
        std::shared_ptr<const std::string> bytes; // the message, or its head when spooled
        std::shared_ptr<QTemporaryFile> spool;
        // A message loaded from a file that holds all of it, bytes being its head.
        QString wholeFile;
        QString spoolError;
        // Why the message cannot be decoded whole; empty when it can.
        QString whyNotWhole;
    };

    Session* session(int handle);
    // The session of handle once it has logged in; nullptr, with the error set, otherwise.
    Session* loggedInSession(int handle);
    // Decodes message as the message fetched last, for the attachment step.
    void takeAsFetched(Fetched message, int handle, int number, QString& subject, QString& date, QString& from,
        QString& header, QString& body);
    // Fetches message number once per session step; status, size and fetch of one message share it.
    // On failure the error is set and fetchFailure_ holds the result to return.
    const Fetched* fetched(Session& open, int number);
    // Forgets what this session keeps of a message the server has marked for deletion.
    void noteMarkedDeleted(Session& open, int number);
    QString cutToBuffer(const QString& text) const;
    // Keeps the raw source of a message that cannot be decoded whole as a file in the folder, with
    // a notice naming it as the body; 1, or -5 when the file cannot be written.
    int keepWhole(const Fetched& message, QString& body, const QString& subject, const AttachmentFolder& folder);
    // Flushes the attachments written since the last QUIT; the path that could not be flushed, or empty.
    QString flushAttachments();
    int fail(const QString& text);
    // fail() with the result failedCall gives.
    int failCommand(const Session& open, const QString& text);
    // The result of a POP3 call that failed: ResultStoppedByUser when the wait hook stopped it,
    // ResultMessageRefusedByServer when the server refused the command and the session can go on.
    static int failedCall(const Session* open);

    std::map<int, std::unique_ptr<Session>> sessions_;
    int nextHandle_ = 1;
    QString lastError_;
    int fetchFailure_ = -1;
    // Attachments written since the last QUIT. They are written without waiting for the disk and
    // flushed together before the next QUIT lets the server delete the messages they came with.
    QStringList unflushedAttachments_;
    // Folders above them that may have gained an entry: those of kept parts of split messages.
    QStringList unflushedFolders_;
    int textBufferSize_ = 8192;
    int timeoutMilliseconds_ = 30000;
    bool allowPlainPassword_ = false;
    int minimumBytesPerSecond_ = 1024;
    int smtpEndOfDataWaitMilliseconds_ = 600000;
    // Decoding holds a message in several forms at once (raw, as text, the work text, the parse):
    // about eight times its size at the peak. 32 MiB keeps that under 300 MB; larger messages are
    // kept whole instead.
    long long maximumMessageBytes_ = 32LL * 1024 * 1024;
    QString smtpUser_;
    QString smtpPassword_;
    // Kept open from one send to the next to the same server, so a bulk send logs in once.
    SmtpSender smtp_;
    QString trustedCaFile_;
    NetworkWaitHook waitHook_;
    // The message fetched last, with its session and number: the attachment step works on its raw
    // bytes, since the buffers it is handed hold decoded text.
    Fetched lastFetched_;
    int lastFetchedHandle_ = 0;
    int lastFetchedNumber_ = 0;
    // Its body as a reader reads it, which the attachment step leaves in the body buffer.
    QString lastReadableBody_;
    // GMime's parse of it, kept for the attachment step when the message is small: parsing twice
    // costs more than the rest of the step, and a large parse is not worth holding meanwhile.
    std::shared_ptr<ParsedMessage> lastParse_;
};
