#include "AddressBookScreen.h"

#include "Cp932Codec.h"
#include "Cp932LengthValidator.h"
#include "ListEnterKey.h"
#include "MailScreen.h"
#include "MainForm.h"
#include "ReadingOrder.h"
#include "RecordLayouts.h"
#include "ScreenControls.h"
#include "TextHelpers.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QEvent>
#include <QFontDatabase>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>

namespace {

namespace Names = WidgetNames;
using ScreenControls::box;
using ScreenControls::button;
using ScreenControls::label;

constexpr int CountBoxBytes = 2;
const QString AddressLabel = QStringLiteral("メールアドレス");
const QString NameLabel = QStringLiteral("名前（名称）");
const QString CardNameLabel = QStringLiteral("名刺");

// Shown fields are cut to a number of characters first, then trimmed.
QString shown(const QString& field, int characters) { return TrimBlanks(QStringView(field).first(std::min<qsizetype>(field.size(), characters))); }

qsizetype withoutTrailingSpaces(const QString& text)
{
    qsizetype length = text.size();
    while (length > 0 && text[length - 1] == u' ')
        --length;
    return length;
}

} // namespace

QString AddressBookScreen::unencodableMessage(const QString& boxLabel, const QString& text)
{
    const QString characters = Cp932Codec::unstorableCharacters(text);
    if (characters.isEmpty())
        return {};
    return QStringLiteral("「%1」に保存できない文字が含まれています: %2\r\nこれらの文字を除いてから登録してください。").arg(boxLabel, characters);
}

QString AddressBookScreen::rowText(const AddressEntry& entry, qsizetype addressColumn)
{
    return entry.address.left(addressColumn).leftJustified(addressColumn) + QStringLiteral("  ") + entry.name;
}

