#pragma once

#include "SortRuleEditor.h"
#include "SortRuleEditorView.h"

#include <QObject>

class MainForm;
class QPushButton;

// The sort rule editor on the main screen: connects the rule list List2 (a mouse press loads the
// rule), "変更", "クリア" and the "登録" button Command25, which it places to the right of the
// editor, to SortRuleEditor.
class MainScreenRuleEditor : public QObject, private SortRuleEditorView {
    Q_OBJECT
public:
    explicit MainScreenRuleEditor(MainForm& form);

    QPushButton* appendButton() const { return append_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int selectedRuleRow() const override;
    void focusRuleList() override;
    SortRule editorContents() const override;
    void showInEditor(const SortRule& rule) override;
    void showRuleNames(const QStringList& names) override;
    void setRuleNineAddress(const QString& address) override;
    void endProgram() override;

    MainForm& form_;
    SortRuleEditor editor_;
    QPushButton* append_;
    bool pressing_ = false;
};
