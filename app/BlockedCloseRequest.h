#pragma once

#include <QAbstractNativeEventFilter>

#include <functional>
#include <memory>

class QWidget;

// A window manager's close request for a window that a modal box blocks: Qt drops it, so a close
// click on the main window while a receive shows a notice would be lost. This sees the request as
// the X server delivers it (WM_DELETE_WINDOW) and hands it on. Without an X server (another window
// system, or none in tests) it does nothing.
class BlockedCloseRequest final : public QAbstractNativeEventFilter {
public:
    // Watches window while it lives; onClose runs for each close request made while a modal box is up.
    static std::unique_ptr<BlockedCloseRequest> watch(QWidget& window, std::function<void()> onClose);
    ~BlockedCloseRequest() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    BlockedCloseRequest(quint32 window, quint32 deleteAtom, std::function<void()> onClose);

    quint32 window_;
    quint32 deleteAtom_;
    std::function<void()> onClose_;
};
