#include "SpamKeywordList.h"

#include "RecordLayouts.h"
#include "TextHelpers.h"

using RecordLayouts::KeywordField;

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

bool SpamKeywordList::matchesNothing(QStringView keyword)
{
    // "?" is what a character the file cannot hold was stored as: such a keyword would be found in
    // every message with a question mark and delete it unseen.
    for (const QChar c : keyword) {
        if (c != u'?' && c != u' ' && c != QChar(0x3000))
            return false;
    }
    return true;
}

StoreResult<SpamKeywordMatcher> SpamKeywordList::ReadMatcher() const
{
    std::vector<QString> fields;
    const StoreStatus status = file().forEach([&](int, std::string_view bytes) {
        fields.push_back(Record(RecordLayouts::Keyword, std::string(bytes)).text(KeywordField::Keyword));
        return true;
    });
    if (!status.ok())
        return status;
    return SpamKeywordMatcher(fields);
}

StoreResult<std::optional<SpamHit>> SpamKeywordList::IsSpam(QStringView subject, QStringView sender, QStringView body) const
{
    const auto matcher = ReadMatcher();
    if (!matcher.ok())
        return matcher.status();
    return matcher.value().firstHit(subject.toString(), sender.toString(), body.toString());
}
