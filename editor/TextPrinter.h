#pragma once

#include <QString>

class QFont;
class QPrinter;

// Prints plain text on a printer the user has chosen, one print job per copy, so that a printer
// that ignores its own copy count still gives every copy.
namespace TextPrinter {

void print(QPrinter& printer, const QString& text, const QFont& font, int copies);

} // namespace TextPrinter
