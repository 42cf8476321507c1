#include "GMimeHandles.h"

#include "HeaderBlock.h"
#include "MailLibraries.h"

#include <optional>

namespace {

bool isFieldLine(std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c <= 0x20 || c >= 0x7F)
            return false;
    }
    return true;
}

// A message as mailers damage it, mended so that its text survives the parse: a first header
// line that starts with a blank (a continuation of nothing) loses the blank, and a header not
// ended by an empty line (or no header at all) ends before the first line that is no header
// field. Nothing when the message needs no mending.
std::optional<std::string> mended(std::string_view raw)
{
    std::size_t start = 0;
    while (start < raw.size() && (raw[start] == ' ' || raw[start] == '\t'))
        ++start;
    const std::string_view limit = raw.substr(0, std::min(raw.size(), HeaderBlock::MaximumBytes));
    std::size_t at = start;
    bool first = true;
    while (at < limit.size()) {
        std::size_t end = limit.find('\n', at);
        const std::string_view line = limit.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        if (line.empty() || line == "\r")
            break;
        const bool continuation = !first && (line[0] == ' ' || line[0] == '\t');
        // An mbox separator line may open a message taken from a file.
        const bool separator = first && line.starts_with("From ");
        if (!continuation && !separator && !isFieldLine(line)) {
            std::string copy(raw.substr(start, at - start));
            copy += at > start && raw[at - 1] == '\n' && at >= 2 && raw[at - 2] == '\r' ? "\r\n" : "\n";
            copy += raw.substr(at);
            return copy;
        }
        if (end == std::string_view::npos)
            break;
        at = end + 1;
        first = false;
    }
    if (start == 0)
        return std::nullopt;
    return std::string(raw.substr(start));
}

std::string bytesOf(GMimeStream* stream)
{
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    if (!array || array->len == 0)
        return {};
    return std::string(reinterpret_cast<const char*>(array->data), array->len);
}

} // namespace

namespace GMimeHandles {

GObjectPtr<GMimeMessage> parseMessage(std::string_view raw)
{
    MailLibraries::ensureInitialized();
    const std::optional<std::string> mend = mended(raw);
    if (mend)
        raw = *mend;
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(raw.data(), raw.size()));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    return GObjectPtr<GMimeMessage>(g_mime_parser_construct_message(parser.get(), nullptr));
}

std::string decodedContent(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, stream.get()) < 0)
        return {};
    return bytesOf(stream.get());
}

std::string encodedContent(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    GMimeStream* source = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
    if (!source)
        return {};
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_stream_reset(source);
    if (g_mime_stream_write_to_stream(source, stream.get()) < 0)
        return {};
    return bytesOf(stream.get());
}

std::string serialized(GMimeObject* object)
{
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    if (g_mime_object_write_to_stream(object, nullptr, stream.get()) < 0)
        return {};
    return bytesOf(stream.get());
}

std::string rawHeader(GMimeObject* object, const char* name)
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    if (!headers)
        return {};
    GMimeHeader* header = g_mime_header_list_get_header(headers, name);
    if (!header)
        return {};
    const char* value = g_mime_header_get_raw_value(header);
    return value ? std::string(value) : std::string();
}

} // namespace GMimeHandles
