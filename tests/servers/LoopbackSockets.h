#pragma once

// Plain POSIX sockets on 127.0.0.1, for the test servers and their clients.

#include <QtGlobal>

#include <netinet/in.h>

namespace LoopbackSockets {

sockaddr_in address(quint16 port);
// A blocking socket connected to 127.0.0.1:port; -1 when it could not connect.
int connectTo(quint16 port);
// A socket bound to a free port of 127.0.0.1, which `port` receives, and listening unless told not
// to (a port that refuses connections); -1 when it could not be made.
int bindFreePort(quint16& port, bool listening = true);

} // namespace LoopbackSockets
