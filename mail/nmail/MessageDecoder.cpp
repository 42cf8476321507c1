#include "MessageDecoder.h"

#include "CharsetDecoder.h"
#include "GMimeHandles.h"
#include "HeaderBlock.h"
#include "HeaderText.h"
#include "HtmlText.h"
#include "MessageStructure.h"
#include "MimeParts.h"
#include "SplitMessageStore.h"

namespace {

QString withoutNul(QString text)
{
    text.remove(QChar(0));
    return text;
}

// A stored header field is one line: a line break or other control character that an encoded
// word or a raw byte smuggled in would start a field of its own wherever the text is written.
QString onOneLine(QString text)
{
    for (QChar& c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            c = u' ';
    }
    return text;
}

// CR LF for every line end, whatever mix the part used.
QString withCrLf(const QString& text)
{
    QString result;
    result.reserve(text.size() + text.size() / 32);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            result += u"\r\n";
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            result += u"\r\n";
        } else if (c != QChar(0)) {
            result += c;
        }
    }
    return result;
}

bool isBase64Character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
}

// The bytes of a text part. Text declared base64 that is not: the lines up to the first one
// holding anything but base64 characters are decoded when they make whole groups of four, the rest
// is kept as it stands (a footer a list server appended); when they do not, the whole text is kept
// as it stands.
std::string textContent(GMimePart* part)
{
    if (g_mime_part_get_content_encoding(part) != GMIME_CONTENT_ENCODING_BASE64)
        return GMimeHandles::decodedContent(part);
    const std::string encoded = GMimeHandles::encodedContent(part);
    std::size_t characters = 0;
    std::size_t rest = 0;
    while (rest < encoded.size()) {
        std::size_t lineEnd = encoded.find('\n', rest);
        lineEnd = lineEnd == std::string::npos ? encoded.size() : lineEnd + 1;
        std::size_t inLine = 0;
        bool base64 = true;
        for (std::size_t i = rest; i < lineEnd && base64; ++i) {
            const char c = encoded[i];
            if (isBase64Character(c))
                ++inLine;
            else
                base64 = c == '\r' || c == '\n' || c == ' ' || c == '\t';
        }
        if (!base64)
            break;
        characters += inLine;
        rest = lineEnd;
    }
    if (characters == 0 || characters % 4 != 0)
        return encoded;
    if (rest == encoded.size())
        return GMimeHandles::decodedContent(part);
    QByteArray alphabet;
    alphabet.reserve(static_cast<qsizetype>(characters));
    for (std::size_t i = 0; i < rest; ++i) {
        if (isBase64Character(encoded[i]))
            alphabet += encoded[i];
    }
    const auto decoded = QByteArray::fromBase64Encoding(alphabet, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return encoded;
    return decoded.decoded.toStdString() + encoded.substr(rest);
}

QString textOf(const MimeParts::BodyPiece& piece)
{
    const bool html = piece.kind == MimeParts::BodyPiece::Kind::Html;
    const std::string bytes = textContent(GMIME_PART(piece.object));
    const char* charset = g_mime_object_get_content_type_parameter(piece.object, "charset");
    std::string label = charset ? charset : "";
    if (html && label.empty())
        label = HtmlText::declaredCharset(bytes);
    const QString text = CharsetDecoder::decode(bytes, label);
    return withCrLf(html ? HtmlText::toPlainText(text) : text);
}

bool isBlank(const QString& text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

// Every text part in order, a blank line between them, an inline part named by its mark where it
// stood. A message of one text part gives that text as it stands.
QString bodyOf(GMimeMessage* message)
{
    const MimeParts::Layout layout = MimeParts::layoutOf(g_mime_message_get_mime_part(message));
    QStringList pieces;
    for (const MimeParts::BodyPiece& piece : layout.body) {
        if (piece.kind == MimeParts::BodyPiece::Kind::Mark) {
            const MimeParts::Attachment& attachment = layout.attachments[piece.attachment];
            pieces << MimeParts::markOf(attachment, MimeParts::plannedFileName(attachment));
        } else if (QString text = textOf(piece); !isBlank(text)) {
            pieces << text;
        }
    }
    if (pieces.size() == 1)
        return pieces.front();
    QString body;
    for (QString& piece : pieces) {
        while (piece.endsWith(u'\n') || piece.endsWith(u'\r'))
            piece.chop(1);
        if (!body.isEmpty())
            body += u"\r\n\r\n";
        body += piece;
    }
    if (!body.isEmpty())
        body += u"\r\n";
    return body;
}

} // namespace

namespace MessageDecoder {

DecodedMessage decodeHeader(std::string_view raw)
{
    const HeaderBlock header(raw);
    DecodedMessage decoded;
    const auto field = [&](std::string_view name) {
        const std::string* value = header.value(name);
        return value ? *value : std::string();
    };
    decoded.subject = onOneLine(HeaderText::decode(field("Subject")));
    decoded.from = onOneLine(HeaderText::decode(field("From")));
    decoded.date = onOneLine(CharsetDecoder::decodeUnlabelled(field("Date"))).trimmed();
    const std::string_view text = header.text().substr(0, std::min(header.text().size(), HeaderBlock::MaximumBytes));
    decoded.header = withoutNul(CharsetDecoder::decodeUnlabelled(text));
    return decoded;
}

QString notWholeNotice(const QString& why)
{
    return QStringLiteral("（このメールは%1ため、本文を取り出せませんでした。）").arg(why);
}

DecodedMessage decode(std::string_view raw)
{
    if (const QString why = MessageStructure::whyNotWhole(raw); !why.isEmpty()) {
        DecodedMessage decoded = decodeHeader(raw);
        decoded.body = notWholeNotice(why);
        return decoded;
    }
    return decodeWhole(raw);
}

DecodedMessage decodeWhole(std::string_view raw, std::shared_ptr<ParsedMessage>* keep)
{
    DecodedMessage decoded = decodeHeader(raw);
    if (const auto part = SplitMessageStore::partInfo(raw)) {
        decoded.body = SplitMessageStore::partText(raw, SplitMessageStore::waitingNotice(*part));
        return decoded;
    }
    GObjectPtr<GMimeMessage> message = GMimeHandles::parseMessage(raw);
    if (message)
        decoded.body = bodyOf(message.get());
    if (keep && message)
        *keep = std::make_shared<ParsedMessage>(ParsedMessage{std::move(message)});
    return decoded;
}

} // namespace MessageDecoder
