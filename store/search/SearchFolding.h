#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The form in which stored texts and queries are compared, so that what a Japanese reader takes for
// the same text matches: compatibility forms are folded as Unicode's NFKC folds them (half-width
// katakana to full-width, ｶﾞ to ガ; full-width letters, digits and signs to ASCII) and then case is
// folded (ＡＢＣ, ABC and abc are one). Characters whose look is their meaning keep their identity:
// circled and parenthesised numbers and letters (①, ⑴, ⓐ), Roman numerals (Ⅳ), the enclosed and
// squared CJK signs (㈱, ㍻, ㌔). Hiragana and katakana stay apart.
namespace SearchFolding {

QString fold(QStringView text);

// The words of a query, folded: the query split at blanks (ASCII and full-width spaces, tabs, line
// breaks). A message matches when it holds every word.
QStringList queryWords(QStringView query);

// True when the folded text holds every folded word.
bool holdsAll(QStringView foldedText, const QStringList& words);

} // namespace SearchFolding
