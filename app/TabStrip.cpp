#include "TabStrip.h"

#include "TabStripAccessible.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QToolTip>

#include <algorithm>
#include <limits>

namespace {
constexpr int IconSize = 16;
constexpr int VerticalPadding = 8;

// Trailing blanks only pad a short name to the width of a long one.
QString withoutTrailingBlanks(QString caption)
{
    while (!caption.isEmpty() && caption.back().isSpace())
        caption.chop(1);
    return caption;
}
} // namespace

TabStrip::TabStrip(QWidget* parent) : QWidget(parent)
{
    TabStripAccessible::install();
    setFocusPolicy(Qt::TabFocus);
}

void TabStrip::setRowBandHeight(int pixels)
{
    rowBandHeight_ = pixels;
    layoutTabs();
}

void TabStrip::insertTab(int index, const QString& caption, const QIcon& image, int imageNumber)
{
    const int position = std::clamp(index - 1, 0, count());
    tabs_.insert(position, Tab{caption, image, imageNumber, QRect(), caption});
    if (selected_ == 0)
        selected_ = 1;
    else if (position < selected_)
        ++selected_;
    focused_ = selected_;
    layoutTabs();
}

void TabStrip::clear()
{
    tabs_.clear();
    selected_ = 0;
    focused_ = 0;
    layoutTabs();
}

QRect TabStrip::tabRect(int index) const { return tabs_.at(index - 1).rect; }

void TabStrip::setSelectedIndex(int index)
{
    if (index < 1 || index > count() || index == selected_)
        return;
    selected_ = index;
    focused_ = index;
    update();
    announceSelection();
}

QSize TabStrip::sizeHint() const { return {400, rowBandHeight_ > 0 ? rowBandHeight_ : fontMetrics().height() + VerticalPadding}; }

int TabStrip::naturalTabWidth(const Tab& tab) const
{
    // Captions keep their trailing spaces, so a padded name makes its tab as wide as the padding.
    QStyleOptionTab option;
    option.initFrom(this);
    option.text = tab.caption;
    option.icon = tab.image;
    option.iconSize = QSize(IconSize, IconSize);
    option.shape = QTabBar::RoundedNorth;
    const QSize contents(fontMetrics().horizontalAdvance(tab.caption) + IconSize + 4
            + style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this),
        std::max(fontMetrics().height(), IconSize) + style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this));
    return style()->sizeFromContents(QStyle::CT_TabBarTab, &option, contents, this).width();
}

int TabStrip::minimumRowHeight() const { return fontMetrics().height() + 2; }

int TabStrip::placeInRows(int widest, QList<QList<int>>& rows)
{
    const int available = std::max(1, width());
    rows.clear();
    int used = 0;
    for (int i = 0; i < count(); ++i) {
        const int tabWidth = std::min({naturalTabWidth(tabs_[i]), widest, available});
        if (rows.isEmpty() || used + tabWidth > available) {
            rows.append(QList<int>());
            used = 0;
        }
        rows.last().append(i);
        tabs_[i].rect.setWidth(tabWidth);
        used += tabWidth;
    }
    return static_cast<int>(rows.size());
}

void TabStrip::layoutTabs()
{
    const int available = std::max(1, width());
    const int rowsInBand = rowBandHeight_ > 0 ? std::max(1, rowBandHeight_ / minimumRowHeight()) : std::numeric_limits<int>::max();
    QList<QList<int>> rows;
    if (placeInRows(available, rows) > rowsInBand) {
        // The widest tab that still lets every row into the band: captions above it are cut.
        int fits = std::min(available, fontMetrics().horizontalAdvance(QStringLiteral("MMMM")) + IconSize);
        int tooWide = available;
        while (tooWide - fits > 1) {
            const int middle = (fits + tooWide) / 2;
            if (placeInRows(middle, rows) <= rowsInBand)
                fits = middle;
            else
                tooWide = middle;
        }
        placeInRows(fits, rows);
        // The cap is for the rows that need it: a tab cut by it gets back what its own row can spare.
        for (const QList<int>& row : rows) {
            int spare = available;
            for (int i : row)
                spare -= tabs_[i].rect.width();
            for (int i : row) {
                const int wanted = std::min(naturalTabWidth(tabs_[i]), available) - tabs_[i].rect.width();
                const int given = std::clamp(wanted, 0, spare);
                tabs_[i].rect.setWidth(tabs_[i].rect.width() + given);
                spare -= given;
            }
        }
    }
    rowCount_ = static_cast<int>(rows.size());
    int rowHeight = std::max(fontMetrics().height(), IconSize) + VerticalPadding;
    if (rowBandHeight_ > 0 && rowCount_ > 0)
        rowHeight = std::max(minimumRowHeight(), std::min(rowHeight, rowBandHeight_ / rowCount_));
    for (int row = 0; row < rowCount_; ++row) {
        int left = 0;
        for (int i : rows[row]) {
            Tab& tab = tabs_[i];
            tab.rect = QRect(left, row * rowHeight, tab.rect.width(), rowHeight);
            left += tab.rect.width();
            tab.shown = tab.caption;
            const int natural = naturalTabWidth(tab);
            if (tab.rect.width() < natural) {
                // The padding goes first, then the end of the name.
                const int textSpace = tab.rect.width() - (natural - fontMetrics().horizontalAdvance(tab.caption));
                tab.shown = fontMetrics().elidedText(withoutTrailingBlanks(tab.caption), Qt::ElideRight, std::max(0, textSpace));
            }
        }
    }
    update();
}

