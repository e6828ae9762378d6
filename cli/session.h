#pragma once
// One run of lorkctl against one instrument: the line settings (the window's
// settings file as defaults, the command line over them), the port, the core,
// and the exchange routine every command uses.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "platform/host.h"
#include "platform/base/serial_port.h"
#include "platform/base/system_clock.h"
#include "device/device.h"

namespace lorkctl {

// The core's messages go to standard error; there are no keys to ask.
class CliHost : public lork::Host {
public:
    void messageBox(const std::string& text) override;
    // The key that stops a probe is Ctrl-C here, when the command asks for it.
    bool keyPressedSince(int vk) override { return vk == lork::VK_X && stopProbe && stopProbe(); }
    bool mute = false;
    bool (*stopProbe)() = nullptr;
};

// Reads the window's settings file (never writes it) into ls; whether it names a port.
bool loadSettingsDefaults(lork::LineSettings& ls);

class Session {
public:
    // addressOption names the option that gives the address to talk to.
    explicit Session(const Options& o, const std::string& addressOption = "address");

    lork::State& st() { return core_.st; }
    const lork::State& st() const { return core_.st; }
    lork::LineSettings& ls() { return core_.st.ls; }
    lork::Core& core() { return core_; }
    // A probe (of a search) ends early, throwing lork::ProbeAborted, once asked() is true.
    void stopProbesOn(bool (*asked)()) { host_.stopProbe = asked; }

    // The port set up for the line settings as they now are (at start, and
    // to follow the instrument to a new rate, parity or stop bits); throws
    // Exit(ST_PORT) with the cause.
    void openLine();

    // One exchange of functions 1 to 4 or 16, decoded into the state; the result code.
    uint8_t exchange(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values = {});
    // once() repeated while it fails, as --retries allows; a write is not
    // repeated after a reply with a bad CRC or an exception (it may have
    // been done). The last result code.
    uint8_t retried(const std::function<uint8_t()>& once, bool write = false);
    int retries() const { return retries_; }
    // --timeout, ms; 0 when not given.
    uint32_t timeoutMs() const { return core_.link.responseTimeoutMs; }
    lork::SerialPort& port() { return *port_; }
    lork::Clock& clock() { return clock_; }

    // Throws Exit(ST_REFUSED) with the result's text unless kod is 0; an
    // instrument that did not answer is named by its line and address, and
    // the hint (when set) follows.
    void require(uint8_t kod);
    void setNoReplyHint(std::string hint) { noReplyHint_ = std::move(hint); }
    // The result code of the last failure require() threw for; 0 when none did.
    uint8_t lastFailure() const { return lastFailure_; }
    // exchange() that must succeed.
    void run(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values = {}) {
        require(exchange(func, start, kol, values));
    }

    // The text registers' last reading in UTF-8.
    std::string regTextUtf8() const;

private:
    void checkPort(uint32_t error);
    uint8_t exchangeOnce(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values);

    CliHost host_;
    lork::SystemClock clock_;
    lork::LineSettings line_;  // as the settings and the command line give it; the port's kind follows its name
    std::unique_ptr<lork::SerialPort> port_;
    lork::Core core_;
    int retries_ = 0;
    std::string noReplyHint_;
    uint8_t lastFailure_ = 0;
};

// Whether a failed exchange may be sent again: a write whose reply came with
// a bad CRC or as an exception may have been carried out.
bool mayRepeat(uint8_t kod, bool write, bool exception);

std::string parityName(uint8_t code);

}  // namespace lorkctl
