#include "SpamKeywordList.h"

#include "RecordLayouts.h"
#include "TextHelpers.h"

#include <array>

namespace {

using RecordLayouts::KeywordField;

// The text trimmed of blanks, as a view into the text, with the number of blanks cut in front.
struct TrimmedText {
    QStringView text;
    qsizetype offset = 0;
};

TrimmedText trimmed(QStringView text)
{
    const QString kept = TrimBlanks(text);
    if (kept.isEmpty())
        return {};
    // Only blanks precede the kept text, so its first occurrence is where it begins.
    const qsizetype offset = text.indexOf(kept);
    return {text.sliced(offset, kept.size()), offset};
}

} // namespace

SpamKeywordList::SpamKeywordList(const ProgramPaths& paths) : paths_(paths) {}

RecordFile SpamKeywordList::file() const
{
    return RecordFile(paths_.dataFile(QStringLiteral("vbmdata50.data")), RecordLayouts::Keyword);
}

QString SpamKeywordList::temporaryPath() const { return paths_.dataFile(QStringLiteral("VBMDATA50.TMP")); }

StoreResult<QList<KeywordRow>> SpamKeywordList::ListKeywords() const
{
    QList<KeywordRow> rows;
    const StoreStatus status = file().forEach([&](int recordNumber, std::string_view bytes) {
        const Record record(RecordLayouts::Keyword, std::string(bytes));
        rows.append({recordNumber, CutAtNul(record.text(KeywordField::Keyword))});
        return true;
    });
    if (!status.ok())
        return status;
    return rows;
}

StoreResult<int> SpamKeywordList::AddKeyword(QStringView typed) const
{
    Record record(RecordLayouts::Keyword);
    record.setText(KeywordField::Keyword, typed);
    return file().append(record);
}

StoreStatus SpamKeywordList::DeleteKeyword(int recordNumber, bool remove) const
{
    const RecordFile keywords = file();
    if (remove) {
        const auto stored = keywords.read(recordNumber);
        if (!stored.ok())
            return stored.status();
        // A row whose record has gone meanwhile has nothing left to mark; writing it would only
        // lengthen the file.
        if (stored.value()) {
            Record marked = *stored.value();
            marked.setLive(0);
            if (StoreStatus written = keywords.write(recordNumber, marked); !written.ok())
                return written;
        }
    }
    return keywords.compact(temporaryPath());
}

bool SpamKeywordList::isBlank(QStringView keyword) { return TrimBlanks(keyword).isEmpty(); }

StoreResult<std::optional<SpamHit>> SpamKeywordList::IsSpam(QStringView subject, QStringView sender, QStringView body) const
{
    const std::array<std::pair<SpamHit::Field, TrimmedText>, 3> fields{{
        {SpamHit::Field::Subject, trimmed(subject)},
        {SpamHit::Field::Sender, trimmed(sender)},
        {SpamHit::Field::Body, trimmed(body)},
    }};
    std::optional<SpamHit> hit;
    const StoreStatus status = file().forEach([&](int, std::string_view bytes) {
        const Record record(RecordLayouts::Keyword, std::string(bytes));
        const QString keyword = TrimBlanks(record.text(KeywordField::Keyword));
        // An empty keyword is found in every text: it would condemn every message unseen.
        if (keyword.isEmpty())
            return true;
        for (const auto& [field, text] : fields) {
            const qsizetype found = text.text.indexOf(keyword, 0, Qt::CaseSensitive);
            if (found >= 0) {
                hit = SpamHit{field, text.offset + found, keyword.size(), keyword};
                return false;
            }
        }
        return true;
    });
    if (!status.ok())
        return status;
    return hit;
}