QString TabStrip::shownText(int index) const { return tabs_.at(index - 1).shown; }

QString TabStrip::tabToolTip(int index) const
{
    const Tab& tab = tabs_.at(index - 1);
    const QString whole = withoutTrailingBlanks(tab.caption);
    return tab.shown == whole || tab.shown == tab.caption ? QString() : whole;
}

void TabStrip::initStyleOption(QStyleOptionTab& option, int index) const
{
    option.initFrom(this);
    const Tab& tab = tabs_.at(index - 1);
    option.rect = tab.rect;
    option.text = tab.shown;
    option.icon = tab.image;
    option.iconSize = QSize(IconSize, IconSize);
    option.shape = QTabBar::RoundedNorth;
    option.position = QStyleOptionTab::Middle;
    option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    if (index == selected_)
        option.state |= QStyle::State_Selected;
    if (index == focused_ && hasFocus())
        option.state |= QStyle::State_HasFocus;
}

void TabStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionTabWidgetFrame panel;
    panel.initFrom(this);
    const int rowsBottom = tabs_.isEmpty() ? 0 : tabs_.last().rect.bottom() + 1;
    panel.rect = rect().adjusted(0, rowsBottom - 1, 0, 0);
    panel.shape = QTabBar::RoundedNorth;
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &panel, &painter, this);
    for (int index = 1; index <= count(); ++index) {
        if (index == selected_)
            continue;
        QStyleOptionTab option;
        initStyleOption(option, index);
        style()->drawControl(QStyle::CE_TabBarTab, &option, &painter, this);
    }
    // The selected tab last, so that it stands in front of its neighbours. Styles draw it reaching
    // down into the panel, which would cover the row below it.
    if (selected_ > 0) {
        QStyleOptionTab option;
        initStyleOption(option, selected_);
        painter.save();
        painter.setClipRect(option.rect.adjusted(-2, 0, 2, option.rect.bottom() + 1 == rowsBottom ? 2 : 0));
        style()->drawControl(QStyle::CE_TabBarTab, &option, &painter, this);
        painter.restore();
    }
    if (focused_ > 0 && hasFocus()) {
        QStyleOptionFocusRect mark;
        mark.initFrom(this);
        mark.rect = tabRect(focused_).adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &mark, &painter, this);
    }
}

void TabStrip::click(int index)
{
    selected_ = index;
    focused_ = index;
    update();
    announceSelection();
    emit tabClicked(index);
}

void TabStrip::activateTab(int index)
{
    if (index >= 1 && index <= count())
        click(index);
}

void TabStrip::announceSelection()
{
    if (!QAccessible::isActive() || selected_ < 1)
        return;
    QAccessibleEvent selection(this, QAccessible::Selection);
    selection.setChild(selected_ - 1);
    QAccessible::updateAccessibility(&selection);
    announceFocus();
}

void TabStrip::announceFocus()
{
    if (!QAccessible::isActive() || focused_ < 1 || !hasFocus())
        return;
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(focused_ - 1);
    QAccessible::updateAccessibility(&focus);
}

void TabStrip::moveFocusMark(int index)
{
    if (index == focused_)
        return;
    focused_ = index;
    update();
    announceFocus();
}

void TabStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    for (int index = 1; index <= count(); ++index) {
        if (tabs_[index - 1].rect.contains(event->position().toPoint())) {
            click(index);
            return;
        }
    }
}

void TabStrip::keyPressEvent(QKeyEvent* event)
{
    if (count() == 0 || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int mark = std::clamp(focused_, 1, count());
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up: moveFocusMark((mark - 2 + count()) % count() + 1); break;
    case Qt::Key_Right:
    case Qt::Key_Down: moveFocusMark(mark % count() + 1); break;
    case Qt::Key_Home: moveFocusMark(1); break;
    case Qt::Key_End: moveFocusMark(count()); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: click(mark); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void TabStrip::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // Coming back to the strip, the mark starts on the tab that is open.
    focused_ = selected_;
    update();
    announceFocus();
}

void TabStrip::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void TabStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutTabs();
}

void TabStrip::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        layoutTabs();
}

bool TabStrip::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        for (int index = 1; index <= count(); ++index) {
            if (tabRect(index).contains(help->pos()) && !tabToolTip(index).isEmpty()) {
                QToolTip::showText(help->globalPos(), tabToolTip(index), this, tabRect(index));
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}
