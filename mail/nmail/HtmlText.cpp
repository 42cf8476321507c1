#include "HtmlText.h"

#include <QRegularExpression>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <mutex>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// libxml2's HTML parser does the tokenizing: every HTML 4 named reference, numeric references,
// attribute values in any quoting, comments and unclosed tags as browsers read them. Its
// events are turned into text here, as it streams, without building a tree.
class TextCollector {
public:
    void startElement(const QString& name, const xmlChar** attributes)
    {
        if (isSkipped(name)) {
            ++skipped_;
            return;
        }
        if (skipped_ > 0)
            return;
        if (name == u"br") {
            lineBreak();
        } else if (name == u"img") {
            if (const QString alt = attribute(attributes, "alt").simplified(); !alt.isEmpty())
                appendText(alt);
        } else if (name == u"a") {
            links_.push_back({attribute(attributes, "href").trimmed(), text_.size()});
        } else if (name == u"li") {
            requestBreak(1);
            appendText(lists_.empty() || lists_.back() < 0 ? QStringLiteral("・") : QStringLiteral("%1. ").arg(++lists_.back()));
            pendingSpace_ = false;
        } else if (name == u"ul" || name == u"ol" || name == u"menu") {
            requestBreak(lists_.empty() ? 2 : 1);
            lists_.push_back(name == u"ol" ? 0 : -1);
        } else if (name == u"tr") {
            requestBreak(1);
            cellsInRow_.push_back(0);
        } else if (name == u"td" || name == u"th") {
            if (!cellsInRow_.empty() && cellsInRow_.back()++ > 0)
                pendingCell_ = true;
        } else if (name == u"pre") {
            requestBreak(2);
            ++preformatted_;
        } else if (const int lines = breaksAround(name); lines > 0) {
            requestBreak(lines);
        }
    }

    void endElement(const QString& name)
    {
        if (isSkipped(name)) {
            skipped_ = std::max(0, skipped_ - 1);
            return;
        }
        if (skipped_ > 0)
            return;
        if (name == u"a") {
            if (links_.empty())
                return;
            const Link link = links_.back();
            links_.pop_back();
            const QStringView shown = QStringView(text_).mid(link.start).trimmed();
            if (!shown.isEmpty() && showsAddress(link.href, shown))
                appendText(QStringLiteral(" <%1>").arg(link.href));
        } else if (name == u"ul" || name == u"ol" || name == u"menu") {
            if (!lists_.empty())
                lists_.pop_back();
            requestBreak(lists_.empty() ? 2 : 1);
        } else if (name == u"tr") {
            if (!cellsInRow_.empty())
                cellsInRow_.pop_back();
            pendingCell_ = false;
            requestBreak(1);
        } else if (name == u"pre") {
            preformatted_ = std::max(0, preformatted_ - 1);
            requestBreak(2);
        } else if (name == u"li") {
            requestBreak(1);
        } else if (const int lines = breaksAround(name); lines > 0) {
            requestBreak(lines);
        }
    }

    void characters(const xmlChar* bytes, int length)
    {
        if (skipped_ > 0 || length <= 0)
            return;
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(bytes), length);
        for (const QChar c : text) {
            const char16_t code = c.unicode();
            // Invisible characters code page 932 would store as "?".
            if (code == 0x200B || code == 0x200C || code == 0x200D || code == 0xFEFF || code == 0x00AD || code == 0xFFFC)
                continue;
            if (preformatted_ > 0 && (code == u'\n' || code == u'\r')) {
                if (code == u'\n')
                    lineBreak();
                continue;
            }
            if (preformatted_ == 0 && (code == u' ' || code == u'\t' || code == u'\n' || code == u'\r' || code == u'\f')) {
                pendingSpace_ = true;
                continue;
            }
            flushPending();
            text_ += code == 0xA0 ? QChar(u' ') : c;
        }
    }

    QString result()
    {
        while (!text_.isEmpty() && (text_.back() == u'\n' || text_.back() == u' '))
            text_.chop(1);
        return text_;
    }

