#include "SpamKeywordScreen.h"

#include "Cp932LengthValidator.h"
#include "ReadingOrder.h"
#include "ScreenControls.h"
#include "Twips.h"
#include "UnstorableInput.h"
#include "WidgetNames.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>


QString SpamKeywordScreen::blankIgnored()
{
    return QStringLiteral("空白だけのキーワードが登録されました。このキーワードは迷惑メールの判定には使われません。");
}

QString SpamKeywordScreen::questionMarksIgnored()
{
    return QStringLiteral("「?」と空白だけのキーワードが登録されました。"
                          "「?」を含むすべてのメールが削除されないよう、このキーワードは迷惑メールの判定には使われません。");
}

SpamKeywordScreen::SpamKeywordScreen(const ProgramPaths& paths, MessageBoxService& messageBoxes, QWidget* parent)
    : QFrame(parent)
    , keywords_(paths)
    , messageBoxes_(messageBoxes)
    , input_(new QLineEdit(this))
    , count_(new QLineEdit(this))
    , list_(new QListView(this))
    , rows_(new QStringListModel(this))
{
    setObjectName(WidgetNames::Frame9);
    setGeometry(Twips::rect(0, 1200, 11200, 7400));

    ScreenControls::label(QStringLiteral("撃退用キーワード(100字以内）"), Twips::rect(240, 240, 6000, 270), this);
    input_->setObjectName(WidgetNames::Text43);
    input_->setGeometry(Twips::rect(240, 540, 6000, 360));
    input_->setAccessibleName(QStringLiteral("撃退用キーワード"));
    input_->setValidator(new Cp932LengthValidator(InputBytes, input_));

    auto* add = new QPushButton(QStringLiteral("登録"), this);
    add->setObjectName(WidgetNames::Command36);
    add->setGeometry(Twips::rect(6480, 525, 1100, 390));
    auto* remove = new QPushButton(QStringLiteral("削除"), this);
    remove->setObjectName(WidgetNames::Command37);
    remove->setGeometry(Twips::rect(7700, 525, 1100, 390));

    ScreenControls::label(QStringLiteral("登録件数"), Twips::rect(9120, 240, 1200, 270), this);
    count_->setObjectName(WidgetNames::Text44);
    count_->setGeometry(Twips::rect(9120, 540, 1200, 360));
    count_->setReadOnly(true);
    count_->setAccessibleName(QStringLiteral("登録件数"));

    ScreenControls::label(QStringLiteral("登録・削除で、あなた用にカスタマイズして下さい。"), Twips::rect(240, 1020, 10700, 270), this);

    list_->setObjectName(WidgetNames::List7);
    list_->setGeometry(Twips::rect(240, 1380, 10700, 5760));
    list_->setModel(rows_);
    list_->setAccessibleName(QStringLiteral("キーワード一覧"));
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);

    connect(add, &QPushButton::clicked, this, &SpamKeywordScreen::AddKeyword);
    connect(remove, &QPushButton::clicked, this, &SpamKeywordScreen::DeleteKeyword);

    ReadingOrder::set(*this, {input_, add, remove, count_, list_});
}

void SpamKeywordScreen::report(const StoreStatus& failure)
{
    messageBoxes_.notify(failure.error(), MessageBoxService::Icon::Critical);
}

int SpamKeywordScreen::selectedRow() const
{
    const QModelIndexList selected = list_->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void SpamKeywordScreen::ListKeywords()
{
    rows_->setStringList({});
    const auto listing = keywords_.ListKeywords();
    QStringList texts;
    QList<int> recordNumbers;
    if (listing.ok()) {
        for (const KeywordRow& row : listing.value()) {
            // A keyword of question marks and blanks is what characters the file could not hold
            // became; it is kept but never matched, and the list says so.
            const bool ignored = !SpamKeywordList::isBlank(row.keyword) && SpamKeywordList::matchesNothing(row.keyword);
            texts.append(ignored ? ignoredMark() + row.keyword : row.keyword);
            recordNumbers.append(row.recordNumber);
        }
    }
    rows_->setStringList(texts);
    count_->setText(QString::number(texts.size()));
    emit rowsListed(recordNumbers);
    if (!listing.ok())
        report(listing.status());
}

void SpamKeywordScreen::AddKeyword()
{
    const QString typed = input_->text();
    if (typed.isEmpty()) {
        messageBoxes_.notify(inputMissing());
        return;
    }
    if (const QString refused = UnstorableInputNotice(typed, QStringLiteral("キーワード")); !refused.isEmpty()) {
        messageBoxes_.notify(refused, MessageBoxService::Icon::Exclamation);
        return;
    }
    const auto added = keywords_.AddKeyword(typed);
    if (!added.ok()) {
        report(added.status());
        return;
    }
    ListKeywords();
    input_->clear();
    if (SpamKeywordList::isBlank(typed))
        messageBoxes_.notify(blankIgnored(), MessageBoxService::Icon::Information);
    else if (SpamKeywordList::matchesNothing(typed))
        messageBoxes_.notify(questionMarksIgnored(), MessageBoxService::Icon::Information);
}

void SpamKeywordScreen::DeleteKeyword()
{
    const int row = selectedRow();
    if (row < 0) {
        messageBoxes_.notify(nothingSelected());
        return;
    }
    const bool remove = messageBoxes_.confirmDeletion(deleteQuestion());
    if (StoreStatus deleted = keywords_.DeleteKeyword(row + 1, remove); !deleted.ok())
        report(deleted);
    ListKeywords();
}
