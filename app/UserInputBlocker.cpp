#include "UserInputBlocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

bool belongsToModalWindow(QObject* watched)
{
    if (auto* widget = qobject_cast<QWidget*>(watched))
        return widget->window()->isModal();
    if (auto* window = qobject_cast<QWindow*>(watched))
        return window->modality() != Qt::NonModal;
    return true;
}

} // namespace

UserInputBlocker::UserInputBlocker() { QCoreApplication::instance()->installEventFilter(this); }

UserInputBlocker::~UserInputBlocker() { QCoreApplication::instance()->removeEventFilter(this); }

bool UserInputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (!isUserInput(event->type()) || belongsToModalWindow(watched))
        return false;
    // A close request that is not ignored would close the window all the same.
    event->ignore();
    return true;
}
