#pragma once

#include <QString>

enum class TextStyle { Bold, Italic, Underline };

struct TextFont {
    QString family;
    double pointSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// The body box as the editor sees it. Positions count characters of text(), whose line breaks are
// single "\n"; setText accepts CR LF, CR or LF between lines.
class TextEditorView {
public:
    virtual ~TextEditorView() = default;

    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
    virtual int selectionStart() const = 0;
    virtual int selectionLength() const = 0;
    // Selects length characters from start; length 0 puts the caret at start.
    virtual void select(int start, int length) = 0;
    virtual void replaceSelection(const QString& text) = 0;
    virtual void focus() = 0;
    // The font of the whole box; a style applies to all of its text.
    virtual TextFont font() const = 0;
    virtual void setStyle(TextStyle style, bool on) = 0;
    // The main window's caption, which shows the file last used.
    virtual void setWindowCaption(const QString& caption) = 0;

    QString selectedText() const { return text().mid(selectionStart(), selectionLength()); }
};
