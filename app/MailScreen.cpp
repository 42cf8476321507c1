#include "MailScreen.h"

#include "EnlargedView.h"
#include "FolderFiles.h"
#include "ListEnterKey.h"
#include "MailEditorCommands.h"
#include "MailListModel.h"
#include "MainForm.h"
#include "MessageDeletion.h"
#include "ReadingOrder.h"
#include "ScreenControls.h"
#include "TextHelpers.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeView>

#include <algorithm>

namespace {

namespace Names = WidgetNames;
using ScreenControls::box;
using ScreenControls::button;

// Twips inside the frame. The list keeps its left and top; its design width gives the columns
// their widths at start-up.
constexpr double ListTop = 1200;
constexpr double ListDesignWidth = 9375;
constexpr double ListDesignHeight = 2325;
constexpr double ViewBoxHeight = 375;
// Where opening a mail tab puts the body box back to (the editor moves it).
constexpr double BodyTop = 3900;
constexpr double BodyHeight = 3700;

} // namespace

MailScreen::MailScreen(MainForm& form, QWidget* parent)
    : QFrame(parent)
    , form_(form)
    , services_(form.services())
    , model_(new MailListModel(this))
    , list_(new QTreeView(this))
    , subject_(box(Names::Text7, Twips::rect(10, 3525, 5650, ViewBoxHeight), this))
    , sender_(box(Names::Text8, Twips::rect(5660, 3525, 3390, ViewBoxHeight), this))
    , date_(box(Names::Text9, Twips::rect(9030, 3525, 2260, ViewBoxHeight), this))
    , body_(new QTextEdit(this))
    , count_(box(Names::Text29, Twips::rect(9000, 495, 855, 330), this))
    , marker_(box(Names::Text48, Twips::rect(10000, 495, 375, 330), this))
    , toolbarStrip_(new QFrame(this))
{
    setObjectName(Names::Frame1_0);
    setGeometry(Twips::rect(0, 1200, 11200, 7400));
    setAutoFillBackground(true);

    toolbarStrip_->setObjectName(Names::Picture1_1);
    toolbarStrip_->setGeometry(Twips::rect(0, 0, 11200, 420));
    toolbarStrip_->setFrameShape(QFrame::StyledPanel);

    QPushButton* deleteOne = button(Names::Command3, QStringLiteral("一件削除"), Twips::rect(120, 480, 1095, 375), this);
    button(Names::Command4, QStringLiteral("アドレス帳登録"), Twips::rect(1275, 480, 1575, 375), this);
    button(Names::Command5, QStringLiteral("返事"), Twips::rect(2910, 480, 855, 375), this);
    QPushButton* deleteAll = button(Names::Command6, QStringLiteral("全件削除"), Twips::rect(3825, 480, 1095, 375), this);
    QPushButton* enlarge = button(Names::Command29, QStringLiteral("拡大して見る"), Twips::rect(4980, 480, 1335, 375), this);
    button(Names::Command27, QStringLiteral("Text Quick Save"), Twips::rect(6375, 480, 1575, 375), this);
    ScreenControls::label(QStringLiteral("件数"), Twips::rect(8400, 540, 600, 255), this);
    count_->setReadOnly(true);
    count_->setAccessibleName(QStringLiteral("件数"));
    subject_->setAccessibleName(QStringLiteral("Subject（件名）"));
    sender_->setAccessibleName(QStringLiteral("From（差出人）"));
    date_->setAccessibleName(QStringLiteral("Date（日付）"));
    marker_->hide();

    list_->setObjectName(Names::MailListView);
    list_->setAccessibleName(QStringLiteral("メール一覧"));
    list_->setModel(model_);
    list_->setGeometry(Twips::rect(0, ListTop, ListDesignWidth, ListDesignHeight));
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSortingEnabled(false);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The columns get their widths once, at start-up; the list's later sizes leave them alone.
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionsMovable(false);
    list_->viewport()->installEventFilter(this);
    ListEnterKey::install(list_, QStringLiteral("Enter キーで、選んだメールを表示します"), [this] { showSelectedMessage(); });

    body_->setObjectName(Names::rtfEd);
    body_->setAcceptRichText(false);
    body_->setAccessibleName(QStringLiteral("本文"));
    body_->setGeometry(Twips::rect(0, 3905, 11187, 3720));

    // The screen's hint box, over the body and hidden until a hint shows it.
    auto* hints = new QPlainTextEdit(this);
    hints->setObjectName(Names::Text5);
    hints->setGeometry(Twips::rect(3000, 4560, 6015, 2175));
    hints->setReadOnly(true);
    hints->setFocusPolicy(Qt::NoFocus);
    hints->setAccessibleName(QStringLiteral("ヒント"));
    hints->hide();

    connect(deleteOne, &QPushButton::clicked, this, &MailScreen::deleteSelectedMessage);
    connect(deleteAll, &QPushButton::clicked, this, &MailScreen::deleteAllMessages);
    connect(enlarge, &QPushButton::clicked, this, &MailScreen::openEnlargedView);
    connect(&form_, &MainForm::mailTabOpened, this, &MailScreen::openFolder);
    connect(&form_, &MainForm::outerSizeChanged, this, &MailScreen::followWindowSize);
    new MailEditorCommands(form_, *this, toolbarStrip_);

    // The toolbar strip first, then the buttons below it, the list, the view fields and the body.
    QList<QWidget*> order;
    for (QWidget* control : toolbarStrip_->findChildren<QWidget*>()) {
        if (control->focusPolicy() & Qt::TabFocus)
            order.append(control);
    }
    for (const QString& name : {Names::Command3, Names::Command4, Names::Command5, Names::Command6, Names::Command29, Names::Command27})
        order.append(findChild<QPushButton*>(name));
    order.append({count_, list_, subject_, sender_, date_, body_});
    ReadingOrder::set(*this, order);
}

