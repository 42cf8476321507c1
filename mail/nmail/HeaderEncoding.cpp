#include "HeaderEncoding.h"

#include <QTextBoundaryFinder>
#include <QUrl>

#include <algorithm>

namespace {

const QByteArray WordStart = QByteArrayLiteral("=?UTF-8?B?");
const QByteArray WordEnd = QByteArrayLiteral("?=");
const QByteArray Fold = QByteArrayLiteral("\r\n ");

// The most UTF-8 bytes whose base64 fits an encoded word of length characters.
int bytesPerWord(int length)
{
    const int base64Characters = length - static_cast<int>(WordStart.size() + WordEnd.size());
    return std::max(3, base64Characters / 4 * 3);
}

QByteArray encodedWord(const QByteArray& utf8) { return WordStart + utf8.toBase64() + WordEnd; }

// The text in pieces that are never cut: grapheme clusters, and the code points of a cluster too
// long for a word on its own.
QList<QByteArray> unbreakablePieces(const QString& text, int longest)
{
    QList<QByteArray> pieces;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end >= 0; end = finder.toNextBoundary()) {
        const QString cluster = text.mid(start, end - start);
        start = end;
        const QByteArray bytes = cluster.toUtf8();
        if (bytes.size() <= longest) {
            pieces.append(bytes);
            continue;
        }
        for (const char32_t codePoint : cluster.toUcs4())
            pieces.append(QString::fromUcs4(&codePoint, 1).toUtf8());
    }
    return pieces;
}

bool isPlainText(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return !text.contains(QStringLiteral("=?"));
}

// Joins tokens into one field, a space between two tokens, folding before a token that would carry
// the line past the limit.
class FieldLines {
public:
    explicit FieldLines(const QByteArray& name) : field_(name + ':'), lineLength_(static_cast<int>(field_.size())) {}

    int room() const { return HeaderEncoding::FoldedLineLength - lineLength_ - 1; }

    void add(const QByteArray& token)
    {
        if (tokens_ > 0 && lineLength_ + 1 + token.size() > HeaderEncoding::FoldedLineLength) {
            field_ += Fold;
            lineLength_ = 1;
        } else {
            field_ += ' ';
            ++lineLength_;
        }
        field_ += token;
        lineLength_ += static_cast<int>(token.size());
        ++tokens_;
    }

    QByteArray finish() const { return field_ + QByteArrayLiteral("\r\n"); }

private:
    QByteArray field_;
    int lineLength_;
    int tokens_ = 0;
};

bool needsQuoting(const QString& name)
{
    static const QString specials = QStringLiteral("()<>[]:;@\\,.\"");
    return std::any_of(name.begin(), name.end(), [](QChar c) { return specials.contains(c); });
}

QByteArray quoted(const QString& text)
{
    QByteArray escaped = text.toUtf8();
    escaped.replace('\\', QByteArrayLiteral("\\\\"));
    escaped.replace('"', QByteArrayLiteral("\\\""));
    return '"' + escaped + '"';
}

void addDisplayName(FieldLines& lines, const QString& name)
{
    if (name.isEmpty())
        return;
    if (!isPlainText(name)) {
        // A first word too short to be worth it goes to the next line whole instead.
        const int room = lines.room() >= 20 ? std::min(HeaderEncoding::MaximumEncodedWord, lines.room()) : HeaderEncoding::MaximumEncodedWord;
        for (const QByteArray& word : HeaderEncoding::encodedWords(name, room))
            lines.add(word);
    } else if (needsQuoting(name)) {
        lines.add(quoted(name));
    } else {
        for (const QString& word : name.split(u' ', Qt::SkipEmptyParts))
            lines.add(word.toLatin1());
    }
}

bool isAttributeCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || QByteArrayView("!#$&+-.^_`|~").contains(c);
}

QByteArray percentEncoded(const QByteArray& bytes)
{
    QByteArray encoded;
    for (const char c : bytes) {
        if (isAttributeCharacter(c))
            encoded += c;
        else
            encoded += '%' + QByteArray::number(static_cast<unsigned char>(c), 16).toUpper().rightJustified(2, '0');
    }
    return encoded;
}

