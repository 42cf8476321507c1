#include "AttachmentExtractor.h"

#include "GMimeHandles.h"
#include "MessageStructure.h"
#include "MimeParts.h"

#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace {

// Writes the part's content straight from the parser into the file: a large attachment is never
// held in memory a second time.
int writeContent(GMimeObject* object, int fd)
{
    const int own = ::dup(fd);
    if (own < 0)
        return errno;
    // A pipe stream writes through write(2) and, unlike a file stream, does not fsync on flush:
    // attachments are flushed together before QUIT.
    GObjectPtr<GMimeStream> file(g_mime_stream_pipe_new(own));
    gint64 written = 0;
    if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        if (inner)
            written = g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, file.get());
    } else if (GMIME_IS_PART(object)) {
        if (GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(object)))
            written = g_mime_data_wrapper_write_to_stream(content, file.get());
    }
    if (written < 0 || g_mime_stream_flush(file.get()) != 0)
        return EIO;
    return 0;
}

} // namespace

AttachmentExtractor::Result AttachmentExtractor::extract(std::string_view raw, const AttachmentFolder& folder, const ParsedMessage* parsed)
{
    Result result;
    GObjectPtr<GMimeMessage> ownParse;
    GMimeMessage* message = parsed ? parsed->message.get() : nullptr;
    if (!message) {
        if (!MessageStructure::whyNotWhole(raw).isEmpty())
            return result;
        ownParse = GMimeHandles::parseMessage(raw);
        message = ownParse.get();
    }
    if (!message)
        return result;
    for (const MimeParts::Attachment& attachment : MimeParts::layoutOf(g_mime_message_get_mime_part(message)).attachments) {
        const QString fallback = MimeParts::fallbackFileName(attachment);
        const QString name = MimeParts::senderFileName(attachment);
        auto written = folder.writeNewWith(name, fallback, [&](int fd) { return writeContent(attachment.object, fd); });
        if (!written.ok()) {
            result.error = written.error();
            return result;
        }
        result.written << written.value();
        if (attachment.markedInBody) {
            result.marks.push_back({MimeParts::markOf(attachment, MimeParts::plannedFileName(attachment)),
                MimeParts::markOf(attachment, QFileInfo(written.value()).fileName())});
        }
    }
    return result;
}

QString AttachmentExtractor::withWrittenNames(QString body, const std::vector<Result::Mark>& marks)
{
    qsizetype from = 0;
    for (const Result::Mark& mark : marks) {
        const qsizetype at = body.indexOf(mark.decoded, from);
        if (at < 0)
            continue;
        body.replace(at, mark.decoded.size(), mark.written);
        from = at + mark.written.size();
    }
    return body;
}
