#pragma once

#include "NMailApi.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <functional>
#include <optional>

// A scripted mail library: one POP3 mailbox of messages, an SMTP server that takes or refuses
// every mail, and a record of every call in order ("NMailPop3DeleteMail(1, 3)").
class FakeNMail final : public NMailApi {
public:
    struct Message {
        QString subject;
        QString date;
        QString from;
        QString header;
        QString body;
        // What NMailAttachmentFileFirst returns for it (1, -5, -6), and the body it leaves.
        int attachmentResult = 1;
        std::optional<QString> bodyAfterAttachments;
        // The fetch of this message fails, as when the connection drops.
        bool fetchFails = false;
        // Or fails with this result when not 0 (-8 a bound, ResultMessageRefusedByServer, ...).
        int fetchResult = 0;
        // What NMailPop3DeleteMail returns for it.
        int deleteResult = 0;
        // Its UIDL id; empty: one made from its subject, sender and body.
        QString uid;
    };
    struct SentMail {
        QString server;
        QString to;
        QString from;
        QString subject;
        QString body;
        QString attachments;
    };

    int NMailInitializeWinSock() override;
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
    int NMailAttachmentFileFlush(int handle) override;
    int NMailPop3DeleteMail(int handle, int number) override;
    int NMailPop3Close(int handle) override;
    int NMailSmtpSendMail(const QString& server, const QString& to, const QString* cc, const QString* bcc,
        const QString& from, const QString& subject, const QString& body, const QString* header,
        const QString& attachments, int flag) override;
    int NMailGetMessage(int handle, QString& buffer, int size) override;
    int NMailEndWinSock() override;

    // The script.
    QList<Message> mailbox;
    int handle = 7;
    bool connectFails = false;
    // Runs inside every POP3 connect, e.g. to look at the window while the library "waits" on a server.
    std::function<void()> whileConnecting;
    // Unset: the number of messages in the mailbox.
    std::optional<int> authenticateResult;
    int sendResult = 0;
    // Results of the next sends in order; sendResult once they are used up.
    QList<int> sendResults;
    // Runs inside every send, e.g. to look at the window while the library "blocks".
    std::function<void(const SentMail&)> whileSending;
    int closeResult = 0;
    int flushResult = 0;
    // Unset: every message's id is listed.
    std::optional<int> uidlResult;
    // A successful close removes the deleted messages from the mailbox, as a server's QUIT does.
    bool deletesAtClose = false;
    QString errorText = QStringLiteral("サーバーとの通信に失敗しました。");

    // The record.
    QStringList calls;
    QList<int> deleted;
    // With deletesAtClose: the ids of the messages every close so far has removed.
    QStringList removedIds;
    QList<SentMail> sent;
    // Text options by option number, as last set.
    QMap<int, QString> textOptions;
    QString lastAuthenticatedId;
    QString lastAuthenticatedPassword;
    int lastApopFlag = 0;

    int count(const QString& operation) const;

private:
    const Message* message(int number) const;
    QString uidOf(int number) const;
    void record(const QString& operation, const QStringList& arguments = {});
};
