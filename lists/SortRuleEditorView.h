#pragma once

#include "SortRule.h"

#include <QString>
#include <QStringList>

// The main screen's controls that the rule editor works on; the main window implements it.
class SortRuleEditorView {
public:
    virtual ~SortRuleEditorView() = default;

    // The selected row of the rule-name list List2, -1 when no row is selected.
    virtual int selectedRuleRow() const = 0;
    virtual void focusRuleList() = 0;

    // The editor fields Text38, Text57(1) ... Text57(9), Text16 and txtMemo, as typed.
    virtual SortRule editorContents() const = 0;
    virtual void showInEditor(const SortRule& rule) = 0;

    // Refills List2 with one untrimmed name per record, row i showing record i + 1, and rebuilds the
    // main window's row-to-record map with it.
    virtual void showRuleNames(const QStringList& names) = 0;
    // Text39: the address that incoming mail is matched against for rule 9.
    virtual void setRuleNineAddress(const QString& address) = 0;

    // Ends the program at once, without the shutdown steps.
    virtual void endProgram() = 0;
};
