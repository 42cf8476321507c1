#include "TextPrinter.h"

#include <QFont>
#include <QPrinter>
#include <QTextDocument>

#include <algorithm>

namespace TextPrinter {

void print(QPrinter& printer, const QString& text, const QFont& font, int copies)
{
    QTextDocument document;
    document.setDefaultFont(font);
    document.setPlainText(text);
    printer.setCopyCount(1);
    for (int copy = 0; copy < std::max(1, copies); ++copy)
        document.print(&printer);
}

} // namespace TextPrinter
