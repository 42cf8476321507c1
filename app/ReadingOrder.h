#pragma once

#include <QList>

class QWidget;

// The order in which Tab and Shift+Tab take the controls of a screen: the order a person reads
// them, frame by frame. Qt's own focus chain follows the order in which the controls were built,
// and rearranging it with QWidget::setTabOrder splits it into separate loops where a control
// hands its focus to a part of itself (an editable combo box, a calendar). So each screen names
// its order here, and the main window steps through the open screen's order.
namespace ReadingOrder {

void set(QWidget& screen, const QList<QWidget*>& controls);
// Empty for a screen that named none.
QList<QWidget*> of(const QWidget& screen);

// Where Tab (forward) or Shift+Tab goes from the focused control: the next control of the ring
// that takes the keyboard focus now, going round at the ends. A control counts as focused when
// a part of it is. nullptr when the focused control is not in the ring.
QWidget* step(const QList<QWidget*>& ring, const QWidget* focused, bool forward);

} // namespace ReadingOrder
