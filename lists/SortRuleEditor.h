#pragma once

#include "MessageBoxService.h"
#include "ProgramPaths.h"
#include "SortRuleBook.h"
#include "SortRuleEditorView.h"

// The sort rule editor of the main screen: loads a rule into the editor fields, writes them back
// in place or as a new rule, and empties them.
class SortRuleEditor {
public:
    SortRuleEditor(const ProgramPaths& paths, MessageBoxService& messageBoxes, SortRuleEditorView& view);

    // A mouse press on the rule-name list.
    void LoadRule();
    // "変更"
    void ChangeRule();
    // "クリア"
    void ClearRuleEditor();
    // "登録": refused once the file holds its ten rules, since an eleventh would never sort.
    void AppendRule();

    static QString othersRowWarning() { return QStringLiteral("その他は変更出来ません。特にメールアドレスを入力してはいけません。"); }
    static QString nothingSelected() { return QStringLiteral("データが選択されていません"); }
    static QString addressMissing() { return QStringLiteral("メールアドレスが入力されていません。"); }
    static QString nameMissing() { return QStringLiteral("名称が入力されていません。"); }
    static QString restartQuestion();
    static QString rulesFull();

private:
    // The names of all rules into the list, and rule 9's current address into Text39.
    bool reloadNames();
    void report(const StoreStatus& failure);
    // Tells the user about the first field holding a character the file cannot store; true then.
    bool refuseUnstorable(const SortRule& rule);

    SortRuleBook book_;
    MessageBoxService& messageBoxes_;
    SortRuleEditorView& view_;
};
