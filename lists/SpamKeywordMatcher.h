#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// Where a keyword was found in an incoming message. The position counts from the start of the text
// as it was handed in (before trimming), so a field that holds that text can select the hit.
struct SpamHit {
    enum class Field { Subject, Sender, Body };
    Field field = Field::Subject;
    qsizetype position = 0;
    qsizetype length = 0;
    QString keyword;
};

// The keywords of the spam keyword list as read once, each made ready for the search: a receive
// session tests every message against one reading, since the list cannot change while it runs.
class SpamKeywordMatcher {
public:
    // The keyword fields in file order, as stored (untrimmed).
    explicit SpamKeywordMatcher(const std::vector<QString>& keywordFields);

    // The first keyword, in file order, that the trimmed subject, sender or body (tested in that
    // order) contains, compared character for character: case and full-width/half-width forms
    // differ, but two characters that code page 932 stores as the same bytes are one (WAVE DASH and
    // FULLWIDTH TILDE). A keyword that SpamKeywordList::matchesNothing() never matches.
    std::optional<SpamHit> firstHit(const QString& subject, const QString& sender, const QString& body) const;

private:
    struct Keyword {
        QString trimmed;
        // As the code page stores it: what the texts' stored forms are searched for.
        QString stored;
        bool ascii = false;
    };
    std::vector<Keyword> keywords_;
};
