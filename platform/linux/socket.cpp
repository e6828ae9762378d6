#include "platform/base/socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/linux/deadline_wait.h"
#include "platform/base/error_words.h"

namespace lork::net {

namespace {

// Why a gateway's name gave no address, in the operator's words.
std::string resolverWords(int g, int sysErr) {
    switch (g) {
    case EAI_NONAME: return "такого имени узла нет в сети";
#ifdef EAI_NODATA
    case EAI_NODATA: return "у имени узла нет адреса";
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return "у узла нет адреса нужного вида";
#endif
    case EAI_AGAIN: return "сервер имён не ответил, попробуйте позже";
    case EAI_FAIL: return "сервер имён не смог найти узел";
    case EAI_SERVICE: return "неверный номер порта шлюза";
    case EAI_MEMORY: return "не хватает памяти";
    case EAI_OVERFLOW: return "слишком длинное имя узла";
    case EAI_SYSTEM: return errorWords(uint32_t(sysErr));
    default: return "не удалось найти адрес узла (код " + std::to_string(g) + ")";
    }
}

}  // namespace

int connect(const std::string& host, const std::string& service, int64_t timeoutUs, Socket& out,
            std::string& detail) {
    out = kNoSocket;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (const int g = getaddrinfo(host.c_str(), service.c_str(), &hints, &res)) {
        const int sysErr = errno;
        const char* system = g == EAI_SYSTEM ? std::strerror(sysErr) : gai_strerror(g);
        detail = resolverWords(g, sysErr) + " [" + system + "]";
        return EHOSTUNREACH;
    }
    int err = ECONNREFUSED;
    for (addrinfo* ai = res; ai && out == kNoSocket; ai = ai->ai_next) {
        const int s = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (s < 0) {
            err = errno;
            continue;
        }
        int r = ::connect(s, ai->ai_addr, ai->ai_addrlen);
        if (r != 0 && errno == EINPROGRESS) {
            const short ev = wait(s, true, timeoutUs);
            int so = ETIMEDOUT;
            socklen_t len = sizeof so;
            if (ev != 0) getsockopt(s, SOL_SOCKET, SO_ERROR, &so, &len);
            r = so == 0 ? 0 : -1;
            errno = so;
        }
        if (r != 0) {
            err = errno;
            ::close(s);
            continue;
        }
        out = s;
    }
    freeaddrinfo(res);
    if (out == kNoSocket) return err;
    // A request is one small write that must go out at once.
    const int one = 1;
    setsockopt(int(out), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return 0;
}

void close(Socket s) {
    if (s != kNoSocket) ::close(int(s));
}

short wait(Socket s, bool write, int64_t timeoutUs) {
    pollfd p{int(s), short(write ? POLLOUT : POLLIN), 0};
    const int r = pollUntil(p, monotonicUs() + std::max<int64_t>(timeoutUs, 0));
    if (r < 0) return kBroken;
    if (r == 0) return 0;
    short ready = 0;
    if (p.revents & POLLIN) ready |= kReadable;
    if (p.revents & POLLOUT) ready |= kWritable;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) ready |= kBroken;
    return ready;
}

long receive(Socket s, uint8_t* buf, size_t n, int& err) {
    for (;;) {
        const ssize_t r = ::recv(int(s), buf, n, MSG_DONTWAIT);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) err = errno == EWOULDBLOCK ? EAGAIN : errno;
        return long(r);
    }
}

long send(Socket s, const uint8_t* buf, size_t n, int& err) {
    for (;;) {
        const ssize_t r = ::send(int(s), buf, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) err = errno == EWOULDBLOCK ? EAGAIN : errno;
        return long(r);
    }
}

void quickAck(Socket s) {
    // A server that holds back its next small segment until the first is
    // acknowledged (Nagle) would otherwise wait for the delayed
    // acknowledgement: 40 ms inside a reply.
    const int one = 1;
    setsockopt(int(s), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

// The operator's words, and the system's own text after them in brackets.
std::string errorText(int err) { return errorWords(uint32_t(err)) + " [" + std::strerror(err) + "]"; }

}  // namespace lork::net
