#include "MessageStructure.h"

#include "GMimeHandles.h"
#include "HeaderBlock.h"
#include "MailLibraries.h"
#include "MessageDecoder.h"

#include <optional>
#include <string>
#include <vector>

namespace {

// Header fields in all the message's headers together: the parser keeps every one of them, and a
// few million of them cost gigabytes.
constexpr std::size_t MaximumFieldsInAllHeaders = 10 * HeaderBlock::MaximumFields;

// The parser decodes the Subject of every message it builds. At each "=?" it looks ahead for the
// "?=" that ends the encoded word: found, it takes everything up to it as one word and goes on
// after it; not found, it goes on one character further and looks again, so a Subject of many
// words opened and never closed costs it the square of its length (116 KB of "=?a?B?AAAA=" took
// 0.7 s, and a message may hold a hundred such headers). A real Subject of twenty encoded words
// looks ahead about a kilobyte, a digest of a thousand such messages about a megabyte; this is the
// look-ahead allowed in all the message's headers together, some 10 ms of the parser's time.
constexpr std::size_t MaximumSubjectLookAhead = 8 * 1024 * 1024;

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

bool onlyBlanks(std::string_view text)
{
    for (const char c : text) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

bool startsWithName(std::string_view line, std::string_view name)
{
    if (line.size() <= name.size() || !HeaderBlock::namesEqual(line.substr(0, name.size()), name))
        return false;
    const std::string_view rest = line.substr(name.size());
    const std::size_t colon = rest.find(':');
    return colon != std::string_view::npos && onlyBlanks(rest.substr(0, colon));
}

// An open container: a multipart with its boundary (which may be empty: its lines are then "--"),
// or an enclosed message (no boundary; it ends with its parent's).
struct Container {
    bool multipart = false;
    std::string boundary;
    // A part of a digest without a Content-Type is an enclosed message.
    bool digest = false;
};

struct ContentType {
    bool multipart = false;
    bool digest = false;
    bool enclosedMessage = false;
    std::optional<std::string> boundary;
};

// The type as the parser reads it: GMime's own reading of the field, so that every way of writing
// a boundary the parser understands (RFC 2231 pieces, a charset, quoting, comments) is seen here.
ContentType readContentType(const std::string& field, bool partOfDigest)
{
    ContentType read;
    if (field.empty()) {
        read.enclosedMessage = partOfDigest;
        return read;
    }
    MailLibraries::ensureInitialized();
    const std::size_t colon = field.find(':');
    const std::string value = colon == std::string::npos ? std::string() : field.substr(colon + 1);
    GObjectPtr<GMimeContentType> type(g_mime_content_type_parse(nullptr, value.c_str()));
    if (!type)
        return read;
    GMimeContentType* parsed = type.get();
    if (g_mime_content_type_is_type(parsed, "multipart", "*")) {
        read.multipart = true;
        read.digest = g_mime_content_type_is_type(parsed, "multipart", "digest");
        if (const char* boundary = g_mime_content_type_get_parameter(parsed, "boundary"))
            read.boundary = std::string(boundary);
        return read;
    }
    // A part of a split message and a reference to an external body are leaves: what follows
    // their header is content, not the header of an enclosed message.
    read.enclosedMessage = g_mime_content_type_is_type(parsed, "message", "*")
        && !g_mime_content_type_is_type(parsed, "message", "partial")
        && !g_mime_content_type_is_type(parsed, "message", "external-body");
    return read;
}

class Scanner {
public:
    explicit Scanner(std::string_view raw) : raw_(raw) {}

    MessageStructure::Scan run()
    {
        std::size_t position = 0;
        bool inHeader = true;
        startHeader();
        while (position < raw_.size() && problem_.isEmpty()) {
            const std::size_t newline = raw_.find('\n', position);
            const std::size_t end = newline == std::string_view::npos ? raw_.size() : newline + 1;
            const std::size_t lineBytes = end - position;
            const std::string_view line = withoutLineEnd(raw_.substr(position, lineBytes));
            position = end;
            const bool maybeBoundary = line.size() >= 2 && line[0] == '-' && line[1] == '-';
            if (inHeader) {
                // The parser ends a header at a boundary of an open multipart as at an empty line.
                if (!line.empty() && !(maybeBoundary && isOpenBoundary(line.substr(2)))) {
                    headerLine(line, lineBytes);
                    continue;
                }
                inHeader = endHeader();
                if (line.empty() || !problem_.isEmpty())
                    continue;
            }
            if (maybeBoundary)
                boundaryLine(line.substr(2), inHeader);
        }
        return {problem_, position, static_cast<int>(entities_)};
    }

private:
    void startHeader(bool partOfDigest = false)
    {
        partOfDigest_ = partOfDigest;
        headerBytes_ = 0;
        headerFields_ = 0;
        contentType_.clear();
        inContentType_ = false;
        finishSubject();
        inSubject_ = false;
        if (++entities_ > static_cast<std::size_t>(MessageDecoder::MaximumParts))
            problem_ = QStringLiteral("MIME の部分が多すぎる（%1 を超える）").arg(MessageDecoder::MaximumParts);
    }

    void headerLine(std::string_view line, std::size_t bytes)
    {
        headerBytes_ += bytes;
        const bool continued = line.front() == ' ' || line.front() == '\t';
        if (!continued) {
            ++headerFields_;
            ++allFields_;
            inContentType_ = startsWithName(line, "Content-Type");
            if (inContentType_)
                contentType_.clear();
            finishSubject();
            inSubject_ = startsWithName(line, "Subject");
        }
        if (inContentType_ && contentType_.size() < HeaderBlock::MaximumBytes)
            contentType_.append(line).push_back(' ');
        if (inSubject_)
            countSubjectLookAhead(line);
        if (headerBytes_ > HeaderBlock::MaximumBytes || headerFields_ > HeaderBlock::MaximumFields
            || allFields_ > MaximumFieldsInAllHeaders)
            problem_ = QStringLiteral("ヘッダーが長すぎる");
    }

    // The parser's look-ahead in a Subject, line by line: an encoded word that is closed costs the
    // distance to its "?=" (the openings inside it are never looked at); each opening after the last
    // "?=" costs the distance to the end of the field, counted once the field ends.
    void countSubjectLookAhead(std::string_view line)
    {
        char previous = 0;
        for (const char c : line) {
            ++subjectBytes_;
            if (previous == '=' && c == '?') {
                if (unclosedOpenings_ == 0)
                    firstUnclosedAt_ = subjectBytes_;
                ++unclosedOpenings_;
                unclosedOffsets_ += subjectBytes_;
            } else if (previous == '?' && c == '=' && unclosedOpenings_ > 0) {
                subjectLookAhead_ += subjectBytes_ - firstUnclosedAt_;
                unclosedOpenings_ = 0;
                unclosedOffsets_ = 0;
            }
            previous = c;
        }
        if (subjectLookAhead_ + unclosedOpenings_ * subjectBytes_ - unclosedOffsets_ > MaximumSubjectLookAhead)
            problem_ = QStringLiteral("件名の符号化（=?…?=）が壊れている");
    }

    void finishSubject()
    {
        subjectLookAhead_ += unclosedOpenings_ * subjectBytes_ - unclosedOffsets_;
        subjectBytes_ = 0;
        unclosedOpenings_ = 0;
        unclosedOffsets_ = 0;
    }

    // After a header: true when the next line starts another header (an enclosed message).
    bool endHeader()
    {
        const ContentType type = readContentType(contentType_, partOfDigest_);
        if (type.multipart) {
            // A parser reads a multipart without a boundary as one opaque body.
            if (type.boundary)
                open({true, *type.boundary, type.digest});
            return false;
        }
        if (type.enclosedMessage) {
            open({});
            if (problem_.isEmpty())
                startHeader();
            return problem_.isEmpty();
        }
        return false;
    }

    void open(Container container)
    {
        open_.push_back(std::move(container));
        if (open_.size() > static_cast<std::size_t>(MessageDecoder::MaximumDepth))
            problem_ = QStringLiteral("MIME の入れ子が多すぎる（%1 段を超える）").arg(MessageDecoder::MaximumDepth);
    }

    // The open multipart a line after "--" is a boundary of, innermost first; with closing set when
    // it is the final one.
    std::optional<std::size_t> openBoundary(std::string_view rest, bool& closing) const
    {
        for (std::size_t i = open_.size(); i-- > 0;) {
            if (!open_[i].multipart || !rest.starts_with(open_[i].boundary))
                continue;
            std::string_view after = rest.substr(open_[i].boundary.size());
            closing = after.starts_with("--");
            if (closing)
                after.remove_prefix(2);
            if (onlyBlanks(after))
                return i;
        }
        return std::nullopt;
    }

    bool isOpenBoundary(std::string_view rest) const
    {
        bool closing = false;
        return openBoundary(rest, closing).has_value();
    }

    // Closes every container inside the multipart the boundary belongs to; sets inHeader when a
    // new part begins.
    void boundaryLine(std::string_view rest, bool& inHeader)
    {
        bool closing = false;
        const std::optional<std::size_t> found = openBoundary(rest, closing);
        if (!found)
            return;
        open_.resize(closing ? *found : *found + 1);
        if (!closing) {
            startHeader(open_[*found].digest);
            inHeader = true;
        }
    }

    std::string_view raw_;
    std::vector<Container> open_;
    std::size_t entities_ = 0;
    std::size_t headerBytes_ = 0;
    std::size_t headerFields_ = 0;
    std::size_t allFields_ = 0;
    std::string contentType_;
    bool inContentType_ = false;
    bool inSubject_ = false;
    std::size_t subjectBytes_ = 0;
    std::size_t firstUnclosedAt_ = 0;
    std::size_t unclosedOpenings_ = 0;
    std::size_t unclosedOffsets_ = 0;
    std::size_t subjectLookAhead_ = 0;
    bool partOfDigest_ = false;
    QString problem_;
};

} // namespace

namespace MessageStructure {

Scan scan(std::string_view raw) { return Scanner(raw).run(); }

QString whyNotWhole(std::string_view raw) { return scan(raw).whyNotWhole; }

} // namespace MessageStructure
