#include "platform/port_factory.h"

#include <cerrno>

#include "platform/base/device_port.h"
#include "platform/mbtcp_port.h"
#include "platform/rfc2217_port.h"
#include "platform/tcp_port.h"

namespace lork {

PortKind portKind(const std::string& name) {
    if (name.rfind("tcp://", 0) == 0) return PortKind::Tcp;
    if (name.rfind("rfc2217://", 0) == 0) return PortKind::Rfc2217;
    if (name.rfind("mbtcp://", 0) == 0) return PortKind::Mbtcp;
    return PortKind::Tty;
}

std::string portNameProblem(const std::string& name) {
    if (name.empty()) return "не задано имя порта";
    if (portKind(name) == PortKind::Tty) return {};
    GatewayAddress a;
    if (parseGateway(name, a)) return {};
    if (portKind(name) == PortKind::Mbtcp) return "неверный адрес шлюза: " + name + " (нужны узел и порт 1..65535 или без порта: 502)";
    return "неверный адрес шлюза: " + name + " (нужны узел и порт 1..65535)";
}

std::string portShown(const std::string& name) {
    return portKind(name) == PortKind::Mbtcp ? name + " (Modbus TCP)" : name;
}

std::unique_ptr<SerialPort> makePort(const std::string& name, std::function<void(const std::string&)> notice) {
    switch (portKind(name)) {
    case PortKind::Tcp: {
        auto p = std::make_unique<TcpPort>();
        p->notice = std::move(notice);
        return p;
    }
    case PortKind::Rfc2217: {
        auto p = std::make_unique<Rfc2217Port>();
        p->notice = std::move(notice);
        return p;
    }
    case PortKind::Mbtcp: {
        auto p = std::make_unique<MbtcpPort>();
        p->notice = std::move(notice);
        return p;
    }
    case PortKind::Tty: break;
    }
    return makeDevicePort(std::move(notice));
}

SerialPort& PortByName::portFor(const std::string& name) {
    const PortKind k = portKind(name);
    if (!port_ || k != kind_) {
        if (port_) {
            lastCfg_ = port_->config();
            port_->close();
        }
        // The remark sink is looked up when used, so it may be set after the port.
        port_ = makePort(name, [this](const std::string& line) {
            if (notice) notice(line);
        });
        kind_ = k;
    }
    return *port_;
}

uint32_t PortByName::refuseBadName(const std::string& name) {
    badName_ = portNameProblem(name);
    if (badName_.empty()) return 0;
    close();
    return EINVAL;
}

uint32_t PortByName::open(const std::string& name) {
    if (const uint32_t e = refuseBadName(name)) return e;
    return portFor(name).open(name);
}
uint32_t PortByName::reopen(const std::string& name) {
    if (const uint32_t e = refuseBadName(name)) return e;
    return portFor(name).reopen(name);
}
void PortByName::close() {
    if (port_) port_->close();
}
uint32_t PortByName::configure(const LineConfig& cfg) { return port_ ? port_->configure(cfg) : EBADF; }
void PortByName::purgeInput() {
    if (port_) port_->purgeInput();
}
uint32_t PortByName::write(const uint8_t* data, size_t len) { return port_ ? port_->write(data, len) : EBADF; }
size_t PortByName::readAvailable(uint8_t* buf, size_t max) { return port_ ? port_->readAvailable(buf, max) : 0; }
bool PortByName::waitForReadyRead(int ms) { return port_ && port_->waitForReadyRead(ms); }
bool PortByName::waitForReadyReadUs(int64_t us) { return port_ && port_->waitForReadyReadUs(us); }
uint32_t PortByName::lastReadError() const { return port_ ? port_->lastReadError() : EBADF; }
bool PortByName::readTimed(uint8_t* buf, size_t n, const PortTimeouts& t, size_t& got, uint32_t& err) {
    return port_ && port_->readTimed(buf, n, t, got, err);
}
std::string PortByName::describeError(const std::string& name, uint32_t err) const {
    if (!badName_.empty()) return "порт " + name + ": " + badName_;
    return port_ ? port_->describeError(name, err) : SerialPort::describeError(name, err);
}

}  // namespace lork
