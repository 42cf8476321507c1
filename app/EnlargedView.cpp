#include "EnlargedView.h"

#include "MainForm.h"
#include "ReadingOrder.h"
#include "ScreenControls.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using ScreenControls::box;
using ScreenControls::label;

// The body box lies below the heading and the three boxes.
constexpr double BodyTop = 1740;

} // namespace

EnlargedView::EnlargedView(MainForm& form, QWidget* parent)
    : QFrame(parent)
    , form_(form)
    , subject_(box(WidgetNames::Text25, Twips::rect(840, 480, 6480, 375), this))
    , sender_(box(WidgetNames::Text24, Twips::rect(840, 960, 3840, 375), this))
    , date_(box(WidgetNames::Text46, Twips::rect(5400, 960, 3360, 375), this))
    , body_(new QTextEdit(this))
    , fontSize_(box(WidgetNames::Text22, Twips::rect(8760, 480, 600, 375), this))
    , up_(new QToolButton)
    , down_(new QToolButton)
    , return_(ScreenControls::button(WidgetNames::Command1, QStringLiteral("戻る"), Twips::rect(9840, 480, 1095, 375), this))
{
    setObjectName(WidgetNames::Frame6);
    setGeometry(Twips::rect(0, 0, 11200, 8600));

    auto* heading = label(QStringLiteral("拡大フォーム"), Twips::rect(120, 60, 1800, 360), this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);
    label(QStringLiteral("この拡大フォームでは、メニューバー（ファイル他）の操作は出来ません。"), Twips::rect(2040, 60, 8400, 360), this);
    label(QStringLiteral("件名"), Twips::rect(120, 520, 700, 300), this);
    senderLabel_ = label(QStringLiteral("差出人"), Twips::rect(120, 1000, 700, 300), this);
    dateLabel_ = label(QStringLiteral("日付"), Twips::rect(4800, 1000, 600, 300), this);
    label(QStringLiteral("文字サイズ"), Twips::rect(7440, 520, 1300, 300), this);
    bodyLabel_ = label(QStringLiteral("本文"), Twips::rect(120, 1440, 700, 300), this);
    bodyTop_ = Twips::toPixels(BodyTop);

    fontSize_->setText(QString::number(InitialFontSize));
    subject_->setAccessibleName(QStringLiteral("件名"));
    sender_->setAccessibleName(QStringLiteral("差出人"));
    date_->setAccessibleName(QStringLiteral("日付"));
    fontSize_->setAccessibleName(QStringLiteral("文字サイズ"));
    up_->setAccessibleName(QStringLiteral("文字を大きく"));
    down_->setAccessibleName(QStringLiteral("文字を小さく"));
    auto* arrows = new QWidget(this);
    arrows->setObjectName(WidgetNames::UpDown1);
    arrows->setGeometry(Twips::rect(9360, 480, 255, 375));
    auto* arrowsLayout = new QVBoxLayout(arrows);
    arrowsLayout->setContentsMargins(0, 0, 0, 0);
    arrowsLayout->setSpacing(0);
    for (QToolButton* arrow : {up_, down_}) {
        arrow->setParent(arrows);
        arrow->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        arrowsLayout->addWidget(arrow);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, &EnlargedView::fontSizeUp);
    connect(down_, &QToolButton::clicked, this, &EnlargedView::fontSizeDown);

    body_->setObjectName(WidgetNames::Text15);
    body_->setAcceptRichText(false);
    body_->setGeometry(Twips::rect(0, BodyTop, 11187, 8556));
    // A view to read in, not a body to write: Tab goes on to the next control.
    body_->setTabChangesFocus(true);
    body_->setAccessibleName(QStringLiteral("本文"));

    fontSize_->installEventFilter(this);
    connect(fontSize_, &QLineEdit::editingFinished, this, &EnlargedView::takeTypedFontSize);
    connect(return_, &QPushButton::clicked, this, &EnlargedView::returnToMainScreen);
    ReadingOrder::set(*this, {subject_, fontSize_, up_, down_, return_, sender_, date_, body_});
    connect(&form_, &MainForm::outerSizeChanged, this, &EnlargedView::followWindowSize);
}

void EnlargedView::returnToMainScreen()
{
    form_.setMenusEnabled(true);
    form_.showScreen(MainForm::Screen::Main);
}

void EnlargedView::showMessage(const QString& subject, const QString& sender, const QString& date, const QString& body)
{
    body_->setPlainText(body);
    ScreenControls::showFromStart(subject_, subject);
    ScreenControls::showFromStart(date_, date);
    ScreenControls::showFromStart(sender_, sender);
    fontSize_->setText(QString::number(InitialFontSize));
    setFontSize(InitialFontSize);
    // The message is read and scrolled next; the button that opened the view is hidden.
    body_->setFocus(Qt::OtherFocusReason);
}

void EnlargedView::fontSizeDown()
{
    if (takeTypedFontSize() && fontSizePoints_ > SmallestFontSize)
        setFontSize(fontSizePoints_ - 1);
}

void EnlargedView::fontSizeUp()
{
    if (takeTypedFontSize() && fontSizePoints_ < LargestFontSize)
        setFontSize(fontSizePoints_ + 1);
}

bool EnlargedView::takeTypedFontSize()
{
    bool isNumber = false;
    const int typed = fontSize_->text().trimmed().toInt(&isNumber);
    if (isNumber && typed >= SmallestFontSize && typed <= LargestFontSize) {
        if (typed != fontSizePoints_)
            setFontSize(typed);
        return true;
    }
    // Put back first: the notice takes the focus, which ends the editing a second time.
    fontSize_->setText(QString::number(fontSizePoints_));
    form_.services().messageBoxes.notify(fontSizeOutOfRangeText(), MessageBoxService::Icon::Exclamation);
    return false;
}

bool EnlargedView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == fontSize_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            if (key->key() == Qt::Key_Up)
                fontSizeUp();
            else
                fontSizeDown();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void EnlargedView::setFontSize(double points)
{
    fontSizePoints_ = points;
    fontSize_->setText(QString::number(points));
    for (QWidget* shown : std::initializer_list<QWidget*>{body_, date_, sender_, subject_}) {
        QFont font = shown->font();
        font.setPointSizeF(points);
        shown->setFont(font);
    }
    placeBoxes();
}

void EnlargedView::placeBoxes()
{
    const int gap = Twips::toPixels(105);
    const int height = std::max(Twips::toPixels(375), subject_->sizeHint().height());
    subject_->setGeometry(subject_->x(), subject_->y(), subject_->width(), height);
    const int secondRow = subject_->geometry().bottom() + 1 + gap;
    sender_->setGeometry(sender_->x(), secondRow, sender_->width(), height);
    date_->setGeometry(date_->x(), secondRow, date_->width(), height);
    senderLabel_->move(senderLabel_->x(), secondRow + Twips::toPixels(40));
    dateLabel_->move(dateLabel_->x(), secondRow + Twips::toPixels(40));
    const int bodyLabelTop = secondRow + height + gap;
    bodyLabel_->move(bodyLabel_->x(), bodyLabelTop);
    bodyTop_ = bodyLabelTop + Twips::toPixels(300);
    body_->move(body_->x(), bodyTop_);
}

void EnlargedView::followWindowSize(double width, double height)
{
    body_->setGeometry(QRect(QPoint(0, bodyTop_), Twips::size(0.99 * width, 0.92 * height)));
    setGeometry(Twips::rect(x() * Twips::PerPixel, y() * Twips::PerPixel, 0.99 * width, 0.92 * height));
}
