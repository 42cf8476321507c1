#include "GMimeHandles.h"

#include "MailLibraries.h"

namespace {

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
