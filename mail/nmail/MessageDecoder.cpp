#include "MessageDecoder.h"

#include "CharsetDecoder.h"
#include "GMimeHandles.h"
#include "HeaderBlock.h"
#include "HeaderText.h"
#include "HtmlText.h"
#include "MimeParts.h"
#include "SplitMessageStore.h"

namespace {

QString withoutNul(QString text)
{
    text.remove(QChar(0));
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

bool isTooDeeplyStructured(std::string_view raw)
{
    static constexpr std::string_view markers[] = {"multipart/", "message/rfc822", "message/global", "message/news"};
    int found = 0;
    for (std::size_t i = 0; i + 8 <= raw.size(); ++i) {
        const char c = raw[i];
        if (c != 'm' && c != 'M')
            continue;
        for (const std::string_view marker : markers) {
            if (i + marker.size() <= raw.size() && HeaderBlock::namesEqual(raw.substr(i, marker.size()), marker)) {
                if (++found > MaximumContainers)
                    return true;
                break;
            }
        }
    }
    return false;
}

DecodedMessage decodeHeader(std::string_view raw)
{
    const HeaderBlock header(raw);
    DecodedMessage decoded;
    const auto field = [&](std::string_view name) {
        const std::string* value = header.value(name);
        return value ? *value : std::string();
    };
    decoded.subject = withoutNul(HeaderText::decode(field("Subject")));
    decoded.from = withoutNul(HeaderText::decode(field("From")));
    decoded.date = withoutNul(CharsetDecoder::decodeUnlabelled(field("Date"))).trimmed();
    const std::string_view text = header.text().substr(0, std::min(header.text().size(), HeaderBlock::MaximumBytes));
    decoded.header = withoutNul(CharsetDecoder::decodeUnlabelled(text));
    return decoded;
}

DecodedMessage decode(std::string_view raw)
{
    DecodedMessage decoded = decodeHeader(raw);
    if (const auto part = SplitMessageStore::partInfo(raw)) {
        decoded.body = part->total > 0
            ? QStringLiteral("（分割されたメールの %1/%2 番目の部分です。全部が揃うと元のメールに戻します。）").arg(part->number).arg(part->total)
            : QStringLiteral("（分割されたメールの %1 番目の部分です。全部が揃うと元のメールに戻します。）").arg(part->number);
        return decoded;
    }
    if (isTooDeeplyStructured(raw)) {
        decoded.body = QStringLiteral("（このメールは MIME の入れ子が多すぎるため、本文を取り出せませんでした。）");
        return decoded;
    }
    const GObjectPtr<GMimeMessage> message = GMimeHandles::parseMessage(raw);
    if (message)
        decoded.body = bodyOf(message.get());
    return decoded;
}

} // namespace MessageDecoder
