#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The recipients of a typed recipient text: "a@example.jp; 山田 <b@example.jp>、c@example.jp".
// Recipients are separated by "," or ";" (half- or full-width) or "、", except inside double quotes
// and angle brackets, so "\"山田, 太郎\" <a@example.jp>" is one recipient.
class RecipientList {
public:
    struct Mailbox {
        // The display name without its quotes; empty when none was given.
        QString name;
        // local@domain as typed.
        QString address;
    };

    static RecipientList parse(const QString& text);

    const std::vector<Mailbox>& mailboxes() const { return mailboxes_; }
    // The parts that are not an address, as typed; the text holds no recipient at all when both
    // lists are empty.
    const QStringList& refused() const { return refused_; }
    bool ok() const { return refused_.isEmpty() && !mailboxes_.empty(); }

    // True when the part before the "@" is not plain ASCII: only a server that offers SMTPUTF8
    // may be given such an address.
    static bool needsUtf8(const QString& address);

private:
    std::vector<Mailbox> mailboxes_;
    QStringList refused_;
};
