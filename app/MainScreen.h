#pragma once

#include "SortRule.h"

#include <QFrame>

#include <array>

class QCalendarWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The main screen (Frame5): the sort-rule editor, the Past/New counters beside the list of rule
// names, the status bar, the clock box, the calendar and the picture buttons. It owns its controls;
// what their clicks do is connected by the parts of the program that own those operations.
class MainScreen : public QFrame {
    Q_OBJECT
public:
    static constexpr int CounterRows = 12;
    static constexpr int DetailFields = 9;

    explicit MainScreen(QWidget* parent = nullptr);

    // The editor fields as typed, the memo's line breaks as CR LF.
    SortRule editorContents() const;
    void showInEditor(const SortRule& rule);
    // Fills List2 with one row per name, as given, each row as tall as a counter row.
    void showRuleNames(const QStringList& names);
    // Names the counters of each row after its folder for assistive tools; rows beyond the folders
    // are named as unused.
    void nameCounters(const QStringList& folderNames);

    QLineEdit* ruleNameBox() const { return ruleName_; }                          // Text38
    QLineEdit* ruleDetailBox(int index) const { return details_.at(index - 1); } // Text57(1) ... Text57(9)
    QLineEdit* ruleAddressBox() const { return ruleAddress_; }                    // Text16
    QPlainTextEdit* memoBox() const { return memo_; }                             // txtMemo
    QListWidget* ruleList() const { return ruleList_; }                           // List2
    QLineEdit* pastCounter(int row) const { return pastCounters_.at(row); }      // Text19(row)
    QLineEdit* newCounter(int row) const { return newCounters_.at(row); }        // Text21(row)
    QLabel* statusBar() const { return status_; }                                 // Label17
    QLineEdit* clockBox() const { return clock_; }                                // Text27
    QPlainTextEdit* explanationBox() const { return explanation_; }               // Text18
    QPlainTextEdit* hintBox() const { return hint_; }                             // Text45
    QLabel* animatedPicture() const { return climber_; }                          // Image3
    QLabel* bannerPicture() const { return banner_; }                             // Image1
    QLabel* countHeader() const { return countHeader_; }                          // Label10
    QPushButton* changeButton() const { return change_; }                         // Command24
    QPushButton* clearButton() const { return clear_; }                           // Command26
    QPushButton* hideExplanationButton() const { return hideExplanation_; }       // Command20
    QPushButton* showExplanationButton() const { return showExplanation_; }       // Command19
    QPushButton* viewerButton() const { return viewer_; }                         // Command22
    QPushButton* minimiseButton() const { return minimise_; }                     // Command21
    QPushButton* exitButton() const { return exit_; }                             // Command2

private:
    void buildRuleEditor();
    void buildButtonGroup();
    void buildBanner();
    void buildCounters();
    void buildCentre();
    void buildMemoAndButtons();
    void setReadingOrder();

    QLineEdit* ruleName_ = nullptr;
    std::array<QLineEdit*, DetailFields> details_{};
    QLineEdit* ruleAddress_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QListWidget* ruleList_ = nullptr;
    std::array<QLineEdit*, CounterRows> pastCounters_{};
    std::array<QLineEdit*, CounterRows> newCounters_{};
    QLabel* status_ = nullptr;
    QLineEdit* clock_ = nullptr;
    QCalendarWidget* calendar_ = nullptr;
    QPlainTextEdit* explanation_ = nullptr;
    QPlainTextEdit* hint_ = nullptr;
    QLabel* banner_ = nullptr;
    QLabel* climber_ = nullptr;
    QLabel* countHeader_ = nullptr;
    QPushButton* change_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* hideExplanation_ = nullptr;
    QPushButton* showExplanation_ = nullptr;
    QPushButton* viewer_ = nullptr;
    QPushButton* minimise_ = nullptr;
    QPushButton* exit_ = nullptr;
};
