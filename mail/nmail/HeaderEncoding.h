#pragma once

#include "RecipientList.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Header fields of an outgoing message, written as strict readers expect them: text that is not
// plain ASCII as UTF-8 encoded words of at most 75 characters (RFC 2047), every encoded word cut
// between characters, lines folded before 78 characters where the text allows (RFC 5322), and
// file names both as RFC 2231 continuations and as an encoded "name" for older readers. Every
// field returned ends in CR LF.
namespace HeaderEncoding {

constexpr int MaximumEncodedWord = 75;
constexpr int FoldedLineLength = 78;

// "Subject: …" for any text; folded over as many lines as it needs.
QByteArray unstructuredField(const QByteArray& name, const QString& text);

// "To: 山田 <a@example.jp>, b@example.jp" with every display name encoded as needed. The local
// part goes as typed (UTF-8 where the server takes SMTPUTF8), the domain as punycode.
QByteArray mailboxField(const QByteArray& name, const std::vector<RecipientList::Mailbox>& mailboxes);

// The address as it goes on the wire: the local part as typed, the domain as punycode.
QByteArray wireAddress(const QString& address);

// Content-Type and Content-Disposition of an attached file named fileName.
QByteArray attachmentFields(const QByteArray& mimeType, const QString& fileName);

// The encoded words for text, each at most maxFirst characters for the first and
// MaximumEncodedWord for the others.
std::vector<QByteArray> encodedWords(const QString& text, int maxFirst = MaximumEncodedWord);

} // namespace HeaderEncoding
