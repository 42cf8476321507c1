#pragma once

#include "FileDialogs.h"

#include <QFileDialog>
#include <QPointer>
#include <QWidget>

// The platform's open, save and printer dialogs; printing goes to the printer chosen there.
class QtFileDialogs final : public FileDialogs {
public:
    void setParentWindow(QWidget* window) { parent_ = window; }

    std::optional<QString> openFileName(const QString& filter) override;
    std::optional<QString> saveFileName(const QString& filter, bool confirmOverwrite) override;
    std::optional<PrintChoice> print(const QString& wholeText, const QString& selectedText, const QString& fontFamily,
        double pointSize, bool bold, bool italic) override;

    // "name|pattern;pattern|name|pattern" as the program writes filters, in the dialog's own form.
    static QString dialogFilter(const QString& filter);

    // Wide enough for the name, size, type and date columns at the program's font.
    static constexpr QSize DialogSize{800, 500};

private:
    std::optional<QString> chosenFile(QFileDialog::AcceptMode mode, const QString& filter, QFileDialog::Options options);

    QPointer<QWidget> parent_;
};
