#include "platform/tcp_port.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/base/monotonic.h"

namespace lork {

namespace {

// Connecting to a device server on the local network takes milliseconds; a
// server that has not answered by then is not there.
constexpr int64_t kConnectUs = 3'000'000;
// As for a serial line: a frame that has not gone out by then never will.
constexpr int64_t kWriteDrainUs = 2'000'000;

}  // namespace

bool parseGateway(const std::string& name, GatewayAddress& out) {
    const auto sep = name.find("://");
    if (sep == std::string::npos) return false;
    out.scheme = name.substr(0, sep);
    if (out.scheme != "tcp" && out.scheme != "rfc2217" && out.scheme != "mbtcp") return false;
    const std::string rest = name.substr(sep + 3);
    const auto colon = rest.rfind(':');
    const auto bracket = rest.rfind(']');
    // A colon inside an IPv6 address's brackets is not the port's.
    const bool hasPort = colon != std::string::npos && (bracket == std::string::npos || colon > bracket);
    if (hasPort) {
        if (colon == 0 || colon + 1 == rest.size()) return false;
        out.host = rest.substr(0, colon);
        out.port = rest.substr(colon + 1);
    } else {
        // Modbus TCP has a port of its own; the other gateways' ports vary.
        if (out.scheme != "mbtcp") return false;
        out.host = rest;
        out.port = "502";
    }
    if (out.host.size() > 2 && out.host.front() == '[' && out.host.back() == ']')
        out.host = out.host.substr(1, out.host.size() - 2);
    if (out.host.empty() || out.host.front() == '[' || out.port.size() > 5) return false;
    if (!std::all_of(out.port.begin(), out.port.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    // The resolver would take 99999 modulo 65536 and connect elsewhere.
    const long number = std::stol(out.port);
    return number >= 1 && number <= 65535;
}

TcpPort::~TcpPort() { close(); }

uint32_t TcpPort::open(const std::string& name) {
    close();
    lostError_ = 0;
    openDetail_.clear();
    if (name != name_) {
        firstBaud_ = 0;
        rateTold_ = false;
    }
    name_ = name;
    auto fail = [&](int e) {
        net::close(fd_);
        fd_ = net::kNoSocket;
        openError_ = uint32_t(e);
        return openError_;
    };
    GatewayAddress a;
    if (!parseGateway(name, a)) {
        openDetail_ = "неверный адрес шлюза (нужны узел и порт 1..65535)";
        return fail(EINVAL);
    }
    if (const int e = net::connect(a.host, a.port, kConnectUs, fd_, openDetail_)) return fail(e);
    openError_ = 0;
    configured_ = false;
    dropped_ = 0;
    if (const uint32_t e = greet()) {
        close();
        return fail(int(e));
    }
    return 0;
}

uint32_t TcpPort::reopen(const std::string& name) {
    // Every probe re-opens the port; a new connection costs a round trip and
    // the server's greeting, and some servers take a while to free the line.
    // The connection already held, still up, is as good once nothing is pending.
    if (fd_ >= 0 && name == name_) {
        purgeInput();
        if (fd_ >= 0) return 0;
    }
    return open(name);
}

void TcpPort::close() {
    net::close(fd_);
    fd_ = net::kNoSocket;
    rx_.clear();
}

void TcpPort::lost(int err) {
    close();
    lostError_ = uint32_t(err);
}

uint32_t TcpPort::configure(const LineConfig& cfg) {
    if (fd_ < 0) return lostError_ ? lostError_ : EBADF;
    if (firstBaud_ == 0) firstBaud_ = cfg.baud;
    if (cfg.baud != firstBaud_ && !rateTold_) {
        rateTold_ = true;
        if (notice)
            notice("порт " + name_ + ": скорость линии задаёт шлюз, через " + name_.substr(0, name_.find("://")) +
                   ":// её не сменить; " +
                   "другие скорости проверяются на скорости шлюза");
    }
    LineConfig applied = cfg;
    if (cfg.stopbits != 1 && cfg.stopbits != 2) applied.stopbits = cfg_.stopbits;
    cfg_ = applied;
    configured_ = true;
    return 0;
}

bool TcpPort::pump(int64_t timeoutUs) {
    if (fd_ < 0) return false;
    if (timeoutUs > 0) {
        const short ev = net::wait(fd_, false, timeoutUs);
        if (ev == 0) return true;
        if (!(ev & net::kReadable) && (ev & net::kBroken)) {
            lost(ECONNRESET);
            return false;
        }
    }
    uint8_t buf[512];
    for (size_t taken = 0; taken < kLookMax;) {
        int err = 0;
        const long n = net::receive(fd_, buf, sizeof buf, err);
        if (n > 0) {
            taken += size_t(n);
            // A server that holds back its next small segment until the
            // first is acknowledged (Nagle) would otherwise wait for the
            // delayed acknowledgement: 40 ms inside a reply.
            net::quickAck(fd_);
            takeIn(buf, size_t(n));
            if (fd_ < 0) return false;
            if (size_t(n) < sizeof buf) return true;
            continue;
        }
        if (n < 0 && err == EAGAIN) return true;
        // The server closed the connection (0) or it broke.
        lost(n == 0 ? ECONNRESET : err);
        return false;
    }
    // The rest waits in the system's buffer, which the server cannot overrun.
    std::this_thread::sleep_for(std::chrono::microseconds(
        timeoutUs > 0 ? std::min(timeoutUs, kFloodPauseUs) : kFloodPauseUs));
    return true;
}

void TcpPort::keep(const uint8_t* data, size_t n) {
    const size_t room = kHeldMax - std::min(kHeldMax, rx_.size());
    const size_t k = std::min(room, n);
    rx_.insert(rx_.end(), data, data + k);
    if (k == n) return;
    if (dropped_ == 0 && notice)
        notice("порт " + name_ + ": шлюз шлёт больше, чем читается; непрочитанное сверх " +
               std::to_string(kHeldMax / 1024) + " КиБ отброшено");
    dropped_ += n - k;
}

void TcpPort::purgeInput() {
    pump(0);
    rx_.clear();
}

uint32_t TcpPort::sendRaw(const uint8_t* data, size_t len) {
    if (fd_ < 0) return lostError_ ? lostError_ : EBADF;
    const int64_t end = monotonicUs() + kWriteDrainUs;
    size_t off = 0;
    while (off < len) {
        int err = 0;
        const long n = net::send(fd_, data + off, len - off, err);
        if (n > 0) {
            off += size_t(n);
            continue;
        }
        if (n < 0 && err == EAGAIN) {
            const int64_t left = end - monotonicUs();
            if (left <= 0) return ETIMEDOUT;
            net::wait(fd_, true, left);
            continue;
        }
        const int e = n < 0 ? err : EIO;
        lost(e);
        return uint32_t(e);
    }
    return 0;
}

uint32_t TcpPort::write(const uint8_t* data, size_t len) {
    // A connection the server has closed shows only when looked at.
    if (fd_ >= 0) pump(0);
    return sendRaw(data, len);
}

size_t TcpPort::readAvailable(uint8_t* buf, size_t max) {
    if (rx_.size() < max) pump(0);
    const size_t n = std::min(max, rx_.size());
    std::copy_n(rx_.begin(), n, buf);
    rx_.erase(rx_.begin(), rx_.begin() + std::ptrdiff_t(n));
    return n;
}

bool TcpPort::waitForReadyRead(int ms) { return waitForReadyReadUs(int64_t(ms) * 1000); }

bool TcpPort::waitForReadyReadUs(int64_t us) {
    if (!rx_.empty()) return true;
    const int64_t end = monotonicUs() + std::max<int64_t>(us, 0);
    // Bytes of the connection's own protocol are not line data: wait on.
    do {
        if (!pump(std::max<int64_t>(end - monotonicUs(), 0))) return !rx_.empty();
        if (!rx_.empty()) return true;
    } while (monotonicUs() < end);
    return false;
}

uint32_t TcpPort::lastReadError() const {
    if (fd_ >= 0) return 0;
    return lostError_ ? lostError_ : EBADF;
}

uint32_t TcpPort::causeOf(uint32_t err) const {
    if (fd_ < 0 && err == EBADF && openError_ != 0) return openError_;
    if (fd_ < 0 && err == EBADF && lostError_ != 0) return lostError_;
    return err;
}

std::string TcpPort::describeError(const std::string& name, uint32_t e) const {
    const uint32_t err = causeOf(e);
    std::string line = "порт " + name + ": ";
    if ((err == EHOSTUNREACH || err == EINVAL) && fd_ < 0 && !openDetail_.empty()) line += openDetail_;
    else line += net::errorText(int(err));
    if (lostError_ != 0 && err == lostError_) line += "; соединение со шлюзом потеряно, новое будет при следующей настройке порта";
    return line;
}

}  // namespace lork
