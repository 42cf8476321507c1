#include "AttachmentExtractor.h"

#include "GMimeHandles.h"
#include "MessageStructure.h"
#include "MimeParts.h"

#include <QMimeDatabase>

namespace {

QString fallbackName(const MimeParts::Attachment& attachment)
{
    if (GMIME_IS_MESSAGE_PART(attachment.object))
        return QStringLiteral("message.eml");
    const QString suffix = QMimeDatabase().mimeTypeForName(QString::fromStdString(attachment.contentType)).preferredSuffix();
    return suffix.isEmpty() ? QStringLiteral("attachment.bin") : QStringLiteral("attachment.") + suffix;
}

std::string contentOf(GMimeObject* object)
{
    if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        return inner ? GMimeHandles::serialized(GMIME_OBJECT(inner)) : std::string();
    }
    if (GMIME_IS_PART(object))
        return GMimeHandles::decodedContent(GMIME_PART(object));
    return {};
}

} // namespace

AttachmentExtractor::Result AttachmentExtractor::extract(std::string_view raw, const AttachmentFolder& folder)
{
    Result result;
    if (!MessageStructure::whyNotWhole(raw).isEmpty())
        return result;
    const GObjectPtr<GMimeMessage> message = GMimeHandles::parseMessage(raw);
    if (!message)
        return result;
    for (const MimeParts::Attachment& attachment : MimeParts::findAttachments(g_mime_message_get_mime_part(message.get()))) {
        QString name = attachment.name;
        if (GMIME_IS_MESSAGE_PART(attachment.object) && !name.isEmpty() && !name.endsWith(QStringLiteral(".eml"), Qt::CaseInsensitive))
            name += QStringLiteral(".eml");
        auto written = folder.writeNew(name, fallbackName(attachment), contentOf(attachment.object));
        if (!written.ok()) {
            result.error = written.error();
            return result;
        }
        result.written << written.value();
    }
    return result;
}
