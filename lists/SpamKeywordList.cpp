#include "SpamKeywordList.h"

#include "Cp932Codec.h"
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

StoreResult<std::optional<SpamHit>> SpamKeywordList::IsSpam(QStringView subject, QStringView sender, QStringView body) const
{
    // Compared as the code page stores them, so the forms of one character that Shift_JIS and
    // UTF-8 mail decode to (WAVE DASH and FULLWIDTH TILDE) meet; positions stay those of the texts.
    const QString storedSubject = Cp932Codec::storedForm(subject);
    const QString storedSender = Cp932Codec::storedForm(sender);
    const QString storedBody = Cp932Codec::storedForm(body);
    const std::array<std::pair<SpamHit::Field, TrimmedText>, 3> fields{{
        {SpamHit::Field::Subject, trimmed(storedSubject)},
        {SpamHit::Field::Sender, trimmed(storedSender)},
        {SpamHit::Field::Body, trimmed(storedBody)},
    }};
    std::optional<SpamHit> hit;
    const StoreStatus status = file().forEach([&](int, std::string_view bytes) {
        const Record record(RecordLayouts::Keyword, std::string(bytes));
        const QString keyword = TrimBlanks(record.text(KeywordField::Keyword));
        // An empty keyword is found in every text: it would condemn every message unseen.
        if (keyword.isEmpty() || matchesNothing(keyword))
            return true;
        const QString stored = Cp932Codec::storedForm(keyword);
        for (const auto& [field, text] : fields) {
            const qsizetype found = text.text.indexOf(stored, 0, Qt::CaseSensitive);
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