AddressBookScreen::AddressBookScreen(MainForm& form, QWidget* parent)
    : QFrame(parent)
    , form_(form)
    , services_(form.services())
    , book_(form.paths())
    , address_(box(Names::Text11, Twips::rect(1920, 240, 4800, 330), this))
    , name_(box(Names::Text6, Twips::rect(1920, 660, 3600, 330), this))
    , count_(box(Names::Text10, Twips::rect(9600, 240, 600, 330), this))
    , cardName_(box(Names::Text50, Twips::rect(1920, 1080, 3600, 330), this))
    , list_(new QListWidget(this))
{
    setObjectName(Names::Frame2);
    setGeometry(Twips::rect(0, 1200, 11200, 7400));
    setAutoFillBackground(true);

    label(AddressLabel, Twips::rect(240, 285, 1600, 255), this)->setBuddy(address_);
    label(NameLabel, Twips::rect(240, 705, 1600, 255), this)->setBuddy(name_);
    label(CardNameLabel, Twips::rect(240, 1125, 1600, 255), this)->setBuddy(cardName_);
    label(QStringLiteral("登録件数"), Twips::rect(8640, 285, 900, 255), this)->setBuddy(count_);
    address_->setValidator(new Cp932LengthValidator(AddressBook::AddressBoxBytes, address_));
    name_->setValidator(new Cp932LengthValidator(AddressBook::NameBoxBytes, name_));
    count_->setValidator(new Cp932LengthValidator(CountBoxBytes, count_));
    count_->setReadOnly(true);
    address_->setAccessibleName(AddressLabel);
    name_->setAccessibleName(NameLabel);
    cardName_->setAccessibleName(CardNameLabel);
    count_->setAccessibleName(QStringLiteral("登録件数"));

    QPushButton* paste = button(Names::Command8, QStringLiteral("貼付"), Twips::rect(6840, 217, 975, 375), this);
    QPushButton* add = button(Names::Command10, QStringLiteral("登録"), Twips::rect(5640, 637, 975, 375), this);
    QPushButton* remove = button(Names::Command15, QStringLiteral("削除"), Twips::rect(6720, 637, 975, 375), this);
    QPushButton* card = button(Names::Command38, QStringLiteral("名刺挿入"), Twips::rect(5640, 1057, 1335, 375), this);

    list_->setObjectName(Names::List3);
    list_->setGeometry(Twips::rect(240, 1560, 10700, 1800));
    list_->setAccessibleName(QStringLiteral("アドレス帳"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Fixed-width characters line the names up in one column after the padded addresses.
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list_->viewport()->installEventFilter(this);
    ListEnterKey::install(list_, QStringLiteral("Enter キーで、選んだアドレスを入力欄に出します"), [this] { SelectAddressRow(); });

    // The screen's hint box, below the list and hidden until a hint shows it.
    QLineEdit* hints = box(Names::Text51, Twips::rect(2640, 3480, 6015, 1695), this);
    hints->setReadOnly(true);
    hints->setFocusPolicy(Qt::NoFocus);
    hints->setAccessibleName(QStringLiteral("ヒント"));
    hints->hide();

    connect(paste, &QPushButton::clicked, this, &AddressBookScreen::PasteAddress);
    connect(add, &QPushButton::clicked, this, &AddressBookScreen::RegisterAddress);
    connect(remove, &QPushButton::clicked, this, &AddressBookScreen::DeleteAddress);
    connect(card, &QPushButton::clicked, this, &AddressBookScreen::InsertCardName);
    connect(&form_, &MainForm::addressBookTabOpened, this, &AddressBookScreen::LoadAddressList);

    ReadingOrder::set(*this, {address_, paste, count_, name_, add, remove, cardName_, card, list_});
}

bool AddressBookScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        SelectAddressRow();
    return QFrame::eventFilter(watched, event);
}

void AddressBookScreen::report(const StoreStatus& failure)
{
    services_.messageBoxes.notify(failure.error(), MessageBoxService::Icon::Critical);
}

int AddressBookScreen::selectedRow() const
{
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void AddressBookScreen::LoadAddressList()
{
    form_.resetRowRecordMap();
    list_->clear();
    const auto entries = book_.entries();
    if (!entries.ok()) {
        count_->setText(QStringLiteral("0"));
        report(entries.status());
        return;
    }
    qsizetype addressColumn = 0;
    for (const AddressEntry& entry : entries.value())
        addressColumn = std::max(addressColumn, withoutTrailingSpaces(entry.address));
    for (const AddressEntry& entry : entries.value()) {
        list_->addItem(rowText(entry, addressColumn));
        form_.appendRowRecord(entry.recordNumber);
    }
    count_->setText(QString::number(entries.value().size()));
}

void AddressBookScreen::SelectAddressRow()
{
    const int row = selectedRow();
    if (row < 0) {
        services_.messageBoxes.show({nothingSelected(), QString(), MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
        list_->setFocus();
        return;
    }
    if (row >= form_.RowRecordMap.size())
        return;
    const auto record = book_.read(form_.RowRecordMap.at(row));
    if (!record.ok()) {
        report(record.status());
        return;
    }
    if (!record.value())
        return;
    name_->setText(shown(record.value()->text(RecordLayouts::AddressField::Name), AddressBook::NameCharacters));
    address_->setText(shown(record.value()->text(RecordLayouts::AddressField::Address), AddressBook::AddressBoxBytes));
}

bool AddressBookScreen::refuseUnencodable(const QString& boxLabel, const QString& text)
{
    const QString message = unencodableMessage(boxLabel, text);
    if (message.isEmpty())
        return false;
    services_.messageBoxes.notify(message, MessageBoxService::Icon::Exclamation);
    return true;
}

void AddressBookScreen::RegisterAddress()
{
    if (refuseUnencodable(NameLabel, name_->text()) || refuseUnencodable(AddressLabel, address_->text()))
        return;
    const auto registered = book_.RegisterAddress(name_->text(), address_->text());
    if (!registered.ok()) {
        const bool full = registered.error() == AddressBook::bookFull();
        services_.messageBoxes.notify(registered.error(), full ? MessageBoxService::Icon::Exclamation : MessageBoxService::Icon::Critical);
        return;
    }
    LoadAddressList();
    name_->clear();
    address_->clear();
    cardName_->clear();
}

void AddressBookScreen::DeleteAddress()
{
    const int row = selectedRow();
    if (row < 0) {
        services_.messageBoxes.notify(nothingSelected(), MessageBoxService::Icon::Exclamation);
        list_->setFocus();
        return;
    }
    const bool remove = services_.messageBoxes.confirmDeletion(deleteQuestion());
    // Rows are in record order, so the selected row's position is its record number.
    if (StoreStatus deleted = book_.DeleteAddress(row + 1, remove); !deleted.ok())
        report(deleted);
    LoadAddressList();
    name_->clear();
    address_->clear();
}

void AddressBookScreen::InsertCardName()
{
    if (address_->text().isEmpty()) {
        services_.messageBoxes.notify(addressMissing());
        return;
    }
    if (refuseUnencodable(CardNameLabel, cardName_->text()))
        return;
    address_->setText(AddressBook::withCardName(cardName_->text(), address_->text()));
}

void AddressBookScreen::PasteAddress() { address_->setText(services_.clipboard.text()); }

void AddressBookScreen::AddSenderToAddressBook()
{
    auto* mailScreen = qobject_cast<MailScreen*>(form_.screenFrame(MainForm::Screen::Mail));
    if (mailScreen->markerBox()->text().isEmpty()) {
        services_.messageBoxes.notify(nothingSelected());
        return;
    }
    if (LeadingNumber(mailScreen->countBox()->text()) == 0) {
        services_.messageBoxes.notify(nothingToSelect());
        return;
    }
    form_.showScreen(MainForm::Screen::AddressBook);
    for (const QString& hidden : {Names::List1, Names::List2, Names::List6}) {
        if (auto* list = form_.findChild<QWidget*>(hidden))
            list->hide();
    }
    LoadAddressList();
    address_->setText(mailScreen->senderBox()->text());
    mailScreen->markerBox()->clear();
    // The name is typed next, before "登録".
    name_->setFocus(Qt::OtherFocusReason);
}
