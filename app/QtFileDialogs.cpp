#include "QtFileDialogs.h"

#include "TextPrinter.h"

#include <QFileDialog>
#include <QFont>
#include <QPrintDialog>
#include <QPrinter>

QString QtFileDialogs::dialogFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters.append(parts[i] + QStringLiteral(" (") + patterns + u')');
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> QtFileDialogs::openFileName(const QString& filter)
{
    const QString name = QFileDialog::getOpenFileName(parent_, QString(), QString(), dialogFilter(filter));
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> QtFileDialogs::saveFileName(const QString& filter, bool confirmOverwrite)
{
    const QFileDialog::Options options = confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite;
    const QString name = QFileDialog::getSaveFileName(parent_, QString(), QString(), dialogFilter(filter), nullptr, options);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<FileDialogs::PrintChoice> QtFileDialogs::print(const QString& text, bool hasSelection,
    const QString& fontFamily, double pointSize, bool bold, bool italic)
{
    QPrinter printer;
    if (hasSelection)
        printer.setPrintRange(QPrinter::Selection);
    QPrintDialog dialog(&printer, parent_);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, hasSelection);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    PrintChoice choice;
    choice.copies = printer.copyCount();
    choice.selectionOnly = printer.printRange() == QPrinter::Selection;

    QFont font(fontFamily);
    font.setPointSizeF(pointSize > 0 ? pointSize : 10.0);
    font.setBold(bold);
    font.setItalic(italic);
    TextPrinter::print(printer, text, font, choice.copies);
    return choice;
}
