#include "HtmlText.h"

#include "HtmlEntities.h"

#include <QRegularExpression>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// What an element does to the text.
enum class Tag { Other, Skipped, Br, Img, A, Li, UnorderedList, OrderedList, Row, Cell, Pre, Paragraph, Line };

Tag tagOf(const xmlChar* name)
{
    static const std::unordered_map<std::string_view, Tag> tags = [] {
        std::unordered_map<std::string_view, Tag> map;
        for (const std::string_view skipped : {"script", "style", "head", "title", "template"})
            map.emplace(skipped, Tag::Skipped);
        for (const std::string_view paragraph : {"p", "h1", "h2", "h3", "h4", "h5", "h6", "blockquote", "table", "dl", "hr", "figure", "address"})
            map.emplace(paragraph, Tag::Paragraph);
        for (const std::string_view line : {"div", "dt", "dd", "section", "article", "header", "footer", "nav", "aside", "main", "center",
                 "caption", "form", "fieldset", "legend", "figcaption", "details", "summary", "tbody", "thead", "tfoot"})
            map.emplace(line, Tag::Line);
        map.insert({{"br", Tag::Br}, {"img", Tag::Img}, {"a", Tag::A}, {"li", Tag::Li}, {"ul", Tag::UnorderedList},
            {"menu", Tag::UnorderedList}, {"ol", Tag::OrderedList}, {"tr", Tag::Row}, {"td", Tag::Cell}, {"th", Tag::Cell},
            {"pre", Tag::Pre}});
        return map;
    }();
    // The parser gives names in lower case.
    const auto found = tags.find(reinterpret_cast<const char*>(name));
    return found == tags.end() ? Tag::Other : found->second;
}

// libxml2's HTML parser does the tokenizing: numeric references, attribute values in any
// quoting, comments and unclosed tags as browsers read them. Its events are turned into text
// here, as it streams, without building a tree.
class TextCollector {
public:
    // Elements open at once beyond which the parse starts afresh on the rest of the text.
    // libxml2 looks through every open element for each end tag that matches none, so a page
    // of ten thousands of unclosed elements and stray end tags would take minutes.
    static constexpr int MaximumDepth = 256;

    // A parse of (the rest of) the text begins: no element is open.
    void beginParse(htmlParserCtxtPtr parser)
    {
        parser_ = parser;
        stopped_ = false;
        stoppedAt_ = 0;
        depth_ = 0;
        skipped_ = 0;
        preformatted_ = 0;
        links_.clear();
        lists_.clear();
        cellsInRow_.clear();
        requestBreak(1);
    }
    bool stopped() const { return stopped_; }
    // The bytes of this parse's input read when it was stopped.
    long stoppedAt() const { return stoppedAt_; }

    void startElement(Tag tag, const xmlChar** attributes)
    {
        if (++depth_ > MaximumDepth && !stopped_) {
            // Stopping drops the parser's input, so where it stood is taken first.
            stoppedAt_ = xmlByteConsumed(parser_);
            stopped_ = true;
            xmlStopParser(parser_);
        }
        if (tag == Tag::Skipped) {
            ++skipped_;
            return;
        }
        if (skipped_ > 0)
            return;
        switch (tag) {
        case Tag::Br:
            lineBreak();
            break;
        case Tag::Img:
            if (const QString alt = attribute(attributes, "alt").simplified(); !alt.isEmpty())
                appendText(alt);
            break;
        case Tag::A:
            links_.push_back({attribute(attributes, "href").trimmed(), text_.size()});
            break;
        case Tag::Li:
            requestBreak(1);
            appendText(lists_.empty() || lists_.back() < 0 ? QStringLiteral("・") : QStringLiteral("%1. ").arg(++lists_.back()));
            pendingSpace_ = false;
            break;
        case Tag::UnorderedList:
        case Tag::OrderedList:
            requestBreak(lists_.empty() ? 2 : 1);
            lists_.push_back(tag == Tag::OrderedList ? 0 : -1);
            break;
        case Tag::Row:
            requestBreak(1);
            cellsInRow_.push_back(0);
            break;
        case Tag::Cell:
            if (!cellsInRow_.empty() && cellsInRow_.back()++ > 0)
                pendingCell_ = true;
            break;
        case Tag::Pre:
            requestBreak(2);
            ++preformatted_;
            break;
        case Tag::Paragraph:
            requestBreak(2);
            break;
        case Tag::Line:
            requestBreak(1);
            break;
        case Tag::Skipped:
        case Tag::Other:
            break;
        }
    }

    void endElement(Tag tag)
    {
        depth_ = std::max(0, depth_ - 1);
        if (tag == Tag::Skipped) {
            skipped_ = std::max(0, skipped_ - 1);
            return;
        }
        if (skipped_ > 0)
            return;
        switch (tag) {
        case Tag::A:
            if (!links_.empty()) {
                const Link link = links_.back();
                links_.pop_back();
                const QStringView shown = QStringView(text_).mid(link.start).trimmed();
                if (!shown.isEmpty() && showsAddress(link.href, shown))
                    appendText(QStringLiteral(" <%1>").arg(link.href));
            }
            break;
        case Tag::UnorderedList:
        case Tag::OrderedList:
            if (!lists_.empty())
                lists_.pop_back();
            requestBreak(lists_.empty() ? 2 : 1);
            break;
        case Tag::Row:
            if (!cellsInRow_.empty())
                cellsInRow_.pop_back();
            pendingCell_ = false;
            requestBreak(1);
            break;
        case Tag::Pre:
            preformatted_ = std::max(0, preformatted_ - 1);
            requestBreak(2);
            break;
        case Tag::Paragraph:
            requestBreak(2);
            break;
        case Tag::Li:
        case Tag::Line:
            requestBreak(1);
            break;
        case Tag::Br:
        case Tag::Img:
        case Tag::Cell:
        case Tag::Skipped:
        case Tag::Other:
            break;
        }
    }

