#include "TextEditor.h"

#include "AtomicFile.h"
#include "Clipboard.h"
#include "EditorTextFile.h"
#include "FileDialogs.h"
#include "TextHelpers.h"

#include <QStringList>

#include <utility>

TextEditor::TextEditor(TextEditorView& view, FileDialogs& dialogs, Clipboard& clipboard)
    : view_(view), dialogs_(dialogs), clipboard_(clipboard)
{
}

QString TextEditor::withHeader(const MessageHeader& header, const QString& body)
{
    return QStringLiteral("Subject:  ") + header.subject + QStringLiteral("\r\nFrom:  ") + header.from
        + QStringLiteral("\r\nDate:  ") + header.date + QStringLiteral("\r\nBody:  ") + body;
}

void TextEditor::NewText()
{
    if (editorFileName_.contains(newTextName()))
        return;
    view_.setText(QString());
    openedUnreadableBytes_ = false;
    editorFileName_ = editorFileName_.left(editorFileName_.lastIndexOf(u'/') + 1) + newTextName();
    // The empty file only marks where a new text would go; not being able to write it stops nothing.
    (void)AtomicFile::write(editorFileName_, {});
    view_.setWindowCaption(newTextName() + QStringLiteral("      ") + editorFileName_);
}

EditorOutcome TextEditor::OpenText()
{
    const std::optional<QString> path = dialogs_.openFileName(fileFilter());
    if (!path)
        return EditorOutcome::nothingToSay();
    const StoreResult<EditorTextFile::ReadText> read = EditorTextFile::read(*path);
    if (!read.ok())
        return EditorOutcome::failed(read.error());
    view_.setWindowCaption(*path);
    view_.setText(read.value().text);
    openedUnreadableBytes_ = read.value().unreadableBytes;
    return EditorOutcome::nothingToSay();
}

EditorOutcome TextEditor::SaveShownMessage(const MessageHeader& header)
{
    view_.setText(withHeader(header, view_.text()));
    return SaveTextAs();
}

EditorOutcome TextEditor::SaveTextAs()
{
    const std::optional<QString> path = dialogs_.saveFileName(fileFilter(), true);
    if (!path)
        return EditorOutcome::nothingToSay();
    const StoreResult<bool> written = EditorTextFile::write(*path, view_.text());
    if (!written.ok())
        return EditorOutcome::failed(written.error());
    // The caption names the file only once it holds the text.
    view_.setWindowCaption(*path);
    QStringList notices;
    if (written.value())
        notices << EditorTextFile::replacedCharactersNotice(*path);
    // Told at the first save of what was opened; the user then knows what the "・" are.
    if (std::exchange(openedUnreadableBytes_, false) && view_.text().contains(EditorTextFile::UnreadableMark))
        notices << EditorTextFile::unreadableBytesNotice(*path);
    return {QString(), notices.join(QStringLiteral("\r\n\r\n"))};
}

void TextEditor::PrintText()
{
    const QString selected = view_.selectionLength() > 0 ? view_.selectedText() : QString();
    const TextFont font = view_.font();
    (void)dialogs_.print(view_.text(), selected, font.family, font.pointSize, font.bold, font.italic);
}

void TextEditor::CutText()
{
    const QString selected = view_.selectedText();
    clipboard_.clear();
    if (!selected.isEmpty())
        clipboard_.setText(selected);
    view_.replaceSelection(QString());
    view_.focus();
}

void TextEditor::CopyText()
{
    const int length = view_.selectionLength();
    const int after = length > 0 ? view_.selectionStart() + length : 0;
    clipboard_.clear();
    if (length > 0)
        clipboard_.setText(view_.selectedText());
    view_.select(after, 0);
    view_.focus();
}

void TextEditor::PasteText()
{
    view_.replaceSelection(TrimBlanks(clipboard_.text()));
    view_.focus();
}

void TextEditor::ToggleStyle(TextStyle style)
{
    std::int16_t& counter = counters_.at(static_cast<std::size_t>(style));
    const bool on = counter % 2 == 0;
    counter = on ? 0 : 1;
    view_.setStyle(style, on);
    ++counter;
}

void TextEditor::JumpToStart()
{
    view_.select(0, 0);
    view_.focus();
}

void TextEditor::JumpToEnd()
{
    view_.select(static_cast<int>(view_.text().size()), 0);
    view_.focus();
}

void TextEditor::Search(const QString& sought)
{
    const qsizetype found = view_.text().indexOf(sought, 0, Qt::CaseSensitive);
    if (found < 0)
        return;
    view_.focus();
    view_.select(static_cast<int>(found), static_cast<int>(sought.size()));
}

void TextEditor::SelectAll() { view_.select(0, static_cast<int>(view_.text().size())); }
