#include "ComposeScreen.h"

#include "Cp932LengthValidator.h"
#include "ListEnterKey.h"
#include "MainForm.h"
#include "ReadingOrder.h"
#include "RecordLayouts.h"
#include "ScreenControls.h"
#include "SendController.h"
#include "TextHelpers.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

namespace Names = WidgetNames;
using ScreenControls::box;
using ScreenControls::button;
using ScreenControls::label;

constexpr int RecipientBytes = 60;

// Turns an option button off on its own, which its group allows only with the grouping lifted.
void uncheck(QRadioButton* option)
{
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

} // namespace

QColor ComposeScreen::bulkColour() { return QColor(0x00, 0x80, 0x00); }

QColor ComposeScreen::normalColour() { return QColor(0xFF, 0xFF, 0xFF); }

QString ComposeScreen::commaRefused(const QString& path)
{
    return QStringLiteral("名前に「,」を含むファイルは添付できません（添付ファイルの区切りに使われるため）。\r\n%1\r\n"
                          "ファイル名を変えてから添付してください。")
        .arg(path);
}

std::optional<QString> ComposeScreen::chooseAttachment(Services& services)
{
    const std::optional<QString> chosen = services.fileDialogs.openFileName(QString());
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    if (chosen->contains(u',')) {
        services.messageBoxes.notify(commaRefused(*chosen), MessageBoxService::Icon::Exclamation);
        return std::nullopt;
    }
    return chosen;
}

