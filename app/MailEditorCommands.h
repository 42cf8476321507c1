#pragma once

#include "BodyBoxView.h"
#include "TextEditor.h"

#include <QObject>

class MailScreen;
class MainForm;
class QLineEdit;
class QWidget;
struct Services;

// The body box of the received-mail screen as a text editor: builds the editor toolbar, the search
// box and the header copy box on the screen's toolbar strip, and wires them, "Text Quick Save" and
// the "ファイル(&F)" and "編集(&E)" menus to the editor's operations. Errors are told in message boxes.
class MailEditorCommands : public QObject {
    Q_OBJECT
public:
    MailEditorCommands(MainForm& form, MailScreen& screen, QWidget* toolbarStrip);

    TextEditor& editor() { return editor_; }

    // A toolbar button by its key; "SaveAs" does what "Save" does.
    void runToolbarButton(const QString& key);
    // "Text Quick Save"
    void quickSave();
    // "コピー（Subject/from/Data）"
    void copyHeaderField();
    // "検索"
    void search();

private:
    void buildStripControls(QWidget* strip);
    void connectMenus();
    MessageHeader shownHeader() const;
    void tell(const EditorOutcome& outcome);

    MainForm& form_;
    MailScreen& screen_;
    Services& services_;
    BodyBoxView view_;
    TextEditor editor_;
    QLineEdit* searchBox_ = nullptr;
    QLineEdit* copyBox_ = nullptr;
};
