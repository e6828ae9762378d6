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

int errno_of(int wsa) {
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

int Connect(const std::string& host, const std::string& service, int64_t timeout_us, Socket& out,
            std::string& detail) {
    out = kNoSocket;
    if (!started()) return EIO;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* res = nullptr;
    if (const int g = GetAddrInfoW(Wide(host).c_str(), Wide(service).c_str(), &hints, &res)) {
        detail = System_error_text(DWORD(g));
        return EHOSTUNREACH;
    }
    int err = ECONNREFUSED;
    for (ADDRINFOW* ai = res; ai && out == kNoSocket; ai = ai->ai_next) {
        const SOCKET s = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (s == INVALID_SOCKET) {
            err = errno_of(WSAGetLastError());
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
            timeval to = span(timeout_us);
            int so = WSAETIMEDOUT;
            if (select(0, nullptr, &w, &x, &to) > 0) {
                int len = sizeof so;
                so = 0;
                getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so), &len);
            }
            r = so == 0 ? 0 : -1;
            if (r != 0) err = errno_of(so);
        } else if (r != 0) {
            err = errno_of(WSAGetLastError());
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

void Close(Socket s) {
    if (s != kNoSocket) closesocket(SOCKET(s));
}

short Wait(Socket s, bool write, int64_t timeout_us) {
    fd_set set, x;
    FD_ZERO(&set);
    FD_ZERO(&x);
    FD_SET(SOCKET(s), &set);
    FD_SET(SOCKET(s), &x);
    timeval to = span(timeout_us);
    const int r = select(0, write ? nullptr : &set, write ? &set : nullptr, &x, &to);
    if (r < 0) return kBroken;
    if (r == 0) return 0;
    short ready = 0;
    if (FD_ISSET(SOCKET(s), &set)) ready |= write ? kWritable : kReadable;
    if (FD_ISSET(SOCKET(s), &x)) ready |= kBroken;
    return ready;
}

long Receive(Socket s, uint8_t* buf, size_t n, int& err) {
    const int r = ::recv(SOCKET(s), reinterpret_cast<char*>(buf), int(n), 0);
    if (r < 0) err = errno_of(WSAGetLastError());
    return r;
}

long Send(Socket s, const uint8_t* buf, size_t n, int& err) {
    const int r = ::send(SOCKET(s), reinterpret_cast<const char*>(buf), int(n), 0);
    if (r < 0) err = errno_of(WSAGetLastError());
    return r;
}

// Windows acknowledges as it sees fit.
void Quick_ack(Socket) {}

std::string Error_text(int err) {
    // The C runtime has no words for the socket errors: Windows' own ones.
    switch (err) {
    case ECONNREFUSED: return System_error_text(WSAECONNREFUSED);
    case ECONNRESET: return System_error_text(WSAECONNRESET);
    case ETIMEDOUT: return System_error_text(WSAETIMEDOUT);
    case EHOSTUNREACH: return System_error_text(WSAEHOSTUNREACH);
    default: return std::strerror(err);
    }
}

}  // namespace lork::net
