#include "TextPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPrinter>
#include <QTextDocument>

#include <algorithm>

namespace TextPrinter {

void print(QPrinter& printer, const QString& text, const QFont& font, int copies)
{
    QTextDocument document;
    // Laid out for the printer itself, in its page's printable area: the text is printed as it
    // stands, without the page numbers a document without a page size gets.
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(font);
    document.setPlainText(text);
    document.setPageSize(QSizeF(printer.pageLayout().paintRectPixels(printer.resolution()).size()));
    printer.setCopyCount(1);
    for (int copy = 0; copy < std::max(1, copies); ++copy)
        document.print(&printer);
}

} // namespace TextPrinter