private:
    struct Link {
        QString href;
        qsizetype start = 0;
    };

    QString text_;
    int pendingBreaks_ = 0;
    bool pendingSpace_ = false;
    bool pendingCell_ = false;
    int skipped_ = 0;
    int preformatted_ = 0;
    std::vector<Link> links_;
    std::vector<int> lists_; // -1 for a bulleted list, else the number of the last item
    std::vector<int> cellsInRow_;

    static bool isSkipped(const QString& name)
    {
        return name == u"script" || name == u"style" || name == u"head" || name == u"title" || name == u"template";
    }

    // Lines a block element puts around itself: 2 for a paragraph of its own, 1 for a line.
    static int breaksAround(const QString& name)
    {
        static const QStringList paragraphs = {u"p"_s, u"h1"_s, u"h2"_s, u"h3"_s, u"h4"_s, u"h5"_s, u"h6"_s,
            u"blockquote"_s, u"table"_s, u"dl"_s, u"hr"_s, u"figure"_s, u"address"_s};
        static const QStringList lines = {u"div"_s, u"dt"_s, u"dd"_s, u"section"_s, u"article"_s, u"header"_s,
            u"footer"_s, u"nav"_s, u"aside"_s, u"main"_s, u"center"_s, u"caption"_s, u"form"_s,
            u"fieldset"_s, u"legend"_s, u"figcaption"_s, u"details"_s, u"summary"_s, u"tbody"_s, u"thead"_s,
            u"tfoot"_s};
        if (paragraphs.contains(name))
            return 2;
        return lines.contains(name) ? 1 : 0;
    }

    static QString attribute(const xmlChar** attributes, const char* wanted)
    {
        for (int i = 0; attributes && attributes[i]; i += 2) {
            if (xmlStrcasecmp(attributes[i], reinterpret_cast<const xmlChar*>(wanted)) == 0)
                return attributes[i + 1] ? QString::fromUtf8(reinterpret_cast<const char*>(attributes[i + 1])) : QString();
        }
        return QString();
    }

    // The address follows the link's text unless the text already says it.
    static bool showsAddress(QStringView href, QStringView shown)
    {
        if (href.isEmpty() || href.startsWith(u'#') || href.startsWith(u"javascript:", Qt::CaseInsensitive))
            return false;
        const auto bare = [](QStringView address) {
            if (address.startsWith(u"mailto:", Qt::CaseInsensitive))
                address = address.mid(7);
            while (address.endsWith(u'/'))
                address.chop(1);
            return address;
        };
        return bare(href).compare(bare(shown), Qt::CaseInsensitive) != 0;
    }

    void requestBreak(int lines)
    {
        pendingBreaks_ = std::max(pendingBreaks_, lines);
        pendingCell_ = false;
    }

    void trimTrailingSpaces()
    {
        while (!text_.isEmpty() && text_.back() == u' ')
            text_.chop(1);
    }

    void lineBreak()
    {
        flushPending();
        trimTrailingSpaces();
        if (!text_.endsWith(u"\n\n\n"))
            text_ += u'\n';
        pendingSpace_ = false;
    }

    void flushPending()
    {
        if (pendingBreaks_ > 0) {
            if (!text_.isEmpty()) {
                trimTrailingSpaces();
                int present = 0;
                for (qsizetype i = text_.size() - 1; i >= 0 && text_[i] == u'\n' && present < pendingBreaks_; --i)
                    ++present;
                for (int i = present; i < pendingBreaks_; ++i)
                    text_ += u'\n';
            }
            pendingBreaks_ = 0;
            pendingSpace_ = false;
            pendingCell_ = false;
            return;
        }
        if (pendingCell_) {
            trimTrailingSpaces();
            if (!text_.isEmpty() && !text_.endsWith(u'\n'))
                text_ += u'\t';
            pendingCell_ = false;
            pendingSpace_ = false;
            return;
        }
        if (pendingSpace_ && !text_.isEmpty() && !text_.endsWith(u'\n') && !text_.endsWith(u' ') && !text_.endsWith(u'\t'))
            text_ += u' ';
        pendingSpace_ = false;
    }

    void appendText(const QString& text)
    {
        flushPending();
        text_ += text;
    }
};

QString nameOf(const xmlChar* name)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(name)).toLower();
}

TextCollector& collectorOf(void* context) { return *static_cast<TextCollector*>(context); }

void onStart(void* context, const xmlChar* name, const xmlChar** attributes) { collectorOf(context).startElement(nameOf(name), attributes); }
void onEnd(void* context, const xmlChar* name) { collectorOf(context).endElement(nameOf(name)); }
void onCharacters(void* context, const xmlChar* text, int length) { collectorOf(context).characters(text, length); }
void onDiagnostic(void*, const char*, ...) { }

} // namespace

namespace HtmlText {

QString toPlainText(const QString& html)
{
    static std::once_flag initialized;
    std::call_once(initialized, [] { xmlInitParser(); });

    htmlSAXHandler handler {};
    handler.startElement = onStart;
    handler.endElement = onEnd;
    handler.characters = onCharacters;
    handler.ignorableWhitespace = onCharacters;
    handler.cdataBlock = onCharacters;
    handler.warning = onDiagnostic;
    handler.error = onDiagnostic;
    TextCollector collector;
    htmlParserCtxtPtr context = htmlCreatePushParserCtxt(&handler, &collector, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
    if (!context)
        return QString();
    // The text is already Unicode: a charset a meta tag names must not switch the parser's.
    htmlCtxtUseOptions(context, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
    const QByteArray bytes = html.toUtf8();
    constexpr qsizetype Chunk = 1 << 20;
    for (qsizetype at = 0; at < bytes.size(); at += Chunk)
        htmlParseChunk(context, bytes.constData() + at, static_cast<int>(std::min(Chunk, bytes.size() - at)), 0);
    htmlParseChunk(context, nullptr, 0, 1);
    htmlFreeParserCtxt(context);
    return collector.result();
}

std::string declaredCharset(std::string_view html)
{
    const std::string_view head = html.substr(0, std::min<std::size_t>(html.size(), 4096));
    static const QRegularExpression pattern(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_:.\\-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(QString::fromLatin1(head.data(), static_cast<qsizetype>(head.size())));
    return match.hasMatch() ? match.captured(1).toStdString() : std::string();
}

} // namespace HtmlText
