#include "BodyBoxView.h"

#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

QString BodyBoxView::text() const { return box_.toPlainText(); }

void BodyBoxView::setText(const QString& text) { box_.setPlainText(text); }

int BodyBoxView::selectionStart() const { return box_.textCursor().selectionStart(); }

int BodyBoxView::selectionLength() const
{
    const QTextCursor cursor = box_.textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

void BodyBoxView::select(int start, int length)
{
    QTextCursor cursor = box_.textCursor();
    const int last = static_cast<int>(box_.toPlainText().size());
    cursor.setPosition(std::clamp(start, 0, last));
    cursor.setPosition(std::clamp(start + length, 0, last), QTextCursor::KeepAnchor);
    box_.setTextCursor(cursor);
}

void BodyBoxView::replaceSelection(const QString& text) { box_.textCursor().insertText(text); }

void BodyBoxView::focus() { box_.setFocus(Qt::OtherFocusReason); }

TextFont BodyBoxView::font() const
{
    const QFont font = box_.font();
    return {font.family(), font.pointSizeF(), font.bold(), font.italic(), font.underline()};
}

void BodyBoxView::setStyle(TextStyle style, bool on)
{
    QFont font = box_.font();
    switch (style) {
    case TextStyle::Bold: font.setBold(on); break;
    case TextStyle::Italic: font.setItalic(on); break;
    case TextStyle::Underline: font.setUnderline(on); break;
    }
    box_.setFont(font);
}

void BodyBoxView::setWindowCaption(const QString& caption) { window_.setWindowTitle(caption); }
