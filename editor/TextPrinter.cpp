#include "TextPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>

#include <algorithm>

namespace {

// Pages of a laid-out document, 1-based and both included; empty when first > last.
struct PageSpan {
    int first = 1;
    int last = 0;
};

PageSpan chosenPages(const QPrinter& printer, int pageCount)
{
    if (printer.printRange() != QPrinter::PageRange)
        return {1, pageCount};
    const int first = std::max(1, printer.fromPage());
    const int last = printer.toPage() > 0 ? std::min(pageCount, printer.toPage()) : pageCount;
    return {first, last};
}

void drawPages(QPrinter& printer, QPainter& painter, QTextDocument& document, PageSpan pages, bool& pagePrinted)
{
    const QSizeF page = document.pageSize();
    for (int number = pages.first; number <= pages.last; ++number) {
        if (pagePrinted)
            printer.newPage();
        const qreal top = (number - 1) * page.height();
        painter.save();
        painter.translate(0, -top);
        document.drawContents(&painter, QRectF(QPointF(0, top), page));
        painter.restore();
        pagePrinted = true;
    }
}

} // namespace

namespace TextPrinter {

QFont printedFont(const QFont& boxFont)
{
    QFont font = boxFont;
    font.setFamilies(QStringList{QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic")} + boxFont.families());
    return font;
}

void print(QPrinter& printer, const QString& wholeText, const QString& selectedText, const QFont& font, int copies)
{
    QTextDocument document;
    // Laid out for the printer itself, in its page's printable area: the text is printed as it
    // stands, without the page numbers a document without a page size gets.
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(printedFont(font));
    document.setPlainText(printer.printRange() == QPrinter::Selection ? selectedText : wholeText);
    document.setPageSize(QSizeF(printer.pageLayout().paintRectPixels(printer.resolution()).size()));
    const PageSpan pages = chosenPages(printer, document.pageCount());
    if (pages.first > pages.last)
        return;
    printer.setCopyCount(1);
    const bool oneFile = printer.outputFormat() == QPrinter::PdfFormat;
    QPainter painter;
    bool pagePrinted = false;
    for (int copy = 0; copy < std::max(1, copies); ++copy) {
        if (!painter.isActive()) {
            if (!painter.begin(&printer))
                return;
            pagePrinted = false;
        }
        drawPages(printer, painter, document, pages, pagePrinted);
        if (!oneFile)
            painter.end();
    }
    if (painter.isActive())
        painter.end();
}

} // namespace TextPrinter
