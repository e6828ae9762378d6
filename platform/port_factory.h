#pragma once
// A port name chooses its kind: "tcp://HOST:PORT" a device server passing
// bytes unchanged, "rfc2217://HOST:PORT" one that also takes the line
// settings (Telnet COM port control), "mbtcp://HOST[:PORT]" a Modbus TCP
// gateway (MBAP framing, port 502 by default), anything else a serial device ("ttyUSB0",
// "/dev/ttyS1", a path to a pseudo-terminal).
#include <functional>
#include <memory>
#include <string>

#include "platform/base/serial_port.h"

namespace lork {

enum class PortKind { Tty, Tcp, Rfc2217, Mbtcp };
PortKind portKind(const std::string& name);

// Why a name can name no port, whatever the system holds, in words for the
// operator ("неверный адрес шлюза: ..."); empty when it may. Checked before
// anything is opened or connected.
std::string portNameProblem(const std::string& name);

// The port's name as the operator sees it: a Modbus TCP gateway says so.
std::string portShown(const std::string& name);

// A port of the kind the name gives, not yet open; remarks for the operator
// (a fixed gateway rate, a slow USB latency timer) go to notice.
std::unique_ptr<SerialPort> makePort(const std::string& name,
                                      std::function<void(const std::string&)> notice = {});

// The one port of a program whose port name changes while it runs: each
// opening takes the kind of port its name asks for.
class PortByName : public SerialPort {
public:
    uint32_t open(const std::string& name) override;
    uint32_t reopen(const std::string& name) override;
    void close() override;
    bool isOpen() const override { return port_ && port_->isOpen(); }
    uint32_t configure(const LineConfig& cfg) override;
    LineConfig config() const override { return port_ ? port_->config() : lastCfg_; }
    void purgeInput() override;
    uint32_t write(const uint8_t* data, size_t len) override;
    size_t readAvailable(uint8_t* buf, size_t max) override;
    bool waitForReadyRead(int ms) override;
    bool waitForReadyReadUs(int64_t us) override;
    uint32_t lastReadError() const override;
    bool readTimed(uint8_t* buf, size_t n, const PortTimeouts& t, size_t& got, uint32_t& err) override;
    std::string describeError(const std::string& name, uint32_t err) const override;
    std::string refusal() const override { return badName_; }
    uint8_t gatewayException() const override { return port_ ? port_->gatewayException() : 0; }
    bool modbusTcp() const override { return port_ && port_->modbusTcp(); }

    std::function<void(const std::string&)> notice;

private:
    SerialPort& portFor(const std::string& name);
    // The name's problem, which closes the port, or 0 when it may be opened.
    uint32_t refuseBadName(const std::string& name);
    std::unique_ptr<SerialPort> port_;
    std::string badName_;  // what was wrong with the name last asked for
    PortKind kind_ = PortKind::Tty;
    LineConfig lastCfg_;
};

}  // namespace lork
