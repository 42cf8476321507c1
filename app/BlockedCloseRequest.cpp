#include "BlockedCloseRequest.h"

#include <QApplication>
#include <QWidget>

#if NEMUROA_HAS_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

#include <utility>

BlockedCloseRequest::BlockedCloseRequest(quint32 window, quint32 deleteAtom, std::function<void()> onClose)
    : window_(window), deleteAtom_(deleteAtom), onClose_(std::move(onClose))
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

BlockedCloseRequest::~BlockedCloseRequest() { QCoreApplication::instance()->removeNativeEventFilter(this); }

std::unique_ptr<BlockedCloseRequest> BlockedCloseRequest::watch(QWidget& window, std::function<void()> onClose)
{
#if NEMUROA_HAS_XCB
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection() || !window.windowHandle())
        return nullptr;
    xcb_connection_t* connection = x11->connection();
    const char* name = "WM_DELETE_WINDOW";
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return nullptr;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    if (atom == XCB_ATOM_NONE)
        return nullptr;
    return std::unique_ptr<BlockedCloseRequest>(
        new BlockedCloseRequest(static_cast<quint32>(window.winId()), atom, std::move(onClose)));
#else
    (void)window;
    (void)onClose;
    return nullptr;
#endif
}

bool BlockedCloseRequest::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
#if NEMUROA_HAS_XCB
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* request = static_cast<const xcb_client_message_event_t*>(message);
    // Qt goes on to drop it; only a request that a box keeps from the window needs passing on.
    if (request->window == window_ && request->format == 32 && request->data.data32[0] == deleteAtom_
        && QApplication::activeModalWidget())
        onClose_();
#else
    (void)eventType;
    (void)message;
#endif
    return false;
}
