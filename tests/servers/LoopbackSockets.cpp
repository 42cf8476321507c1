#include "LoopbackSockets.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace LoopbackSockets {

sockaddr_in address(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in target = address(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

int bindFreePort(quint16& port, bool listening)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in bound = address(0);
    socklen_t length = sizeof bound;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) == 0
        && (!listening || ::listen(fd, 64) == 0) && ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
        port = ntohs(bound.sin_port);
        return fd;
    }
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace LoopbackSockets