ComposeScreen::ComposeScreen(MainForm& form, SendController& sender, QWidget* parent)
    : QFrame(parent)
    , form_(form)
    , services_(form.services())
    , sender_(sender)
    , book_(form.paths())
    , to_(box(Names::ToText, Twips::rect(960, 570, 4920, 330), this))
    , subject_(box(Names::SubjectText, Twips::rect(960, 960, 4920, 330), this))
    , openingLines_(new QComboBox(this))
    , attach_(button(Names::AttachCommand, QStringLiteral("添付File"), Twips::rect(120, 1740, 1095, 375), this))
    , attachments_(box(Names::AttachText, Twips::rect(1275, 1762, 2880, 330), this))
    , attachmentList_(new QListWidget(this))
    , body_(new QPlainTextEdit(this))
    , names_(new QListWidget(this))
    , count_(box(Names::Text12, Twips::rect(6960, 6135, 735, 330), this))
    , bulkOn_(new QRadioButton(QStringLiteral("一括送信"), this))
    , bulkOff_(new QRadioButton(QStringLiteral("取消"), this))
{
    setObjectName(Names::Frame3);
    setGeometry(Twips::rect(0, 1200, 11200, 7400));
    setAutoFillBackground(true);

    QPushButton* send = button(Names::Command14, QStringLiteral("送信"), Twips::rect(120, 120, 1095, 375), this);
    QPushButton* pasteBody = button(Names::Command16, QStringLiteral("本文貼付"), Twips::rect(1275, 120, 1095, 375), this);
    QPushButton* pasteTo = button(Names::Command17, QStringLiteral("宛先貼付"), Twips::rect(2430, 120, 1095, 375), this);
    QPushButton* clear = button(Names::Command18, QStringLiteral("クリア"), Twips::rect(3585, 120, 1095, 375), this);

    label(QStringLiteral("宛先"), Twips::rect(120, 615, 800, 255), this)->setBuddy(to_);
    to_->setValidator(new Cp932LengthValidator(RecipientBytes, to_));
    to_->setAccessibleName(QStringLiteral("宛先"));
    label(QStringLiteral("件名"), Twips::rect(120, 1005, 800, 255), this)->setBuddy(subject_);
    subject_->setAccessibleName(QStringLiteral("件名"));

    label(QStringLiteral("首記例"), Twips::rect(120, 1395, 800, 255), this)->setBuddy(openingLines_);
    openingLines_->setObjectName(Names::Combo1);
    openingLines_->setGeometry(Twips::rect(960, 1350, 4920, 330));
    openingLines_->setEditable(true);
    openingLines_->setInsertPolicy(QComboBox::NoInsert);
    openingLines_->setAccessibleName(QStringLiteral("首記例"));
    openingLines_->installEventFilter(this);
    connect(openingLines_, &QComboBox::activated, this, [this] { openingLineChosen_ = true; });
    connect(openingLines_->lineEdit(), &QLineEdit::textEdited, this, [this] { openingLineChosen_ = true; });

    attachments_->setAccessibleName(QStringLiteral("添付File"));
    QPushButton* add = button(Names::Command12, QStringLiteral("追加"), Twips::rect(4215, 1740, 735, 375), this);
    QPushButton* cancel = button(Names::Command13, QStringLiteral("取り消し"), Twips::rect(5010, 1740, 975, 375), this);
    attachmentList_->setObjectName(Names::List4);
    attachmentList_->setGeometry(Twips::rect(1275, 2130, 4710, 840));
    attachmentList_->setAccessibleName(QStringLiteral("添付ファイル一覧"));

    body_->setObjectName(Names::BodyText);
    body_->setGeometry(Twips::rect(120, 2190, 5865, 5040));
    body_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    body_->setAccessibleName(QStringLiteral("本文"));
    attachmentList_->raise();

    label(QStringLiteral("アドレス帳"), Twips::rect(6240, 615, 1500, 255), this)->setBuddy(names_);
    names_->setObjectName(Names::List5);
    names_->setGeometry(Twips::rect(6240, 900, 4800, 5130));
    names_->setAccessibleName(QStringLiteral("アドレス帳"));
    names_->setSelectionMode(QAbstractItemView::SingleSelection);
    names_->setAutoFillBackground(true);
    names_->viewport()->installEventFilter(this);
    ListEnterKey::install(names_, QStringLiteral("Enter キーで、選んだ人を宛先にします"), [this] { PickRecipient(); });
    colourNameList(normalColour());
    label(QStringLiteral("件数"), Twips::rect(6240, 6180, 600, 255), this)->setBuddy(count_);
    count_->setReadOnly(true);
    count_->setAccessibleName(QStringLiteral("件数"));

    bulkOn_->setObjectName(Names::Option2);
    bulkOn_->setGeometry(Twips::rect(8040, 6150, 1500, 300));
    bulkOff_->setObjectName(Names::Option1);
    bulkOff_->setGeometry(Twips::rect(9600, 6150, 1200, 300));

    // Controls that no handler uses; start-up still sets them, so they exist, hidden.
    auto* unusedCheck = new QCheckBox(this);
    unusedCheck->setObjectName(Names::Check2);
    unusedCheck->hide();
    button(Names::Command9, QStringLiteral("貼付け"), Twips::rect(4740, 120, 1095, 375), this)->hide();

    connect(send, &QPushButton::clicked, this, &ComposeScreen::SendComposed);
    connect(pasteBody, &QPushButton::clicked, this, &ComposeScreen::PasteIntoBody);
    connect(pasteTo, &QPushButton::clicked, this, &ComposeScreen::PasteRecipient);
    connect(clear, &QPushButton::clicked, this, &ComposeScreen::ClearScreen);
    connect(attach_, &QPushButton::clicked, this, &ComposeScreen::AttachFile);
    connect(add, &QPushButton::clicked, this, &ComposeScreen::AddAttachment);
    connect(cancel, &QPushButton::clicked, this, &ComposeScreen::CancelAttachments);
    connect(bulkOn_, &QRadioButton::clicked, this, [this] { setBulkSend(true); });
    connect(bulkOff_, &QRadioButton::clicked, this, [this] {
        to_->clear();
        setBulkSend(false);
    });
    connect(&form_, &MainForm::composeTabOpened, this, &ComposeScreen::LoadNameList);

    ReadingOrder::set(*this, {send, pasteBody, pasteTo, clear, to_, subject_, openingLines_, attach_, attachments_, add, cancel,
        attachmentList_, body_, names_, count_, bulkOn_, bulkOff_});
}

bool ComposeScreen::eventFilter(QObject* watched, QEvent* event)
{
    // Opening the drop-down or switching to another program keeps the focus in the list as far as
    // the user is concerned; only moving on inside the window replaces the body, and only when a
    // line was chosen or typed since the focus came: passing through never wipes a typed body.
    if (watched == openingLines_ && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            openingLineChosen_ = false;
    }
    if (watched == openingLines_ && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && openingLineChosen_)
            TakeOpeningLine();
    }
    if (watched == names_->viewport() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        PickRecipient();
    return QFrame::eventFilter(watched, event);
}

void ComposeScreen::colourNameList(const QColor& colour)
{
    QPalette palette = names_->palette();
    palette.setColor(QPalette::Base, colour);
    // Black names on the bulk send's dark green would be hard to read.
    palette.setColor(QPalette::Text, colour == bulkColour() ? QColor(Qt::white) : QColor(Qt::black));
    names_->setPalette(palette);
}

void ComposeScreen::setBulkSend(bool on)
{
    if (on) {
        bulkOn_->setChecked(true);
    } else {
        uncheck(bulkOn_);
        bulkOff_->setChecked(true);
    }
    colourNameList(on ? bulkColour() : normalColour());
}

