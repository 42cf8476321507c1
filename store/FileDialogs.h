#pragma once

#include <QString>

#include <optional>

// The open, save and printer dialogs. std::nullopt is a cancelled dialog.
class FileDialogs {
public:
    struct PrintChoice {
        int copies = 1;
        bool selectionOnly = false;
    };

    virtual ~FileDialogs() = default;
    // filter in the dialog's own form, e.g. "txtファイル(*.txt,*.ini)|*.txt;*.ini"
    virtual std::optional<QString> openFileName(const QString& filter) = 0;
    virtual std::optional<QString> saveFileName(const QString& filter, bool confirmOverwrite) = 0;
    // Prints in the given font what the user chooses in the dialog: the whole text, the selected
    // text (offered when there is one) or pages of the whole text, in as many copies as chosen.
    virtual std::optional<PrintChoice> print(const QString& wholeText, const QString& selectedText,
        const QString& fontFamily, double pointSize, bool bold, bool italic)
        = 0;
};
