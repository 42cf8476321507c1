#include "MessageStructure.h"

#include "HeaderBlock.h"
#include "MessageDecoder.h"
#include "MimeParameters.h"

#include <string>
#include <vector>

namespace {

// Header fields in all the message's headers together: the parser keeps every one of them, and a
// few million of them cost gigabytes.
constexpr std::size_t MaximumFieldsInAllHeaders = 10 * HeaderBlock::MaximumFields;

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

// An open container: a multipart with its boundary, or an enclosed message (no boundary; it ends
// with its parent's).
struct Container {
    std::string boundary;
};

class Scanner {
public:
    explicit Scanner(std::string_view raw) : raw_(raw) {}

    QString run()
    {
        std::size_t position = 0;
        bool inHeader = true;
        startHeader();
        while (position < raw_.size()) {
            const std::size_t newline = raw_.find('\n', position);
            const std::size_t end = newline == std::string_view::npos ? raw_.size() : newline + 1;
            const std::size_t lineBytes = end - position;
            const std::string_view line = withoutLineEnd(raw_.substr(position, lineBytes));
            position = end;
            if (inHeader) {
                if (line.empty()) {
                    inHeader = endHeader();
                    if (!problem_.isEmpty())
                        return problem_;
                    continue;
                }
                if (!headerLine(line, lineBytes))
                    return problem_;
                continue;
            }
            if (line.size() > 2 && line[0] == '-' && line[1] == '-' && boundaryLine(line.substr(2), inHeader)
                && !problem_.isEmpty())
                return problem_;
        }
        return problem_;
    }

private:
    void startHeader()
    {
        headerBytes_ = 0;
        headerFields_ = 0;
        contentType_.clear();
        inContentType_ = false;
        if (++entities_ > static_cast<std::size_t>(MessageDecoder::MaximumParts))
            problem_ = QStringLiteral("MIME の部分が多すぎる（%1 を超える）").arg(MessageDecoder::MaximumParts);
    }

    bool headerLine(std::string_view line, std::size_t bytes)
    {
        headerBytes_ += bytes;
        const bool continued = line.front() == ' ' || line.front() == '\t';
        if (!continued) {
            ++headerFields_;
            ++allFields_;
            inContentType_ = startsWithName(line, "Content-Type");
            if (inContentType_)
                contentType_.clear();
        }
        if (inContentType_ && contentType_.size() < HeaderBlock::MaximumBytes)
            contentType_.append(line).push_back(' ');
        if (headerBytes_ > HeaderBlock::MaximumBytes || headerFields_ > HeaderBlock::MaximumFields
            || allFields_ > MaximumFieldsInAllHeaders) {
            problem_ = QStringLiteral("ヘッダーが長すぎる");
            return false;
        }
        return true;
    }

    // After a header: true when the next line starts another header (an enclosed message).
    bool endHeader()
    {
        const std::size_t colon = contentType_.find(':');
        const std::string_view value = colon == std::string::npos ? std::string_view() : std::string_view(contentType_).substr(colon + 1);
        const std::string type = MimeParameters::mainValue(value);
        if (type.starts_with("multipart/")) {
            const std::string boundary = MimeParameters::raw(value, "boundary").value_or(std::string());
            // A parser reads a multipart without a boundary as one opaque body.
            if (!boundary.empty())
                open({boundary});
            return false;
        }
        // A part of a split message and a reference to an external body are leaves: what follows
        // their header is content, not the header of an enclosed message.
        if (type.starts_with("message/") && type != "message/partial" && type != "message/external-body") {
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

    // A line after "--": the boundary of an open multipart, innermost first, closes every container
    // inside it. Sets inHeader when a new part begins.
    bool boundaryLine(std::string_view rest, bool& inHeader)
    {
        for (std::size_t i = open_.size(); i-- > 0;) {
            const std::string& boundary = open_[i].boundary;
            if (boundary.empty() || !rest.starts_with(boundary))
                continue;
            std::string_view after = rest.substr(boundary.size());
            const bool closing = after.starts_with("--");
            if (closing)
                after.remove_prefix(2);
            if (!onlyBlanks(after))
                continue;
            open_.resize(closing ? i : i + 1);
            if (!closing) {
                startHeader();
                inHeader = true;
            }
            return true;
        }
        return false;
    }

    std::string_view raw_;
    std::vector<Container> open_;
    std::size_t entities_ = 0;
    std::size_t headerBytes_ = 0;
    std::size_t headerFields_ = 0;
    std::size_t allFields_ = 0;
    std::string contentType_;
    bool inContentType_ = false;
    QString problem_;
};

} // namespace

namespace MessageStructure {

QString whyNotWhole(std::string_view raw) { return Scanner(raw).run(); }

} // namespace MessageStructure
