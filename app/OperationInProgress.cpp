#include "OperationInProgress.h"

#include "MainForm.h"

#include <QApplication>
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
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Drops user input everywhere but in the modal box the operation has put up (its question or
// notice must still be answerable).
class UserInputFilter final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!isUserInput(event->type()))
            return false;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return true;
        // A person's key or click reaches the box's window object first and its widgets after.
        if (auto* window = qobject_cast<QWindow*>(watched))
            return window != modal->windowHandle();
        const auto* widget = qobject_cast<QWidget*>(watched);
        return !(widget && (widget == modal || modal->isAncestorOf(widget)));
    }
};

} // namespace

OperationInProgress::OperationInProgress(MainForm& form) : form_(form)
{
    if (form_.operationsInProgress_++ == 0) {
        inputFilter_ = std::make_unique<UserInputFilter>();
        QCoreApplication::instance()->installEventFilter(inputFilter_.get());
    }
}

OperationInProgress::~OperationInProgress()
{
    inputFilter_.reset();
    if (--form_.operationsInProgress_ > 0 || !form_.closeDeferred_)
        return;
    form_.closeDeferred_ = false;
    // Closed from the event loop, once the code that ran the operation has unwound to its next wait.
    QMetaObject::invokeMethod(&form_, &QWidget::close, Qt::QueuedConnection);
}
