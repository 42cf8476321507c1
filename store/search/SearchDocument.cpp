#include "SearchDocument.h"

#include "Cp932Codec.h"
#include "FolderFiles.h"
#include "RecordLayouts.h"
#include "SearchFolding.h"
#include "TextHelpers.h"

#include <QDateTime>
#include <QTimeZone>

#include <cstring>

namespace {

// A text field as the view shows it, trimmed; the padding is cut off before decoding, as a body
// field is mostly padding. A space is never the second byte of a code page 932 character.
QString fieldText(std::string_view bytes, const FieldSpec& field)
{
    std::string_view text = bytes.substr(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width));
    const std::size_t end = text.find_last_not_of(' ');
    text = end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
    return TrimBlanks(Cp932Codec::decode(text));
}

} // namespace

SearchDocument SearchDocument::fromRecord(int folder, int recordNumber, std::string_view bytes)
{
    SearchDocument document;
    SearchHit& hit = document.hit;
    hit.folder = folder;
    hit.recordNumber = recordNumber;
    QString body;
    if (folder == FolderFiles::SentHistory) {
        using RecordLayouts::SentField;
        const RecordLayout& layout = RecordLayouts::Sent;
        hit.subject = fieldText(bytes, layout[SentField::Subject]);
        hit.party = fieldText(bytes, layout[SentField::To]);
        hit.date = fieldText(bytes, layout[SentField::SentAt]);
        body = fieldText(bytes, layout[SentField::Body]);
    } else {
        using RecordLayouts::MessageField;
        const RecordLayout& layout = RecordLayouts::Message;
        hit.subject = fieldText(bytes, layout[MessageField::Subject]);
        hit.party = fieldText(bytes, layout[MessageField::From]);
        hit.date = fieldText(bytes, layout[MessageField::Date]);
        body = fieldText(bytes, layout[MessageField::Body]);
    }
    hit.sortKey = sortKeyOf(hit.date);
    const QChar line = u'\n';
    document.foldedText = SearchFolding::fold(QString(hit.subject + line + hit.party + line + hit.date + line + body));
    return document;
}

qint64 SearchDocument::sortKeyOf(const QString& date)
{
    QString text = CutAtNul(date).trimmed();
    // A trailing comment such as "(JST)" is not part of the header form Qt reads.
    if (const qsizetype comment = text.indexOf(u'('); comment > 0)
        text = text.first(comment).trimmed();
    // The day of the week is left out: a sender's clock that names the wrong one still dates the mail.
    if (text.size() > 4 && text[3] == u',' && text[0].isLetter())
        text = text.sliced(4).trimmed();
    QDateTime parsed = QDateTime::fromString(text, Qt::RFC2822Date);
    if (!parsed.isValid()) {
        for (const QString& format : {QStringLiteral("yyyy/MM/dd H:mm:ss"), QStringLiteral("yyyy/M/d H:mm:ss"),
                 QStringLiteral("yyyy/MM/dd H:mm"), QStringLiteral("yyyy/M/d H:mm")}) {
            parsed = QDateTime::fromString(text, format);
            if (parsed.isValid())
                break;
        }
    }
    return parsed.isValid() ? parsed.toSecsSinceEpoch() : 0;
}

std::uint64_t SearchDocument::fingerprint(std::string_view bytes)
{
    // FNV-1a over 64-bit words, then the tail bytes.
    constexpr std::uint64_t prime = 0x100000001b3ULL;
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + i, 8);
        hash = (hash ^ word) * prime;
    }
    for (; i < bytes.size(); ++i)
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * prime;
    return hash ^ bytes.size();
}
