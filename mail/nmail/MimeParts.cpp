#include "MimeParts.h"

#include "GMimeHandles.h"
#include "MessageDecoder.h"
#include "MimeParameters.h"

#include <functional>

namespace {

std::string dispositionOf(GMimeObject* object)
{
    return MimeParameters::mainValue(GMimeHandles::rawHeader(object, "Content-Disposition"));
}

QString nameOf(GMimeObject* object)
{
    const std::string disposition = GMimeHandles::rawHeader(object, "Content-Disposition");
    if (auto name = MimeParameters::text(disposition, "filename"); name && !name->trimmed().isEmpty())
        return *name;
    const std::string type = GMimeHandles::rawHeader(object, "Content-Type");
    if (auto name = MimeParameters::text(type, "name"); name && !name->trimmed().isEmpty())
        return *name;
    return QString();
}

std::string typeOf(GMimeObject* object)
{
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!type)
        return "application/octet-stream";
    const char* main = g_mime_content_type_get_media_type(type);
    const char* sub = g_mime_content_type_get_media_subtype(type);
    std::string text = std::string(main ? main : "application") + '/' + (sub ? sub : "octet-stream");
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

// Visits every leaf depth first within the depth and part limits; a forwarded message is a leaf.
void walk(GMimeObject* root, const std::function<void(GMimeObject*, int)>& visitLeaf)
{
    int parts = 0;
    std::function<void(GMimeObject*, int)> visit = [&](GMimeObject* object, int depth) {
        if (!object || depth > MessageDecoder::MaximumDepth || ++parts > MessageDecoder::MaximumParts)
            return;
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < count && parts <= MessageDecoder::MaximumParts; ++i)
                visit(g_mime_multipart_get_part(multipart, i), depth + 1);
            return;
        }
        visitLeaf(object, depth);
    };
    visit(root, 0);
}

} // namespace

namespace MimeParts {

BodyParts findBodyParts(GMimeObject* root)
{
    BodyParts found;
    walk(root, [&](GMimeObject* object, int) {
        if (!GMIME_IS_PART(object) || GMIME_IS_MESSAGE_PARTIAL(object) || dispositionOf(object) == "attachment")
            return;
        const std::string type = typeOf(object);
        if (type == "text/html") {
            if (!found.html)
                found.html = object;
        } else if (type.starts_with("text/") && !found.plain && (type == "text/plain" || nameOf(object).isEmpty())) {
            found.plain = object;
        }
    });
    return found;
}

std::vector<Attachment> findAttachments(GMimeObject* root)
{
    const BodyParts body = findBodyParts(root);
    std::vector<Attachment> attachments;
    walk(root, [&](GMimeObject* object, int) {
        // A part of a split message is no file: the split-message store rebuilds the whole first.
        if (object == body.plain || object == body.html || GMIME_IS_MESSAGE_PARTIAL(object))
            return;
        const std::string disposition = dispositionOf(object);
        const QString name = nameOf(object);
        const std::string type = typeOf(object);
        bool attached = disposition == "attachment" || !name.isEmpty();
        if (!attached && GMIME_IS_MESSAGE_PART(object))
            attached = true;
        // Pictures of an HTML body (found by Content-ID) are part of the body, not files.
        if (!attached && !type.starts_with("text/") && disposition != "inline"
            && GMimeHandles::rawHeader(object, "Content-ID").empty())
            attached = true;
        if (attached)
            attachments.push_back({object, name, type});
    });
    return attachments;
}

} // namespace MimeParts
