#include "platform/base/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/windows/wide.h"

namespace lork::net {

namespace {

bool started() {
    static const bool ok = [] {
        WSADATA d;
        return WSAStartup(MAKEWORD(2, 2), &d) == 0;
    }();
    return ok;
}

int errnoOf(int wsa) {
    switch (wsa) {
    case WSAEWOULDBLOCK: return EAGAIN;
    case WSAECONNREFUSED: return ECONNREFUSED;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN:
    case WSAENOTCONN: return ECONNRESET;
    case WSAETIMEDOUT: return ETIMEDOUT;
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
    case WSAEHOSTDOWN: return EHOSTUNREACH;
    case WSAEINVAL: return EINVAL;
    default: return EIO;
    }
}

timeval span(int64_t us) {
    us = std::max<int64_t>(us, 0);
    return {long(us / 1'000'000), long(us % 1'000'000)};
}

}  // namespace

int connect(const std::string& host, const std::string& service, int64_t timeoutUs, Socket& out,
            std::string& detail) {
    out = kNoSocket;
    if (!started()) return EIO;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* res = nullptr;
    if (const int g = GetAddrInfoW(toWide(host).c_str(), toWide(service).c_str(), &hints, &res)) {
        detail = systemErrorText(DWORD(g));
        return EHOSTUNREACH;
    }
    int err = ECONNREFUSED;
    for (ADDRINFOW* ai = res; ai && out == kNoSocket; ai = ai->ai_next) {
        const SOCKET s = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (s == INVALID_SOCKET) {
            err = errnoOf(WSAGetLastError());
            continue;
        }
        u_long nonblocking = 1;
        ioctlsocket(s, FIONBIO, &nonblocking);
        int r = ::connect(s, ai->ai_addr, int(ai->ai_addrlen));
        if (r != 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
            // A refused connection shows in the exception set, not the write set.
            fd_set w, x;
            FD_ZERO(&w);
            FD_ZERO(&x);
            FD_SET(s, &w);
            FD_SET(s, &x);
            timeval to = span(timeoutUs);
            int so = WSAETIMEDOUT;
            if (select(0, nullptr, &w, &x, &to) > 0) {
                int len = sizeof so;
                so = 0;
                getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so), &len);
            }
            r = so == 0 ? 0 : -1;
            if (r != 0) err = errnoOf(so);
        } else if (r != 0) {
            err = errnoOf(WSAGetLastError());
        }
        if (r != 0) {
            closesocket(s);
            continue;
        }
        out = Socket(s);
    }
    FreeAddrInfoW(res);
    if (out == kNoSocket) return err;
    // A request is one small write that must go out at once.
    const BOOL one = TRUE;
    setsockopt(SOCKET(out), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return 0;
}

void close(Socket s) {
    if (s != kNoSocket) closesocket(SOCKET(s));
}

short wait(Socket s, bool write, int64_t timeoutUs) {
    fd_set set, x;
    FD_ZERO(&set);
    FD_ZERO(&x);
    FD_SET(SOCKET(s), &set);
    FD_SET(SOCKET(s), &x);
    timeval to = span(timeoutUs);
    const int r = select(0, write ? nullptr : &set, write ? &set : nullptr, &x, &to);
    if (r < 0) return kBroken;
    if (r == 0) return 0;
    short ready = 0;
    if (FD_ISSET(SOCKET(s), &set)) ready |= write ? kWritable : kReadable;
    if (FD_ISSET(SOCKET(s), &x)) ready |= kBroken;
    return ready;
}

long receive(Socket s, uint8_t* buf, size_t n, int& err) {
    const int r = ::recv(SOCKET(s), reinterpret_cast<char*>(buf), int(n), 0);
    if (r < 0) err = errnoOf(WSAGetLastError());
    return r;
}

long send(Socket s, const uint8_t* buf, size_t n, int& err) {
    const int r = ::send(SOCKET(s), reinterpret_cast<const char*>(buf), int(n), 0);
    if (r < 0) err = errnoOf(WSAGetLastError());
    return r;
}

// Windows acknowledges as it sees fit.
void quickAck(Socket) {}

std::string errorText(int err) {
    // The C runtime has no words for the socket errors: Windows' own ones.
    switch (err) {
    case ECONNREFUSED: return systemErrorText(WSAECONNREFUSED);
    case ECONNRESET: return systemErrorText(WSAECONNRESET);
    case ETIMEDOUT: return systemErrorText(WSAETIMEDOUT);
    case EHOSTUNREACH: return systemErrorText(WSAEHOSTUNREACH);
    default: return std::strerror(err);
    }
}

}  // namespace lork::net
