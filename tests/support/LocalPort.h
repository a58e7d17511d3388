#pragma once

#include <QString>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A free TCP port number on 127.0.0.1: bound once to learn it, then let go.
inline int FreeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// "tcp://127.0.0.1:<port>" of a port nothing listens on, so a connect there is
// refused.
inline QString RefusingTcpTarget() {
    return QStringLiteral("tcp://127.0.0.1:%1").arg(FreeLocalPort());
}
