#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A mailto: link as a browser or the desktop hands it over: "mailto:a@example.jp,b@example.jp?
// subject=%E4%BC%9A%E8%AD%B0&cc=...&body=...". Percent escapes are UTF-8 bytes; "+" stays "+".
// Header texts never carry a line break (a link must not be able to add header lines); the body
// keeps its line breaks as CR LF.
struct MailtoLink {
    QStringList to;
    QStringList cc;
    QStringList bcc;
    QString subject;
    QString body;

    // std::nullopt when the text is not a mailto: link.
    static std::optional<MailtoLink> parse(const QString& link);
    // The recipients as the compose screen's box takes them, separated by ", ".
    QString toText() const { return to.join(QStringLiteral(", ")); }
    // What the compose screen, with its one recipient box, cannot take from the link (the CC and
    // BCC addresses), said to the user; empty when the link has none.
    QString leftOutNotice() const;
};
