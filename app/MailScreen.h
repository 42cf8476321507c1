#pragma once

#include "FolderListing.h"
#include "Record.h"

#include <QFrame>

#include <array>
#include <optional>

class EnlargedView;
class MailListModel;
class MainForm;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTreeView;
struct Services;
class StoreStatus;

// The received-mail screen (Frame1(0)), shared by the ten folders and the sent history: the message
// list, the view fields, the count box, the delete buttons and the way into the enlarged view.
class MailScreen : public QFrame {
    Q_OBJECT
public:
    MailScreen(MainForm& form, QWidget* parent = nullptr);

    // Tabs 7 to 17: lists folder k (11 the sent history) and shows its newest message.
    void openFolder(int folder);
    // A click on the list, on a row or beside the rows.
    void showSelectedMessage();
    // Selects the row of record n, scrolls it into view and shows it as a click on it does.
    void showRecord(int recordNumber);
    // "拡大して見る"
    void openEnlargedView();
    // "一件削除"
    void deleteSelectedMessage();
    // "全件削除"
    void deleteAllMessages();

    // Follows the main window's outer size in twips.
    void followWindowSize(double width, double height);

    EnlargedView& enlargedView() const;
    // The record last read from or written to a store file, per folder; a deletion of one message
    // writes it back marked.
    const std::optional<Record>& recordBuffer(int folder) const { return buffers_.at(static_cast<std::size_t>(folder)); }

    QTreeView* listView() const { return list_; }      // MailListView
    QLineEdit* subjectBox() const { return subject_; } // Text7
    QLineEdit* senderBox() const { return sender_; }   // Text8
    QLineEdit* dateBox() const { return date_; }       // Text9
    QTextEdit* bodyBox() const { return body_; }       // rtfEd
    QLineEdit* countBox() const { return count_; }     // Text29
    QLineEdit* markerBox() const { return marker_; }   // Text48

    static QString nothingSelected() { return QStringLiteral("データが選択されていません"); }
    static QString nothingToSelect() { return QStringLiteral("選択するデータがありません。"); }
    static QString deleteOneQuestion() { return QStringLiteral("選択された（行、青色）データを削除します。よろしいですか"); }
    static QString deleteAllQuestion(const QString& folderName)
    {
        return QStringLiteral("「%1」のすべてのデータを削除して良いですか？").arg(folderName);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class ViewFill { Trimmed, AsStored, Untouched };

    // Fills the list, RowRecordMap and the folder's record buffer from the file, and the view
    // fields from its last record; returns the number of rows.
    int listFolder(int folder, ViewFill fill);
    void showFields(const MessageFields& fields);
    void emptyViewFields();
    void passBodyThroughClipboard();
    // The address book's mail-address box Text11.
    QLineEdit* addressBox();
    void setCounters(int folder, int rows, bool resetNew);
    // The checks before the enlarged view and deleting one: a click since the folder was opened,
    // and a folder that is not empty. Says what is missing.
    bool aMessageIsSelected();
    int selectedRecordNumber() const;
    double shownCount() const;
    void report(const StoreStatus& failure);
    void buildControls();

    MainForm& form_;
    Services& services_;
    MailListModel* model_;
    QTreeView* list_;
    QLineEdit* subject_;
    QLineEdit* sender_;
    QLineEdit* date_;
    QTextEdit* body_;
    QLineEdit* count_;
    QLineEdit* marker_;
    QFrame* toolbarStrip_;
    std::array<std::optional<Record>, 12> buffers_;
};
