#pragma once

#include "FileDialogs.h"

#include <QPointer>
#include <QWidget>

// The platform's open, save and printer dialogs; printing goes to the printer chosen there.
class QtFileDialogs final : public FileDialogs {
public:
    void setParentWindow(QWidget* window) { parent_ = window; }

    std::optional<QString> openFileName(const QString& filter) override;
    std::optional<QString> saveFileName(const QString& filter, bool confirmOverwrite) override;
    std::optional<PrintChoice> print(const QString& text, bool hasSelection, const QString& fontFamily,
        double pointSize, bool bold, bool italic) override;

    // "name|pattern;pattern|name|pattern" as the program writes filters, in the dialog's own form.
    static QString dialogFilter(const QString& filter);

private:
    QPointer<QWidget> parent_;
};
