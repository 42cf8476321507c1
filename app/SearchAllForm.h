#pragma once

#include "SearchResult.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QTableWidget;

// "全メール検索": a query box and the messages found in every folder and the sent history, newest
// first. The query is searched on Return and after a short pause in typing; Return or a double
// click on a row shows that message in the main window, and the window stays open for the next
// search. Esc closes it.
class SearchAllForm : public QWidget {
    Q_OBJECT
public:
    // The pause in typing after which the query is searched.
    static constexpr int TypingPause = 300;

    // folderName gives the caption of folder 1 to 11 as its tab shows it.
    SearchAllForm(std::function<QString(int)> folderName, QWidget* parent = nullptr);

    void showResult(const QString& query, const SearchResult& result, const QString& error);
    // Records indexed of those to index; the bar goes once done == total.
    void showIndexProgress(int done, int total);
    // Mail was stored, sent or deleted: the rows shown may name other records now, so the query is
    // searched again once the changes pause.
    void searchAgainSoon();

    QLineEdit* queryBox() const { return query_; }
    QTableWidget* list() const { return list_; }

signals:
    void searchRequested(const QString& query);
    void messageChosen(int folder, int recordNumber);

private:
    void searchNow();
    void chooseRow(int row);

    std::function<QString(int)> folderName_;
    QLineEdit* query_;
    QLabel* count_;
    QProgressBar* progress_;
    QTableWidget* list_;
    QTimer typingPause_;
};
