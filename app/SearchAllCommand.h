#pragma once

#include "SearchAllForm.h"

#include <QObject>
#include <QPointer>

class MailSearch;
class MainForm;

// "全メール検索(&F)..." and Ctrl+Shift+F, on every screen of the main window (also where the menus
// are disabled): opens the search window, and shows the message chosen there on its folder's mail
// screen, as a click on its row does. The index is opened with the first search window and follows
// every change of a store file from then on; before that it catches up when first opened.
class SearchAllCommand : public QObject {
    Q_OBJECT
public:
    explicit SearchAllCommand(MainForm& form);
    ~SearchAllCommand() override;

    void open();
    SearchAllForm* window() const { return window_; }

private:
    void showMessage(int folder, int recordNumber);

    MainForm& form_;
    MailSearch* search_ = nullptr;
    QPointer<SearchAllForm> window_;
};
