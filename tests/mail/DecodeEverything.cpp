#include "DecodeEverything.h"

#include "AttachmentExtractor.h"
#include "AttachmentFolder.h"
#include "MessageDecoder.h"
#include "SplitMessageStore.h"

#include <QDir>

void DecodeEverything(std::string_view raw, const QString& folder)
{
    const DecodedMessage decoded = MessageDecoder::decode(raw);
    const DecodedMessage header = MessageDecoder::decodeHeader(raw);
    if (decoded.subject != header.subject || decoded.from != header.from)
        __builtin_trap();
    if (SplitMessageStore::partInfo(raw))
        (void)MessageDecoder::decode(SplitMessageStore::reassemble({std::string(raw), std::string(raw)}));
    (void)AttachmentExtractor::extract(raw, AttachmentFolder(folder));
    QDir directory(folder);
    for (const QString& name : directory.entryList(QDir::Files | QDir::Hidden))
        directory.remove(name);
}
