#pragma once
// Listening to a line: the port the monitor hears it through, which never
// sends a byte, and the reading loop that times each read and hands the bytes
// to the monitor's frame cutter. Bytes are timed when a read returns them,
// so the cut is as fine as the port delivers: a pseudo-terminal or a network
// gateway hands bytes over in bursts, a USB adapter after its latency timer.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/line_monitor.h"
#include "platform/base/clock.h"
#include "platform/base/serial_port.h"

namespace lork::monitor {

// A port that only listens: every write is refused (and counted) whatever
// asks for it, so the line hears nothing from the monitor. Opening, the
// line settings and reading go to the port it wraps; for rfc2217:// the
// settings go to the gateway by Telnet, which is not a transmission on the line.
class ListenOnlyPort : public SerialPort {
public:
    explicit ListenOnlyPort(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}
    uint32_t open(const std::string& name) override { return port_->open(name); }
    void close() override { port_->close(); }
    bool isOpen() const override { return port_->isOpen(); }
    uint32_t configure(const LineConfig& cfg) override { return port_->configure(cfg); }
    LineConfig config() const override { return port_->config(); }
    void purgeInput() override { port_->purgeInput(); }
    uint32_t write(const uint8_t*, size_t) override {
        ++refusedWrites_;
        return EPERM;
    }
    size_t readAvailable(uint8_t* buf, size_t max) override { return port_->readAvailable(buf, max); }
    bool waitForReadyRead(int ms) override { return port_->waitForReadyRead(ms); }
    bool waitForReadyReadUs(int64_t us) override { return port_->waitForReadyReadUs(us); }
    std::string describeError(const std::string& name, uint32_t err) const override {
        return port_->describeError(name, err);
    }
    std::string refusal() const override { return port_->refusal(); }
    uint32_t lastReadError() const override { return port_->lastReadError(); }
    int refusedWrites() const { return refusedWrites_; }

private:
    std::unique_ptr<SerialPort> port_;
    int refusedWrites_ = 0;
};

// Why a port name cannot be listened to, in words; empty when it can. A
// Modbus TCP gateway passes only its own exchanges, never the line's.
std::string listenRefusal(const std::string& port_name);

class LineListener {
public:
    LineListener(SerialPort& port, Clock& clock, LineMonitor& monitor)
        : port_(port), clock_(clock), monitor_(monitor) {}
    // Waits for bytes up to maxWaitUs (less when the monitor has a frame
    // or a reply to settle sooner) and hands what came to the monitor.
    // False when the port failed (its lastReadError() says why).
    bool step(int64_t maxWaitUs);

private:
    SerialPort& port_;
    Clock& clock_;
    LineMonitor& monitor_;
    uint8_t buf_[4096];
};

// The monitor on a thread of its own, for a window whose own thread blocks
// in exchanges: the window takes the frames heard when it has time.
class BackgroundListener {
public:
    // Frames waiting for take() beyond this are dropped, oldest first, and counted.
    static constexpr size_t kQueueLimit = 100'000;

    BackgroundListener(std::unique_ptr<SerialPort> port, Clock& clock);
    ~BackgroundListener();
    BackgroundListener(const BackgroundListener&) = delete;
    BackgroundListener& operator=(const BackgroundListener&) = delete;

    // Opens name with cfg and starts listening; the failure in words, empty
    // when it listens. gapUs > 0 overrides the line's own silence.
    std::string start(const std::string& name, const LineConfig& cfg, int64_t gapUs = 0);
    // Stops listening and closes the port; what was held is cut and queued.
    void stop();
    // Started and not stopped (it may have ended by itself since).
    bool running() const { return thread_.joinable(); }
    // Whether it listens now: started, not stopped, the port not failed.
    bool listening() const { return alive_; }

    std::vector<Frame> take();
    // Why listening ended by itself (the port went away); empty otherwise.
    std::string failure() const;
    uint64_t dropped() const { return dropped_; }
    int refusedWrites() const { return port_.refusedWrites(); }
    const Timing& timing() const { return timing_; }

private:
    void run();

    ListenOnlyPort port_;
    Clock& clock_;
    std::string name_;
    Timing timing_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> alive_{false};
    mutable std::mutex mutex_;
    std::deque<Frame> queue_;
    std::string failure_;
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace lork::monitor