// filename*0*=UTF-8''…; filename*1*=…, each section on a line of its own within the limit and
// holding whole characters only.
QByteArray rfc2231Sections(const QByteArray& attribute, const QString& value)
{
    QByteArray sections;
    int number = 0;
    QByteArray section = QByteArrayLiteral("UTF-8''");
    bool sectionHoldsText = false;
    const auto sectionStart = [&] { return ";\r\n " + attribute + '*' + QByteArray::number(number) + "*="; };
    for (const QByteArray& piece : unbreakablePieces(value, 20)) {
        const QByteArray encoded = percentEncoded(piece);
        // The line is the start without its CR LF, the section so far, the piece and the ";".
        const qsizetype lineLength = sectionStart().size() - 2 + section.size() + encoded.size() + 1;
        if (sectionHoldsText && lineLength > HeaderEncoding::FoldedLineLength) {
            sections += sectionStart() + section;
            section.clear();
            ++number;
        }
        section += encoded;
        sectionHoldsText = true;
    }
    return sections + sectionStart() + section;
}

} // namespace

namespace HeaderEncoding {

std::vector<QByteArray> encodedWords(const QString& text, int maxFirst)
{
    std::vector<QByteArray> words;
    int budget = bytesPerWord(maxFirst);
    QByteArray current;
    for (const QByteArray& piece : unbreakablePieces(text, bytesPerWord(MaximumEncodedWord))) {
        if (!current.isEmpty() && current.size() + piece.size() > budget) {
            words.push_back(encodedWord(current));
            current.clear();
            budget = bytesPerWord(MaximumEncodedWord);
        }
        current += piece;
    }
    if (!current.isEmpty() || words.empty())
        words.push_back(encodedWord(current));
    return words;
}

QByteArray unstructuredField(const QByteArray& name, const QString& text)
{
    FieldLines lines(name);
    if (text.isEmpty())
        return name + QByteArrayLiteral(": \r\n");
    if (isPlainText(text)) {
        for (const QString& word : text.split(u' '))
            lines.add(word.toLatin1());
        return lines.finish();
    }
    for (const QByteArray& word : encodedWords(text, std::min(MaximumEncodedWord, lines.room())))
        lines.add(word);
    return lines.finish();
}

QByteArray wireAddress(const QString& address)
{
    const qsizetype at = address.lastIndexOf(u'@');
    const QString domain = address.mid(at + 1);
    QByteArray ace = QUrl::toAce(domain);
    if (ace.isEmpty())
        ace = domain.toUtf8();
    return address.left(at).toUtf8() + '@' + ace;
}

QByteArray mailboxField(const QByteArray& name, const std::vector<RecipientList::Mailbox>& mailboxes)
{
    FieldLines lines(name);
    for (std::size_t i = 0; i < mailboxes.size(); ++i) {
        const RecipientList::Mailbox& mailbox = mailboxes[i];
        addDisplayName(lines, mailbox.name);
        const QByteArray address = wireAddress(mailbox.address);
        const QByteArray separator = i + 1 < mailboxes.size() ? QByteArrayLiteral(",") : QByteArray();
        lines.add((mailbox.name.isEmpty() ? address : '<' + address + '>') + separator);
    }
    return lines.finish();
}

QByteArray attachmentFields(const QByteArray& mimeType, const QString& fileName)
{
    QByteArray encodedName;
    for (const QByteArray& word : encodedWords(fileName))
        encodedName += (encodedName.isEmpty() ? QByteArray() : QByteArrayLiteral(" ")) + word;
    // Older readers take only "name", and only as encoded words; the line is left long rather
    // than folded inside the quotes, which some of them keep as part of the name.
    return "Content-Type: " + mimeType + ";\r\n name=\"" + encodedName + "\"\r\nContent-Disposition: attachment"
        + rfc2231Sections("filename", fileName) + "\r\n";
}

} // namespace HeaderEncoding
