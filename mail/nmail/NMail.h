#pragma once

#include "NMailApi.h"

#include <map>
#include <memory>
#include <string>

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
    int NMailSetOption(int option, int value) override;
    int NMailSetOptionText(int option, const QString& value) override;
    int NMailPop3Connect(const QString& server) override;
    int NMailPop3Authenticate(int handle, const QString& id, const QString& password, int apop) override;
    int NMailPop3GetMailStatus(int handle, int number, QString& subject, QString& date, QString& from, QString& header,
        int flag) override;
    int NMailPop3GetMailSize(int handle, int number) override;
    int NMailPop3GetMail(int handle, int number, QString& subject, QString& date, QString& from, QString& header,
        QString& body, int flag, int option) override;
    int NMailAttachmentFileFirst(int handle, QString& subject, QString& date, QString& from, QString& header,
        QString& body, const QString& attachmentFolder, const QString& workFilePath, QString& workText,
        int flag) override;
    int NMailAttachmentFileClose(int handle) override;
    int NMailPop3DeleteMail(int handle, int number) override;
    int NMailPop3Close(int handle) override;
    int NMailSmtpSendMail(const QString& server, const QString& to, const QString* cc, const QString* bcc,
        const QString& from, const QString& subject, const QString& body, const QString* header,
        const QString& attachments, int flag) override;
    int NMailGetMessage(int handle, QString& buffer, int size) override;
    int NMailEndWinSock() override;

private:
    struct Session;

    Session* session(int handle);
    // Fetches message number once per session step; status, size and fetch of one message share it.
    const std::string* fetched(Session& open, int number);
    QString cutToBuffer(const QString& text) const;
    // Flushes the attachments written since the last QUIT; the path that could not be flushed, or empty.
    QString flushAttachments();
    int fail(const QString& text);

    std::map<int, std::unique_ptr<Session>> sessions_;
    int nextHandle_ = 1;
    QString lastError_;
    // Attachments written since the last QUIT. They are written without waiting for the disk and
    // flushed together before the next QUIT lets the server delete the messages they came with.
    QStringList unflushedAttachments_;
    // Folders above them that may have gained an entry: those of kept parts of split messages.
    QStringList unflushedFolders_;
    int textBufferSize_ = 8192;
    int timeoutMilliseconds_ = 30000;
    long long maximumMessageBytes_ = 64LL * 1024 * 1024;
    QString smtpUser_;
    QString smtpPassword_;
    QString trustedCaFile_;
    // The raw bytes of the message fetched last: the attachment step works on them, since the
    // buffers it is handed hold decoded text.
    std::string lastFetchedMessage_;
    // Its body as a reader reads it, which the attachment step leaves in the body buffer.
    QString lastReadableBody_;
};
