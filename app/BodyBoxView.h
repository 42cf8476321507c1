#pragma once

#include "TextEditorView.h"

class QTextEdit;
class QWidget;

// The editor's view of the body box rtfEd and of the main window's caption.
class BodyBoxView final : public TextEditorView {
public:
    BodyBoxView(QTextEdit& box, QWidget& window) : box_(box), window_(window) {}

    QString text() const override;
    void setText(const QString& text) override;
    int selectionStart() const override;
    int selectionLength() const override;
    void select(int start, int length) override;
    void replaceSelection(const QString& text) override;
    void focus() override;
    TextFont font() const override;
    void setStyle(TextStyle style, bool on) override;
    void setWindowCaption(const QString& caption) override;

private:
    QTextEdit& box_;
    QWidget& window_;
};
