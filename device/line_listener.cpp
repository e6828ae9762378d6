#include "device/line_listener.h"

#include <algorithm>
#include <climits>

#include "platform/port_factory.h"

namespace lork::monitor {

std::string listenRefusal(const std::string& port_name) {
    if (std::string problem = portNameProblem(port_name); !problem.empty()) return problem;
    if (portKind(port_name) == PortKind::Mbtcp)
        return "шлюз Modbus TCP (" + port_name +
               ") передаёт только свои обмены, а не линию: слушать можно порт, tcp:// или rfc2217://";
    return {};
}

bool LineListener::step(int64_t maxWaitUs) {
    int64_t wait = maxWaitUs;
    if (const int64_t due = monitor_.nextDeadlineUs(); due != INT64_MAX)
        wait = std::clamp<int64_t>(due - clock_.nowUs(), 0, maxWaitUs);
    if (!port_.waitForReadyReadUs(wait)) {
        if (port_.lastReadError() != 0) return false;
        // Nothing came for the whole wait: a silence the line really kept.
        monitor_.idle(clock_.nowUs());
        return true;
    }
    const size_t n = port_.readAvailable(buf_, sizeof buf_);
    const int64_t at = clock_.nowUs();
    if (n == 0) return port_.lastReadError() == 0;  // a gateway's own Telnet bytes, say
    monitor_.feed(buf_, n, at);
    return true;
}

BackgroundListener::BackgroundListener(std::unique_ptr<SerialPort> port, Clock& clock)
    : port_(std::move(port)), clock_(clock) {}

BackgroundListener::~BackgroundListener() { stop(); }

std::string BackgroundListener::start(const std::string& name, const LineConfig& cfg, int64_t gapUs) {
    stop();
    if (std::string refusal = listenRefusal(name); !refusal.empty()) return refusal;
    name_ = name;
    if (const uint32_t e = port_.open(name)) return port_.describeError(name, e);
    if (const uint32_t e = port_.configure(cfg)) {
        std::string why = port_.describeError(name, e);
        port_.close();
        return why;
    }
    // What the port held before the start was heard at no known time.
    port_.purgeInput();
    timing_ = timingFor(cfg);
    if (gapUs > 0) timing_.gapUs = gapUs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_.clear();
    }
    stop_ = false;
    alive_ = true;
    thread_ = std::thread(&BackgroundListener::run, this);
    return {};
}

void BackgroundListener::stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
}

void BackgroundListener::run() {
    LineMonitor monitor(timing_, [this](Frame&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= kQueueLimit) {
            queue_.erase(queue_.begin());
            ++dropped_;
        }
        queue_.push_back(std::move(f));
    });
    LineListener listener(port_, clock_, monitor);
    // Short waits so that stop() is answered promptly.
    while (!stop_) {
        if (!listener.step(50'000)) {
            std::lock_guard<std::mutex> lock(mutex_);
            failure_ = port_.describeError(name_, port_.lastReadError());
            break;
        }
    }
    monitor.flush(clock_.nowUs());
    port_.close();
    alive_ = false;
}

std::vector<Frame> BackgroundListener::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Frame> out(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
    queue_.clear();
    return out;
}

std::string BackgroundListener::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

}  // namespace lork::monitor
