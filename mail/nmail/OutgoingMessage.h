#pragma once

#include "StoreResult.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// A message to send, built as MIME: From, To, Subject, Date, Message-ID and MIME-Version, the
// subject and names as UTF-8 encoded words (HeaderEncoding), the body base64 in UTF-8 (ISO-2022-JP
// cannot carry ①, ㈱ or ～), and each attached file base64 with its name both in RFC 2231 and as
// an encoded "name". The To header lists exactly the recipients the envelope carries.
class OutgoingMessage {
public:
    struct Content {
        QString from;
        QString to;
        QString subject;
        QString body;
        QStringList attachmentPaths;
        // A message kept in a file (an export) rather than sent: it keeps its own Date (this text,
        // or now when empty), needs no recipient, and a sender or recipient text that is no
        // address is written as plain text.
        bool kept = false;
        QString date;
    };

    // Refuses header injection (CR or LF in an address or the subject), a recipient part that is
    // not an address (RecipientList) and unreadable files; every file is read before anything goes out.
    static StoreResult<OutgoingMessage> build(const Content& content);

    const std::string& bytes() const { return bytes_; }
    const std::string& sender() const { return sender_; }
    const std::vector<std::string>& recipients() const { return recipients_; }
    // An address of the envelope has a local part beyond ASCII: only a server that offers
    // SMTPUTF8 may take the message.
    bool needsUtf8() const { return needsUtf8_; }

    // The refusal of a recipient part that is not an address, naming it.
    static QString refusedRecipientText(const QString& part);

private:
    std::string bytes_;
    std::string sender_;
    std::vector<std::string> recipients_;
    bool needsUtf8_ = false;
};
