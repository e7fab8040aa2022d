// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ports on 127.0.0.1 for the servers the tests start.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

inline sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(std::uint16_t(port));
    return a;
}

// A port nobody listens on now (the kernel picks it).
inline int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t size = sizeof a;
    const bool ok = ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
                    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &size) == 0;
    ::close(s);
    return ok ? ntohs(a.sin_port) : -1;
}

inline bool accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopback(port);
    const bool ok = ::connect(s, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}
