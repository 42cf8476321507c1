#include "TabStrip.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>

#include <algorithm>

namespace {
constexpr int IconSize = 16;
constexpr int VerticalPadding = 8;
} // namespace

TabStrip::TabStrip(QWidget* parent) : QWidget(parent)
{
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
    tabs_.insert(position, Tab{caption, image, imageNumber, QRect()});
    if (selected_ == 0)
        selected_ = 1;
    else if (position < selected_)
        ++selected_;
    layoutTabs();
}

void TabStrip::clear()
{
    tabs_.clear();
    selected_ = 0;
    layoutTabs();
}

QRect TabStrip::tabRect(int index) const { return tabs_.at(index - 1).rect; }

void TabStrip::setSelectedIndex(int index)
{
    if (index < 1 || index > count() || index == selected_)
        return;
    selected_ = index;
    update();
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

void TabStrip::layoutTabs()
{
    const int available = std::max(1, width());
    QList<QList<int>> rows;
    int used = 0;
    for (int i = 0; i < count(); ++i) {
        const int tabWidth = std::min(naturalTabWidth(tabs_[i]), available);
        if (rows.isEmpty() || used + tabWidth > available) {
            rows.append(QList<int>());
            used = 0;
        }
        rows.last().append(i);
        tabs_[i].rect.setWidth(tabWidth);
        used += tabWidth;
    }
    rowCount_ = static_cast<int>(rows.size());
    int rowHeight = std::max(fontMetrics().height(), IconSize) + VerticalPadding;
    if (rowBandHeight_ > 0 && rowCount_ > 0)
        rowHeight = std::max(fontMetrics().height() + 2, std::min(rowHeight, rowBandHeight_ / rowCount_));
    for (int row = 0; row < rowCount_; ++row) {
        int left = 0;
        for (int i : rows[row]) {
            tabs_[i].rect = QRect(left, row * rowHeight, tabs_[i].rect.width(), rowHeight);
            left += tabs_[i].rect.width();
        }
    }
    update();
}

void TabStrip::initStyleOption(QStyleOptionTab& option, int index) const
{
    option.initFrom(this);
    const Tab& tab = tabs_.at(index - 1);
    option.rect = tab.rect;
    option.text = tab.caption;
    option.icon = tab.image;
    option.iconSize = QSize(IconSize, IconSize);
    option.shape = QTabBar::RoundedNorth;
    option.position = QStyleOptionTab::Middle;
    option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    if (index == selected_) {
        option.state |= QStyle::State_Selected;
        if (hasFocus())
            option.state |= QStyle::State_HasFocus;
    }
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
        painter.setClipRect(option.rect.adjusted(-2, 0, 2, option.rect.bottom() + 1 == rowsBottom ? 2 : 0));
        style()->drawControl(QStyle::CE_TabBarTab, &option, &painter, this);
    }
}

void TabStrip::click(int index)
{
    selected_ = index;
    update();
    emit tabClicked(index);
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
    if (count() > 0 && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        const int step = event->key() == Qt::Key_Left ? -1 : 1;
        click((selected_ - 1 + step + count()) % count() + 1);
        return;
    }
    QWidget::keyPressEvent(event);
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
