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

QString bodyOf(GMimeMessage* message)
{
    const MimeParts::BodyParts parts = MimeParts::findBodyParts(g_mime_message_get_mime_part(message));
    GMimeObject* chosen = parts.plain ? parts.plain : parts.html;
    if (!chosen)
        return QString();
    const std::string bytes = GMimeHandles::decodedContent(GMIME_PART(chosen));
    const char* charset = g_mime_object_get_content_type_parameter(chosen, "charset");
    std::string label = charset ? charset : "";
    if (chosen == parts.html && label.empty())
        label = HtmlText::declaredCharset(bytes);
    const QString text = CharsetDecoder::decode(bytes, label);
    return withCrLf(chosen == parts.html ? HtmlText::toPlainText(text) : text);
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
