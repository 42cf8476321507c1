#include "CtrlTabFocus.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

enum class Step { None, Forward, Back };

Step focusStep(const QKeyEvent& key)
{
    if (!(key.modifiers() & Qt::ControlModifier) || (key.modifiers() & Qt::AltModifier))
        return Step::None;
    if (key.key() == Qt::Key_Backtab || (key.key() == Qt::Key_Tab && (key.modifiers() & Qt::ShiftModifier)))
        return Step::Back;
    return key.key() == Qt::Key_Tab ? Step::Forward : Step::None;
}

} // namespace

CtrlTabFocus::CtrlTabFocus(QWidget& window) : QObject(&window), window_(window)
{
    // Before the focused control: a body would take the key as a character.
    QCoreApplication::instance()->installEventFilter(this);
}

bool CtrlTabFocus::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != &window_)
        return QObject::eventFilter(watched, event);
    const Step step = focusStep(*static_cast<QKeyEvent*>(event));
    if (step == Step::None)
        return QObject::eventFilter(watched, event);
    // The window moves the focus along its order from the focused control, as for Tab.
    QKeyEvent plain(QEvent::KeyPress, step == Step::Forward ? Qt::Key_Tab : Qt::Key_Backtab,
        step == Step::Forward ? Qt::NoModifier : Qt::ShiftModifier);
    QCoreApplication::sendEvent(&window_, &plain);
    return true;
}
