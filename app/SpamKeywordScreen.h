#pragma once

#include "MessageBoxService.h"
#include "SpamKeywordList.h"

#include <QFrame>
#include <QList>

class QLineEdit;
class QListView;
class QStringListModel;

// The spam keyword screen (Frame9): the keyword list List7 with its count, the input Text43 and
// the buttons that add and delete keywords.
class SpamKeywordScreen : public QFrame {
    Q_OBJECT
public:
    static constexpr int InputBytes = SpamKeywordList::KeywordBytes;

    SpamKeywordScreen(const ProgramPaths& paths, MessageBoxService& messageBoxes, QWidget* parent = nullptr);

    // Fills the list and the count from the file; run when the spam tab is opened.
    void ListKeywords();
    // "登録"
    void AddKeyword();
    // "削除"
    void DeleteKeyword();

    static QString inputMissing() { return QStringLiteral("キーワードが入力されていません。"); }
    static QString blankIgnored();
    static QString questionMarksIgnored();
    // Put before a row whose keyword matches nothing (only "?" and blanks).
    static QString ignoredMark() { return QStringLiteral("【無効・判定に使われません】"); }
    static QString nothingSelected() { return QStringLiteral("データが選択されていません。"); }
    static QString deleteQuestion() { return QStringLiteral("選択された（行、青色）データを削除します。よろしいですか"); }

signals:
    // The record number of every row, row by row, each time the list has been filled.
    void rowsListed(const QList<int>& recordNumbers);

private:
    int selectedRow() const;
    void report(const StoreStatus& failure);

    SpamKeywordList keywords_;
    MessageBoxService& messageBoxes_;
    QLineEdit* input_;
    QLineEdit* count_;
    QListView* list_;
    QStringListModel* rows_;
};
