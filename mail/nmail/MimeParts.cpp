#include "MimeParts.h"

#include "GMimeHandles.h"
#include "MessageDecoder.h"
#include "MimeParameters.h"
#include "SafeFileName.h"

#include <QMimeDatabase>

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

bool isToken(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || std::string_view("()<>@,;:\\\"/[]?=").find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

// The delivery report of a bounce and its kin are lines of "Name: value" a reader can read.
bool isReadableReport(const std::string& type)
{
    return type == "message/delivery-status" || type == "message/disposition-notification"
        || type == "message/global-delivery-status" || type == "message/global-disposition-notification"
        || type == "message/global-headers";
}

bool hasContentId(GMimeObject* object) { return !GMimeHandles::rawHeader(object, "Content-ID").empty(); }

class LayoutWalk {
public:
    MimeParts::Layout layout;

    void visit(GMimeObject* object, int depth)
    {
        if (!object || depth > MessageDecoder::MaximumDepth || ++parts_ > MessageDecoder::MaximumParts)
            return;
        if (GMIME_IS_MULTIPART(object)) {
            visitMultipart(GMIME_MULTIPART(object), depth);
            return;
        }
        // A part of a split message is no file: the split-message store rebuilds the whole first.
        if (GMIME_IS_MESSAGE_PARTIAL(object))
            return;
        const std::string disposition = dispositionOf(object);
        const std::string type = MimeParts::typeOf(object);
        if (GMIME_IS_PART(object) && disposition != "attachment" && (type.starts_with("text/") || isReadableReport(type))
            && (type == "text/plain" || type == "text/html" || nameOf(object).isEmpty())) {
            layout.body.push_back({type == "text/html" ? MimeParts::BodyPiece::Kind::Html : MimeParts::BodyPiece::Kind::Text, object, 0});
            return;
        }
        const QString name = nameOf(object);
        // Where the sender left the place of a part open, a picture, a sound, a film or a nameless
        // part belongs where it stands; a named file or forwarded message is attached.
        const bool media = type.starts_with("image/") || type.starts_with("audio/") || type.starts_with("video/");
        const bool marked = disposition == "inline"
            || (disposition.empty() && !GMIME_IS_MESSAGE_PART(object) && (media || name.isEmpty()));
        layout.attachments.push_back({object, name, type, marked});
        if (marked)
            layout.body.push_back({MimeParts::BodyPiece::Kind::Mark, object, layout.attachments.size() - 1});
    }

private:
    int parts_ = 0;

    bool within() const { return parts_ <= MessageDecoder::MaximumParts; }

    void visitMultipart(GMimeMultipart* multipart, int depth)
    {
        const int count = g_mime_multipart_get_count(multipart);
        const std::string subtype = MimeParts::typeOf(GMIME_OBJECT(multipart)).substr(10);
        if (subtype == "alternative" && count > 0) {
            visit(g_mime_multipart_get_part(multipart, chosenAlternative(multipart, count)), depth + 1);
            return;
        }
        if (subtype == "related" && count > 0) {
            const std::size_t before = layout.body.size();
            visit(g_mime_multipart_get_part(multipart, 0), depth + 1);
            bool htmlShown = false;
            for (std::size_t i = before; i < layout.body.size(); ++i)
                htmlShown = htmlShown || layout.body[i].kind == MimeParts::BodyPiece::Kind::Html;
            for (int i = 1; i < count && within(); ++i) {
                GMimeObject* part = g_mime_multipart_get_part(multipart, i);
                // The pictures an HTML body shows are part of it; its text names them by their alt text.
                if (htmlShown && !GMIME_IS_MULTIPART(part) && hasContentId(part) && dispositionOf(part) != "attachment") {
                    ++parts_;
                    continue;
                }
                visit(part, depth + 1);
            }
            return;
        }
        for (int i = 0; i < count && within(); ++i)
            visit(g_mime_multipart_get_part(multipart, i), depth + 1);
    }

    // Plain text when there is some, else HTML, else the last (richest) alternative.
    static int chosenAlternative(GMimeMultipart* multipart, int count)
    {
        int html = -1;
        for (int i = 0; i < count; ++i) {
            const std::string kind = textKind(g_mime_multipart_get_part(multipart, i), 0);
            if (kind == "text/plain")
                return i;
            if (kind == "text/html" && html < 0)
                html = i;
        }
        return html >= 0 ? html : count - 1;
    }

    // The type of the first body text inside object, looking a few levels down.
    static std::string textKind(GMimeObject* object, int depth)
    {
        if (!object || depth > 4)
            return {};
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const int count = std::min(g_mime_multipart_get_count(multipart), 16);
            for (int i = 0; i < count; ++i) {
                if (std::string kind = textKind(g_mime_multipart_get_part(multipart, i), depth + 1); !kind.empty())
                    return kind;
            }
            return {};
        }
        if (!GMIME_IS_PART(object) || dispositionOf(object) == "attachment")
            return {};
        const std::string type = MimeParts::typeOf(object);
        return type == "text/plain" || type == "text/html" ? type : std::string();
    }
};

} // namespace

namespace MimeParts {

std::string typeOf(GMimeObject* object)
{
    const std::string declared = MimeParameters::mainValue(GMimeHandles::rawHeader(object, "Content-Type"));
    const std::size_t slash = declared.find('/');
    if (!declared.empty() && (slash == std::string::npos || !isToken(std::string_view(declared).substr(0, slash))
            || !isToken(std::string_view(declared).substr(slash + 1))))
        return GMIME_IS_MULTIPART(object) ? "multipart/mixed" : "text/plain";
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!type)
        return "text/plain";
    const char* main = g_mime_content_type_get_media_type(type);
    const char* sub = g_mime_content_type_get_media_subtype(type);
    std::string text = std::string(main ? main : "application") + '/' + (sub ? sub : "octet-stream");
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

Layout layoutOf(GMimeObject* root)
{
    LayoutWalk walk;
    walk.visit(root, 0);
    return std::move(walk.layout);
}

QString senderFileName(const Attachment& attachment)
{
    QString name = attachment.name;
    if (GMIME_IS_MESSAGE_PART(attachment.object) && !name.isEmpty() && !name.endsWith(QStringLiteral(".eml"), Qt::CaseInsensitive))
        name += QStringLiteral(".eml");
    return name;
}

QString fallbackFileName(const Attachment& attachment)
{
    if (GMIME_IS_MESSAGE_PART(attachment.object))
        return QStringLiteral("message.eml");
    const QString suffix = QMimeDatabase().mimeTypeForName(QString::fromStdString(attachment.contentType)).preferredSuffix();
    return suffix.isEmpty() ? QStringLiteral("attachment.bin") : QStringLiteral("attachment.") + suffix;
}

QString plannedFileName(const Attachment& attachment)
{
    // The fallback asks the MIME database, which costs more than the rest of the name: only when needed.
    const QString safe = SafeFileName::make(senderFileName(attachment), QString());
    return safe.isEmpty() ? fallbackFileName(attachment) : safe;
}

QString markOf(const Attachment& attachment, const QString& fileName)
{
    const std::string& type = attachment.contentType;
    const QString kind = type.starts_with("image/") ? QStringLiteral("画像")
        : type.starts_with("audio/")                ? QStringLiteral("音声")
        : type.starts_with("video/")                ? QStringLiteral("動画")
        : GMIME_IS_MESSAGE_PART(attachment.object)  ? QStringLiteral("メール")
                                                    : QStringLiteral("添付");
    return QStringLiteral("［%1: %2］").arg(kind, fileName);
}

} // namespace MimeParts