    void characters(const xmlChar* bytes, int length)
    {
        if (skipped_ > 0 || length <= 0)
            return;
        bool ascii = true;
        for (int i = 0; i < length && ascii; ++i)
            ascii = bytes[i] < 0x80;
        if (ascii) {
            for (int i = 0; i < length; ++i)
                append(QChar(char16_t(bytes[i])));
            return;
        }
        for (const QChar c : QString::fromUtf8(reinterpret_cast<const char*>(bytes), length))
            append(c);
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

    htmlParserCtxtPtr parser_ = nullptr;
    bool stopped_ = false;
    long stoppedAt_ = 0;
    int depth_ = 0;
    QString text_;
    int pendingBreaks_ = 0;
    bool pendingSpace_ = false;
    bool pendingCell_ = false;
    int skipped_ = 0;
    int preformatted_ = 0;
    std::vector<Link> links_;
    std::vector<int> lists_; // -1 for a bulleted list, else the number of the last item
    std::vector<int> cellsInRow_;

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

    void append(QChar c)
    {
        const char16_t code = c.unicode();
        // Invisible characters code page 932 would store as "?".
        if (code == 0x200B || code == 0x200C || code == 0x200D || code == 0xFEFF || code == 0x00AD || code == 0xFFFC)
            return;
        if (preformatted_ > 0 && (code == u'\n' || code == u'\r')) {
            if (code == u'\n')
                lineBreak();
            return;
        }
        if (preformatted_ == 0 && (code == u' ' || code == u'\t' || code == u'\n' || code == u'\r' || code == u'\f')) {
            pendingSpace_ = true;
            return;
        }
        if (pendingBreaks_ > 0 || pendingCell_ || pendingSpace_)
            flushPending();
        text_ += code == 0xA0 ? QChar(u' ') : c;
    }

    void appendText(const QString& text)
    {
        flushPending();
        text_ += text;
    }
};

bool isReferenceCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#'; }

// The UTF-8 of the text with every named reference replaced by its characters, every "&" that
// starts no reference written as "&amp;" and a numeric reference without its ";" given one: the
// same text to the parser, which otherwise reports each such "&" as an error at a cost that makes
// a text of many ampersands take seconds a megabyte.
QByteArray withReferencesClosed(const QString& html)
{
    const QByteArray bytes = html.toUtf8();
    if (!bytes.contains('&'))
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '&') {
            const qsizetype next = bytes.indexOf('&', i);
            const qsizetype stop = next < 0 ? bytes.size() : next;
            out.append(bytes.constData() + i, stop - i);
            i = stop - 1;
            continue;
        }
        qsizetype end = i + 1;
        while (end < bytes.size() && end - i <= 32 && isReferenceCharacter(bytes[end]))
            ++end;
        const bool numeric = end - i > 2 && bytes[i + 1] == '#';
        if (end < bytes.size() && bytes[end] == ';' && end > i + 1) {
            const std::string_view text = bytes[i + 1] == '#' ? std::string_view()
                                                               : HtmlEntities::text(std::string_view(bytes.constData() + i + 1, end - i - 1));
            if (text.empty()) {
                out += '&';
                continue;
            }
            // The parser knows the names of HTML 4 only: every other one is put in its place
            // here, markup characters as numbers so they stay text.
            for (const char c : text) {
                if (c == '<' || c == '>' || c == '&' || c == '"' || c == '\'')
                    out += "&#" + QByteArray::number(int(c)) + ';';
                else
                    out += c;
            }
            i = end;
        } else if (numeric) {
            out.append(bytes.constData() + i, end - i);
            out += ';';
            i = end - 1;
        } else {
            out += "&amp;";
        }
    }
    return out;
}

TextCollector& collectorOf(void* context) { return *static_cast<TextCollector*>(context); }

void onStart(void* context, const xmlChar* name, const xmlChar** attributes) { collectorOf(context).startElement(tagOf(name), attributes); }
void onEnd(void* context, const xmlChar* name) { collectorOf(context).endElement(tagOf(name)); }
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
    const QByteArray bytes = withReferencesClosed(html);
    constexpr qsizetype Chunk = 1 << 20;
    qsizetype start = 0;
    while (start < bytes.size()) {
        htmlParserCtxtPtr context = htmlCreatePushParserCtxt(&handler, &collector, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
        if (!context)
            break;
        // The text is already Unicode: a charset a meta tag names must not switch the parser's.
        htmlCtxtUseOptions(context, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
        collector.beginParse(context);
        for (qsizetype at = start; at < bytes.size() && !collector.stopped(); at += Chunk)
            htmlParseChunk(context, bytes.constData() + at, static_cast<int>(std::min(Chunk, bytes.size() - at)), 0);
        if (!collector.stopped())
            htmlParseChunk(context, nullptr, 0, 1);
        const long consumed = collector.stopped() ? collector.stoppedAt() : -1;
        htmlFreeParserCtxt(context);
        start = consumed > 0 ? start + consumed : bytes.size();
    }
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