bool ComposeScreen::bulkSendOn() const { return bulkOn_->isChecked(); }

void ComposeScreen::setAttachEnabled(bool enabled) { attach_->setEnabled(enabled); }

// ---- The address book's names ----

void ComposeScreen::LoadNameList()
{
    form_.resetRowRecordMap();
    names_->clear();
    const auto entries = book_.entries();
    if (!entries.ok()) {
        count_->setText(QStringLiteral("0"));
        services_.messageBoxes.notify(entries.error(), MessageBoxService::Icon::Critical);
        return;
    }
    for (const AddressEntry& entry : entries.value()) {
        names_->addItem(entry.name);
        form_.appendRowRecord(entry.recordNumber);
    }
    count_->setText(QString::number(entries.value().size()));
}

void ComposeScreen::PickRecipient()
{
    const QList<QListWidgetItem*> selected = names_->selectedItems();
    if (selected.isEmpty()) {
        services_.messageBoxes.notify(nothingSelected(), MessageBoxService::Icon::Exclamation);
        names_->setFocus();
        return;
    }
    const int row = names_->row(selected.first());
    if (row >= form_.RowRecordMap.size())
        return;
    const auto record = book_.read(form_.RowRecordMap.at(row));
    if (!record.ok()) {
        services_.messageBoxes.notify(record.error(), MessageBoxService::Icon::Critical);
        return;
    }
    if (!record.value())
        return;
    const QString address = record.value()->text(RecordLayouts::AddressField::Address);
    to_->setText(TrimBlanks(QStringView(address).first(std::min<qsizetype>(address.size(), RecipientBytes))));
}

// ---- Sending ----

void ComposeScreen::SendComposed()
{
    if (form_.isOperationInProgress())
        return;
    attachmentList_->hide();
    attach_->setEnabled(true);
    form_.setStatusText(sending());

    QStringList recipients{to_->text()};
    if (bulkSendOn()) {
        const auto addresses = book_.recipients();
        if (!addresses.ok())
            services_.messageBoxes.notify(addresses.error(), MessageBoxService::Icon::Critical);
        else if (addresses.value().isEmpty())
            services_.messageBoxes.notify(noBulkRecipients(), MessageBoxService::Icon::Exclamation);
        if (!addresses.ok() || addresses.value().isEmpty()) {
            form_.setStatusText(SendRun::nothingSentText());
            return;
        }
        recipients = addresses.value();
    }
    const OutgoingMail boxes{to_->text(), subject_->text(), body_->toPlainText(), attachments_->text()};
    const std::optional<SendRun::Outcome> outcome = sender_.send(recipients, boxes);
    if (!outcome)
        return;
    if (!outcome->allSent()) {
        // Nothing typed is lost: the boxes stay as they are for the user to correct or send again.
        form_.setStatusText(SendRun::notSentStatus(*outcome));
        to_->setFocus();
        return;
    }

    form_.setStatusText(sentStatus());
    EmptyAfterSend();
    form_.showScreen(MainForm::Screen::Main);
    form_.setStatusText(finishedStatus());
}

void ComposeScreen::EmptyAfterSend()
{
    to_->clear();
    subject_->clear();
    body_->clear();
    attachments_->clear();
    uncheck(bulkOn_);
    uncheck(bulkOff_);
}

// ---- Attachments ----

void ComposeScreen::AttachFile()
{
    const std::optional<QString> chosen = chooseAttachment(services_);
    if (!chosen)
        return;
    attachments_->setText(*chosen);
    attachmentList_->addItem(*chosen);
    attach_->setEnabled(false);
}

void ComposeScreen::AddAttachment()
{
    attachmentList_->show();
    if (attachments_->text().isEmpty())
        return;
    const std::optional<QString> chosen = chooseAttachment(services_);
    if (!chosen)
        return;
    attachments_->setText(attachments_->text() + u',' + *chosen);
    attachmentList_->addItem(*chosen);
}

void ComposeScreen::CancelAttachments()
{
    attachments_->clear();
    attachmentList_->clear();
    attachmentList_->hide();
    attach_->setEnabled(true);
}

// ---- Helpers for the boxes ----

void ComposeScreen::PasteIntoBody() { body_->setPlainText(body_->toPlainText() + TrimBlanks(services_.clipboard.text())); }

void ComposeScreen::PasteRecipient() { to_->setText(services_.clipboard.text()); }

void ComposeScreen::ClearScreen()
{
    EmptyAfterSend();
    colourNameList(normalColour());
    attach_->setEnabled(true);
}

void ComposeScreen::TakeOpeningLine() { body_->setPlainText(openingLines_->currentText()); }