bool MailScreen::eventFilter(QObject* watched, QEvent* event)
{
    // The list's click comes wherever the list is clicked, on a row or on the empty space below.
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        showSelectedMessage();
    return QFrame::eventFilter(watched, event);
}

// ---- Opening a mail tab ----

void MailScreen::openFolder(int folder)
{
    // The tab handler has set CurrentFolder, enabled the menus and shown this screen.
    marker_->clear();
    body_->setGeometry(body_->x(), Twips::toPixels(BodyTop), body_->width(), Twips::toPixels(BodyHeight));
    for (QWidget* shown : std::initializer_list<QWidget*>{subject_, sender_, date_, list_})
        shown->show();
    addressBox()->clear();
    emptyViewFields();
    const int rows = listFolder(folder, ViewFill::Trimmed);
    count_->setText(QString::number(rows));
    if (folder <= FolderFiles::OthersFolder) {
        form_.setPastCounter(folder, QString::number(rows));
        form_.setNewCounter(folder, QStringLiteral("0"));
    }
}

int MailScreen::listFolder(int folder, ViewFill fill)
{
    model_->clear();
    form_.resetRowRecordMap();
    auto listing = FolderListing::read(FolderFiles::folderFile(form_.paths(), folder));
    if (!listing.ok()) {
        report(listing.status());
        return 0;
    }
    const int rows = listing.value().rowCount();
    const std::optional<Record>& last = listing.value().lastRecord();
    if (last) {
        // Every record was read in turn, so the buffer holds the last one and the view shows it.
        buffers_.at(static_cast<std::size_t>(folder)) = *last;
        if (fill != ViewFill::Untouched) {
            showFields(fill == ViewFill::Trimmed ? TrimmedViewFields(*last) : StoredViewFields(*last));
            passBodyThroughClipboard();
        }
    }
    model_->setListing(std::move(listing.value()));
    for (int record = 1; record <= rows; ++record)
        form_.appendRowRecord(record);
    return rows;
}

void MailScreen::showFields(const MessageFields& fields)
{
    ScreenControls::showFromStart(subject_, fields.subject);
    ScreenControls::showFromStart(sender_, fields.from);
    ScreenControls::showFromStart(date_, fields.date);
    body_->setPlainText(fields.body);
}

void MailScreen::emptyViewFields() { showFields({}); }

void MailScreen::passBodyThroughClipboard()
{
    services_.clipboard.clear();
    services_.clipboard.setText(body_->toPlainText());
    // The body was set just before; laying a long body out again for the same text costs more than
    // comparing it.
    const QString passed = TrimBlanks(services_.clipboard.text());
    if (passed != body_->toPlainText())
        body_->setPlainText(passed);
}

QLineEdit* MailScreen::addressBox() { return form_.findChild<QLineEdit*>(Names::Text11); }

// ---- The message view ----

void MailScreen::showSelectedMessage()
{
    marker_->setText(QStringLiteral("1"));
    const int folder = form_.CurrentFolder;
    if (!FolderFiles::isFolder(folder))
        return;
    if (shownCount() == 0) {
        services_.messageBoxes.notify(nothingToSelect());
        return;
    }
    const int recordNumber = selectedRecordNumber();
    if (recordNumber == 0)
        return;
    const auto record = FolderFiles::folderFile(form_.paths(), folder).read(recordNumber);
    if (!record.ok()) {
        report(record.status());
        return;
    }
    if (!record.value())
        return;
    buffers_.at(static_cast<std::size_t>(folder)) = *record.value();
    showFields(TrimmedViewFields(*record.value()));
    count_->setText(QString::number(model_->rowCount()));
    passBodyThroughClipboard();
}

void MailScreen::showRecord(int recordNumber)
{
    if (recordNumber < 1 || recordNumber > model_->rowCount())
        return;
    const QModelIndex row = model_->index(recordNumber - 1, 0);
    list_->setCurrentIndex(row);
    list_->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(row);
    showSelectedMessage();
}

