#pragma once

#include <QString>

class QFont;
class QPrinter;

// Prints plain text on a printer the user has chosen, in the range chosen in its dialog: the whole
// text, the selection, or some pages of the whole text.
namespace TextPrinter {

// The font a body is printed in: the box's, set first in a family whose character map gives every
// kanji one code, so that a printed PDF's text reads back as the body. The common CJK fonts draw a
// kanji and its Kangxi radical (一 and ⼀) with one glyph, and a PDF then names the radical.
QFont printedFont(const QFont& boxFont);

// Every copy the user chose: one print job per copy, so that a printer that ignores its own copy
// count still gives each of them; printed to a file, all copies go one after the other into that
// one file, which a second job would overwrite.
void print(QPrinter& printer, const QString& wholeText, const QString& selectedText, const QFont& font, int copies);

} // namespace TextPrinter
