#include "SearchAllForm.h"

#include "WidgetNames.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Names = WidgetNames;

namespace {
enum Column { FolderColumn, DateColumn, PartyColumn, SubjectColumn, ColumnCount };
constexpr int RecordRole = Qt::UserRole;
constexpr int FolderRole = Qt::UserRole + 1;
} // namespace

SearchAllForm::SearchAllForm(std::function<QString(int)> folderName, QWidget* parent)
    : QWidget(parent, Qt::Window), folderName_(std::move(folderName)), query_(new QLineEdit(this)),
      count_(new QLabel(this)), progress_(new QProgressBar(this)), list_(new QTableWidget(0, ColumnCount, this))
{
    setObjectName(Names::SearchAllForm);
    setWindowTitle(QStringLiteral("全メール検索"));
    resize(760, 480);

    auto* label = new QLabel(QStringLiteral("検索する文字(&S):"), this);
    label->setBuddy(query_);
    query_->setObjectName(Names::SearchAllText);
    query_->setAccessibleName(QStringLiteral("検索する文字"));
    query_->setPlaceholderText(QStringLiteral("件名・差出人・宛先・日付・本文（空白で区切るとすべてを含むメール）"));
    count_->setObjectName(Names::SearchAllCount);
    progress_->setObjectName(Names::SearchAllProgress);
    progress_->setFormat(QStringLiteral("索引を作成中 %p%（作成中は全メールを直接読んで検索します）"));
    progress_->hide();

    list_->setObjectName(Names::SearchAllList);
    list_->setAccessibleName(QStringLiteral("見つかったメール"));
    list_->setHorizontalHeaderLabels(
        {QStringLiteral("フォルダ"), QStringLiteral("日付"), QStringLiteral("差出人／宛先"), QStringLiteral("件名")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setTabKeyNavigation(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setColumnWidth(FolderColumn, 110);
    list_->setColumnWidth(DateColumn, 190);
    list_->setColumnWidth(PartyColumn, 190);

    auto* queryLine = new QHBoxLayout;
    queryLine->addWidget(label);
    queryLine->addWidget(query_, 1);
    queryLine->addWidget(count_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(queryLine);
    layout->addWidget(progress_);
    layout->addWidget(list_, 1);

    typingPause_.setSingleShot(true);
    typingPause_.setInterval(TypingPause);
    connect(&typingPause_, &QTimer::timeout, this, &SearchAllForm::searchNow);
    connect(query_, &QLineEdit::textEdited, this, [this] { typingPause_.start(); });
    connect(query_, &QLineEdit::returnPressed, this, &SearchAllForm::searchNow);
    // Return on a row and a double click both activate it.
    connect(list_, &QTableWidget::activated, this, [this](const QModelIndex& index) { chooseRow(index.row()); });
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void SearchAllForm::searchNow()
{
    typingPause_.stop();
    count_->setText(QStringLiteral("検索中…"));
    emit searchRequested(query_->text());
}

void SearchAllForm::showResult(const QString& query, const SearchResult& result, const QString& error)
{
    if (query != query_->text())
        return;
    list_->setRowCount(0);
    list_->setRowCount(static_cast<int>(result.rows.size()));
    for (int row = 0; row < result.rows.size(); ++row) {
        const SearchHit& hit = result.rows.at(row);
        const QStringList texts{folderName_(hit.folder), hit.date, hit.party, hit.subject};
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(texts.at(column));
            item->setData(FolderRole, hit.folder);
            item->setData(RecordRole, hit.recordNumber);
            list_->setItem(row, column, item);
        }
    }
    if (!error.isEmpty())
        count_->setText(error);
    else if (result.count > result.rows.size())
        count_->setText(QStringLiteral("%1 件（新しい %2 件を表示）").arg(result.count).arg(result.rows.size()));
    else
        count_->setText(QStringLiteral("%1 件").arg(result.count));
    if (!result.rows.isEmpty())
        list_->setCurrentCell(0, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void SearchAllForm::searchAgainSoon()
{
    if (isVisible() && !query_->text().trimmed().isEmpty())
        typingPause_.start();
}

void SearchAllForm::showIndexProgress(int done, int total)
{
    progress_->setVisible(done < total);
    progress_->setRange(0, total);
    progress_->setValue(done);
}

void SearchAllForm::chooseRow(int row)
{
    const QTableWidgetItem* item = list_->item(row, 0);
    if (item)
        emit messageChosen(item->data(FolderRole).toInt(), item->data(RecordRole).toInt());
}
