#pragma once
// The instrument simulator behind the SerialPort interface, in this process
// and in real time: what a request written here gets back arrives byte by
// byte as it would on a line at the port's rate. The demonstration uses it
// where no pseudo-terminal can carry lork-sim (Windows).
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/base/serial_port.h"
#include "sim/instrument_model.h"

namespace lork::sim {

class SimPort : public SerialPort {
public:
    explicit SimPort(InstrumentModel& model) : model_(model) {}

    uint32_t open(const std::string& name) override;
    void close() override;
    bool isOpen() const override { return open_; }
    uint32_t configure(const LineConfig& cfg) override;
    LineConfig config() const override { return cfg_; }
    void purgeInput() override;
    uint32_t write(const uint8_t* data, size_t len) override;
    size_t readAvailable(uint8_t* buf, size_t max) override;
    bool waitForReadyRead(int ms) override { return waitForReadyReadUs(int64_t(ms) * 1000); }
    bool waitForReadyReadUs(int64_t us) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Byte {
        Clock::time_point at;  // when its last bit has arrived
        uint8_t value;
    };
    InstrumentModel& model_;
    bool open_ = false;
    LineConfig cfg_;
    std::deque<Byte> rx_;
};

}  // namespace lork::sim
