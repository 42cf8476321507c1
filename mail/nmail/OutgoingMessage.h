#pragma once

#include "StoreResult.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// A message to send, built as MIME: Date, Message-ID, MIME-Version, From, To and Subject, the
// subject and names B-encoded in UTF-8, the body base64 in UTF-8 (ISO-2022-JP cannot carry ①, ㈱
// or ～), and each attached file base64 with its name in RFC 2231.
class OutgoingMessage {
public:
    struct Content {
        QString from;
        QString to;
        QString subject;
        QString body;
        QStringList attachmentPaths;
    };

    // Refuses header injection (CR or LF in an address or the subject) and unreadable files; every
    // file is read before anything goes out.
    static StoreResult<OutgoingMessage> build(const Content& content);

    const std::string& bytes() const { return bytes_; }
    const std::string& sender() const { return sender_; }
    const std::vector<std::string>& recipients() const { return recipients_; }

private:
    std::string bytes_;
    std::string sender_;
    std::vector<std::string> recipients_;
};