void MailScreen::openEnlargedView()
{
    form_.setMenusEnabled(false);
    if (!aMessageIsSelected())
        return;
    form_.showScreen(MainForm::Screen::Enlarged);
    enlargedView().move(0, 0);
    services_.clipboard.clear();
    services_.clipboard.setText(body_->toPlainText());
    enlargedView().showMessage(subject_->text(), sender_->text(), date_->text(), TrimBlanks(services_.clipboard.text()));
}

EnlargedView& MailScreen::enlargedView() const
{
    return *qobject_cast<EnlargedView*>(form_.screenFrame(MainForm::Screen::Enlarged));
}

// ---- Deleting ----

void MailScreen::deleteSelectedMessage()
{
    const int folder = form_.CurrentFolder;
    if (!FolderFiles::isFolder(folder))
        return;
    if (!aMessageIsSelected())
        return;
    const int recordNumber = selectedRecordNumber();
    // A click beside the rows leaves none selected: there is nothing to delete.
    if (recordNumber == 0) {
        services_.messageBoxes.notify(nothingSelected());
        return;
    }
    if (!services_.messageBoxes.confirmDeletion(deleteOneQuestion())) {
        marker_->clear();
        return;
    }
    marker_->clear();

    // Rows come only from a listing, which leaves the folder's last record in the buffer.
    const std::optional<Record>& buffer = buffers_.at(static_cast<std::size_t>(folder));
    const StoreStatus deleted = buffer ? MessageDeletion::deleteOne(form_.paths(), folder, recordNumber, *buffer)
                                       : StoreStatus::success();
    emptyViewFields();
    emit form_.storeChanged();
    if (!deleted.ok())
        report(deleted);

    const int rows = listFolder(folder, ViewFill::AsStored);
    count_->setText(QString::number(rows));
    if (folder <= FolderFiles::OthersFolder)
        form_.setPastCounter(folder, QString::number(rows));
}

void MailScreen::deleteAllMessages()
{
    const int folder = form_.CurrentFolder;
    if (!FolderFiles::isFolder(folder))
        return;
    if (!services_.messageBoxes.confirmDeletion(deleteAllQuestion(form_.folderName(folder))))
        return;
    const StoreStatus deleted = MessageDeletion::deleteAll(form_.paths(), folder);
    emit form_.storeChanged();
    if (!deleted.ok())
        report(deleted);
    const int rows = listFolder(folder, ViewFill::Untouched);
    if (folder <= FolderFiles::OthersFolder) {
        form_.setPastCounter(folder, QString::number(rows));
        form_.setNewCounter(folder, QStringLiteral("0"));
    }
    emptyViewFields();
    count_->setText(QString::number(rows));
}

// ---- Helpers ----

bool MailScreen::aMessageIsSelected()
{
    if (marker_->text().isEmpty()) {
        services_.messageBoxes.notify(nothingSelected());
        return false;
    }
    if (shownCount() == 0) {
        services_.messageBoxes.notify(nothingToSelect());
        return false;
    }
    return true;
}

int MailScreen::selectedRecordNumber() const
{
    const QModelIndexList selected = list_->selectionModel()->selectedRows();
    return selected.isEmpty() ? 0 : selected.first().row() + 1;
}

double MailScreen::shownCount() const { return LeadingNumber(count_->text()); }

void MailScreen::report(const StoreStatus& failure)
{
    services_.messageBoxes.notify(failure.error(), MessageBoxService::Icon::Critical);
}

// ---- Layout ----

void MailScreen::followWindowSize(double width, double height)
{
    const double listHeight = 0.25 * height;
    list_->setGeometry(Twips::rect(0, ListTop, 0.99 * width, listHeight));
    toolbarStrip_->setGeometry(Twips::rect(0, 0, width, 420));

    const double bodyLeft = Twips::fromPixels(body_->x());
    const double subjectLeft = bodyLeft + 10;
    const double senderLeft = subjectLeft + 0.5 * width;
    const double dateLeft = senderLeft + 0.3 * width - 20;
    const double boxTop = listHeight + 1200;
    subject_->setGeometry(Twips::rect(subjectLeft, boxTop, 0.5 * width, ViewBoxHeight));
    sender_->setGeometry(Twips::rect(senderLeft, boxTop, 0.3 * width, ViewBoxHeight));
    // The outer width includes the window's borders: the date box ends where the window's inside does.
    QRect date = Twips::rect(dateLeft, boxTop, 0.2 * width, ViewBoxHeight);
    date.setRight(std::min(date.right(), window()->width() - 1));
    date_->setGeometry(date);

    resize(Twips::size(width, height));
    body_->setGeometry(Twips::rect(bodyLeft, listHeight + 1580, 0.99 * width, 0.4 * height));
}
