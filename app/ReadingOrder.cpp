#include "ReadingOrder.h"

#include <QVariant>
#include <QWidget>

namespace {

constexpr char OrderProperty[] = "nemuroaReadingOrder";

bool takesTabFocus(const QWidget* control)
{
    const QWidget* target = control;
    while (target->focusProxy())
        target = target->focusProxy();
    return control->isVisible() && control->isEnabled() && (target->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

} // namespace

namespace ReadingOrder {

void set(QWidget& screen, const QList<QWidget*>& controls) { screen.setProperty(OrderProperty, QVariant::fromValue(controls)); }

QList<QWidget*> of(const QWidget& screen) { return screen.property(OrderProperty).value<QList<QWidget*>>(); }

QWidget* step(const QList<QWidget*>& ring, const QWidget* focused, bool forward)
{
    const qsizetype size = ring.size();
    qsizetype at = -1;
    for (qsizetype i = 0; i < size && focused; ++i) {
        if (ring[i] == focused || ring[i]->isAncestorOf(focused)) {
            at = i;
            break;
        }
    }
    if (at < 0)
        return nullptr;
    for (qsizetype distance = 1; distance < size; ++distance) {
        QWidget* candidate = ring[(at + (forward ? distance : size - distance)) % size];
        if (takesTabFocus(candidate))
            return candidate;
    }
    return nullptr;
}

} // namespace ReadingOrder
