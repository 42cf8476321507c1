#include "SpamKeywordMatcher.h"

#include "Cp932Codec.h"
#include "SpamKeywordList.h"
#include "TextHelpers.h"

#include <algorithm>
#include <array>

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// The text trimmed of blanks, with the number of blanks cut in front.
struct TrimmedText {
    QStringView text;
    qsizetype offset = 0;
    // A keyword with a character beyond ASCII cannot be in it: a base64 body of megabytes is not
    // searched fifty times for Japanese keywords.
    bool ascii = false;
};

TrimmedText trimmed(QStringView text)
{
    const QStringView kept = TrimBlanksView(text);
    return {kept, kept.isEmpty() ? 0 : kept.data() - text.data(), isAscii(kept)};
}

} // namespace

SpamKeywordMatcher::SpamKeywordMatcher(const std::vector<QString>& keywordFields)
{
    for (const QString& field : keywordFields) {
        QString keyword = TrimBlanks(field);
        // An empty keyword is found in every text: it would condemn every message unseen.
        if (keyword.isEmpty() || SpamKeywordList::matchesNothing(keyword))
            continue;
        QString stored = Cp932Codec::storedForm(keyword);
        const bool ascii = isAscii(stored);
        keywords_.push_back({std::move(keyword), std::move(stored), ascii});
    }
}

std::optional<SpamHit> SpamKeywordMatcher::firstHit(const QString& subject, const QString& sender, const QString& body) const
{
    if (keywords_.empty())
        return std::nullopt;
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
    for (const Keyword& keyword : keywords_) {
        for (const auto& [field, text] : fields) {
            if (text.ascii && !keyword.ascii)
                continue;
            const qsizetype found = text.text.indexOf(keyword.stored, 0, Qt::CaseSensitive);
            if (found >= 0)
                return SpamHit{field, text.offset + found, keyword.trimmed.size(), keyword.trimmed};
        }
    }
    return std::nullopt;
}
