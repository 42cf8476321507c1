#include "OperationInProgress.h"

#include "BlockedCloseRequest.h"
#include "MainForm.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

// Events that pass while the window keeps repainting during a wait, at most this often.
constexpr int PumpIntervalMilliseconds = 10;

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

bool isEscapePress(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_Escape && !key->isAutoRepeat();
}

// Drops user input while no box of the operation is up. A box is application-modal: while it is
// up Qt itself keeps input from every other window, and the box's own window, its buttons, its
// close button and its popups must get every key and click. Esc asks to stop.
class UserInputFilter final : public QObject {
public:
    explicit UserInputFilter(OperationInProgress& operation) : operation_(operation) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!isUserInput(event->type()) || QApplication::activeModalWidget() || QApplication::activePopupWidget())
            return false;
        if (isEscapePress(event))
            operation_.requestStop(false);
        return true;
    }

private:
    OperationInProgress& operation_;
};

} // namespace

OperationInProgress::OperationInProgress(MainForm& form, const QString& runningStatus) : form_(form)
{
    if (form_.operation_)
        return;
    outermost_ = true;
    form_.operation_ = this;
    inputFilter_ = std::make_unique<UserInputFilter>(*this);
    QCoreApplication::instance()->installEventFilter(inputFilter_.get());
    blockedClose_ = BlockedCloseRequest::watch(form_, [this] { requestStop(true); });
    form_.services().mail.NMailSetWaitHook([this] { return keepWindowAlive(); });
    // A server that is slow to answer would leave the window as it was: the pointer and the status
    // bar show that something runs and that clicks wait for it.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    if (!runningStatus.isEmpty())
        form_.setStatusText(runningStatus);
}

OperationInProgress::~OperationInProgress()
{
    if (!outermost_)
        return;
    form_.services().mail.NMailSetWaitHook({});
    QApplication::restoreOverrideCursor();
    blockedClose_.reset();
    inputFilter_.reset();
    form_.operation_ = nullptr;
    // A close asked for during the operation, which ended after a yes or before it could ask.
    if (closeRequested_)
        // Closed from the event loop, once the code that ran the operation has unwound to its next wait.
        QMetaObject::invokeMethod(&form_, &QWidget::close, Qt::QueuedConnection);
}

void OperationInProgress::requestStop(bool thenClose)
{
    closeRequested_ = closeRequested_ || thenClose;
    stopRequested_ = !stopConfirmed_;
}

bool OperationInProgress::keepWindowAlive()
{
    if (!sincePump_.isValid() || sincePump_.elapsed() >= PumpIntervalMilliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        sincePump_.restart();
    }
    if (stopRequested_ && !stopConfirmed_ && !asking_) {
        asking_ = true;
        stopConfirmed_ = form_.services().messageBoxes.confirm(stopQuestion());
        asking_ = false;
        stopRequested_ = false;
        if (!stopConfirmed_)
            closeRequested_ = false;
        sincePump_.restart();
    }
    return stopConfirmed_;
}
