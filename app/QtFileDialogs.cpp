#include "QtFileDialogs.h"

#include "TextPrinter.h"

#include <QFileDialog>
#include <QFont>
#include <QHeaderView>
#include <QPrintDialog>
#include <QPrinter>
#include <QTreeView>

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

std::optional<QString> QtFileDialogs::chosenFile(QFileDialog::AcceptMode mode, const QString& filter,
    QFileDialog::Options options)
{
    QFileDialog dialog(parent_, QString(), QString(), dialogFilter(filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOptions(options);
    // Qt's own dialog opens as small as its contents allow and gives its columns fixed widths, which
    // cut the type and date: the size, type and date columns follow their contents, the name takes
    // the rest.
    dialog.resize(DialogSize);
    if (auto* files = dialog.findChild<QTreeView*>()) {
        QHeaderView* header = files->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty() || dialog.selectedFiles().first().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtFileDialogs::openFileName(const QString& filter)
{
    return chosenFile(QFileDialog::AcceptOpen, filter, QFileDialog::Options());
}

std::optional<QString> QtFileDialogs::saveFileName(const QString& filter, bool confirmOverwrite)
{
    return chosenFile(QFileDialog::AcceptSave, filter,
        confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite);
}

std::optional<FileDialogs::PrintChoice> QtFileDialogs::print(const QString& wholeText, const QString& selectedText,
    const QString& fontFamily, double pointSize, bool bold, bool italic)
{
    const bool hasSelection = !selectedText.isEmpty();
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
    TextPrinter::print(printer, wholeText, selectedText, font, choice.copies);
    return choice;
}
