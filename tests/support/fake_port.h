#pragma once
// Test doubles for the platform: a VirtualClock, a scripted FakePort whose
// bytes arrive at given virtual times, and a Host that records messages.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/base/clock.h"
#include "platform/host.h"
#include "platform/base/serial_port.h"

namespace lork::test {

class VirtualClock : public Clock {
public:
    int64_t nowUs() const override { return now_us; }
    void sleepMs(int ms) override {
        now_us += int64_t(ms) * 1000;
        sleeps_ms.push_back(ms);
    }
    void advanceUs(int64_t us) { now_us += us; }
    int64_t now_us = 0;
    std::vector<int> sleeps_ms;  // every sleepMs() asked, in order
};

class FakePort : public SerialPort {
public:
    explicit FakePort(VirtualClock& clock) : clock_(clock) {}

    // --- scripting ---
    // Bytes that arrive together at virtual time atUs.
    void arrive(int64_t atUs, const std::vector<uint8_t>& bytes);
    // Bytes that arrive one by one, the first at atUs, then every per_byte_us.
    void arriveSpaced(int64_t atUs, const std::vector<uint8_t>& bytes, int64_t per_byte_us);
    // Called after every successful write with the bytes written; a responder
    // (the in-process simulator) schedules its reply with arrive().
    std::function<void(FakePort&, const std::vector<uint8_t>&)> onWrite;
    // Names that fail to open, with the error code open() returns.
    std::map<std::string, uint32_t> open_errors;
    // From this virtual time on the device is gone while the port still reads
    // as open (an adapter pulled out): reads and writes fail at once with EIO.
    int64_t vanish_at_us = -1;
    // Stands for a Modbus TCP gateway: whole frames, no serial line on this side.
    bool modbus_tcp = false;

    // --- what happened ---
    struct Write {
        int64_t atUs;
        LineConfig cfg;
        std::vector<uint8_t> bytes;
    };
    std::vector<Write> writes;
    std::vector<std::string> opened;  // every open() asked, in order
    int purges = 0;
    int waits = 0;                    // waitForReadyRead() calls
    std::string name() const { return name_; }
    // Whether any scripted byte arrives within [from_us, to_us].
    bool arrivesBetween(int64_t from_us, int64_t to_us) const;

    // --- SerialPort ---
    uint32_t open(const std::string& name) override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    uint32_t configure(const LineConfig& cfg) override;
    LineConfig config() const override { return cfg_; }
    void purgeInput() override;
    uint32_t write(const uint8_t* data, size_t len) override;
    size_t readAvailable(uint8_t* buf, size_t max) override;
    bool waitForReadyRead(int ms) override;
    uint32_t lastReadError() const override { return readError_; }
    bool modbusTcp() const override { return modbus_tcp; }

    VirtualClock& clock() { return clock_; }

private:
    void deliverDue();
    bool vanished() const { return vanish_at_us >= 0 && clock_.now_us >= vanish_at_us; }
    VirtualClock& clock_;
    uint32_t readError_ = 0;
    bool open_ = false;
    std::string name_;
    LineConfig cfg_;
    std::vector<int64_t> arrival_log_;         // every scripted arrival time
    std::multimap<int64_t, uint8_t> pending_;  // arrival time -> byte (insertion order kept per time)
    std::deque<uint8_t> rx_;
};

class RecordingHost : public Host {
public:
    void messageBox(const std::string& text) override { messages.push_back(text); }
    void infoLine(const std::string& text) override { info_lines.push_back(text); }
    bool keyPressedSince(int vk) override {
        ++key_questions[vk];
        if (keyHook) return keyHook(vk);
        return false;
    }
    std::vector<std::string> messages;
    std::vector<std::string> info_lines;
    std::map<int, int> key_questions;
    std::function<bool(int)> keyHook;  // answers keyPressedSince
};

}  // namespace lork::test
