#include "DecodeEverything.h"

#include "AttachmentExtractor.h"
#include "AttachmentFolder.h"
#include "GMimeHandles.h"
#include "MessageDecoder.h"
#include "MessageStructure.h"
#include "SplitMessageStore.h"

#include <QDir>

#include <utility>
#include <vector>

namespace {

// What GMime built: every object (a message part and the part of the message inside it count
// apart, as the scan counts their two headers) and the most containers on one path.
struct Built {
    int objects = 0;
    int deepest = 0;
};

Built measure(GMimeObject* top)
{
    Built built;
    std::vector<std::pair<GMimeObject*, int>> pending{{top, 0}};
    while (!pending.empty()) {
        const auto [object, containers] = pending.back();
        pending.pop_back();
        if (!object)
            continue;
        ++built.objects;
        built.deepest = std::max(built.deepest, containers);
        if (GMIME_IS_MULTIPART(object)) {
            const int count = g_mime_multipart_get_count(GMIME_MULTIPART(object));
            for (int index = 0; index < count; ++index)
                pending.emplace_back(g_mime_multipart_get_part(GMIME_MULTIPART(object), index), containers + 1);
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
                pending.emplace_back(g_mime_message_get_mime_part(inner), containers + 1);
        }
    }
    return built;
}

// A message the scan lets through is one the parser builds within the caps.
void checkScanBoundsParser(std::string_view raw)
{
    if (!MessageStructure::whyNotWhole(raw).isEmpty())
        return;
    const GObjectPtr<GMimeMessage> message = GMimeHandles::parseMessage(raw);
    if (!message)
        return;
    const Built built = measure(g_mime_message_get_mime_part(message.get()));
    if (built.objects > MessageDecoder::MaximumParts || built.deepest > MessageDecoder::MaximumDepth)
        __builtin_trap();
}

} // namespace

void DecodeEverything(std::string_view raw, const QString& folder)
{
    const DecodedMessage decoded = MessageDecoder::decode(raw);
    const DecodedMessage header = MessageDecoder::decodeHeader(raw);
    if (decoded.subject != header.subject || decoded.from != header.from)
        __builtin_trap();
    checkScanBoundsParser(raw);
    if (SplitMessageStore::partInfo(raw))
        (void)MessageDecoder::decode(SplitMessageStore::reassemble({std::string(raw), std::string(raw)}));
    (void)AttachmentExtractor::extract(raw, AttachmentFolder(folder));
    QDir directory(folder);
    for (const QString& name : directory.entryList(QDir::Files | QDir::Hidden))
        directory.remove(name);
}
