#pragma once

#include "TextEditorView.h"

#include <QString>

#include <array>
#include <cstdint>
#include <utility>

class Clipboard;
class FileDialogs;

// What an editor operation leaves for the window to tell: an error that stopped it, or a notice
// about a file that was written. Both empty when there is nothing to say (a cancelled dialog too).
struct [[nodiscard]] EditorOutcome {
    QString error;
    QString notice;

    static EditorOutcome nothingToSay() { return {}; }
    static EditorOutcome failed(QString text) { return {std::move(text), {}}; }
};

// The message shown above a body when it is saved: subject, sender and date as the view shows them.
struct MessageHeader {
    QString subject;
    QString from;
    QString date;
};

// The body box used as a small plain-text editor: new, open, save, print, the clipboard, the
// three styles of the whole box, jumps, search and select all.
class TextEditor {
public:
    TextEditor(TextEditorView& view, FileDialogs& dialogs, Clipboard& clipboard);

    // The file name of the last "new" text; empty until the first.
    const QString& EditorFileName() const { return editorFileName_; }
    // Counters of bold, italic and underline (see ToggleStyle).
    std::int16_t styleCounter(TextStyle style) const { return counters_.at(static_cast<std::size_t>(style)); }

    // Empties the box and writes an empty "新規作成.TXT" in the current directory, once.
    void NewText();
    EditorOutcome OpenText();
    // Puts the four header lines above the body, then saves it; the lines stay when the save is
    // cancelled or fails.
    EditorOutcome SaveShownMessage(const MessageHeader& header);
    EditorOutcome SaveTextAs();
    void PrintText();
    void CutText();
    void CopyText();
    void PasteText();
    // An odd counter switches the style off, an even one on; the first click therefore switches
    // it on.
    void ToggleStyle(TextStyle style);
    void JumpToStart();
    void JumpToEnd();
    // Selects the first exact occurrence from the start; nothing happens when there is none.
    void Search(const QString& sought);
    void SelectAll();

    static QString fileFilter() { return QStringLiteral("txtファイル(*.txt,*.ini)|*.txt;*.ini"); }
    static QString newTextName() { return QStringLiteral("新規作成.TXT"); }
    // The four lines of a saved or exported message, joined by CR LF, the body on the last.
    static QString withHeader(const MessageHeader& header, const QString& body);

private:
    TextEditorView& view_;
    FileDialogs& dialogs_;
    Clipboard& clipboard_;
    QString editorFileName_;
    std::array<std::int16_t, 3> counters_{};
    // The text last opened held bytes that were no character; its next save says so.
    bool openedUnreadableBytes_ = false;
};
