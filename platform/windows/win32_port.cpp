#include "platform/windows/win32_port.h"

#include <timeapi.h>

#include <algorithm>

#include "platform/base/device_port.h"
#include "platform/base/error_words.h"
#include "platform/windows/wide.h"

namespace lork {

namespace {

// A write that has not gone out by then never will (a stalled adapter).
constexpr DWORD kWriteConstantMs = 2000;

}  // namespace

std::unique_ptr<SerialPort> makeDevicePort(std::function<void(const std::string&)> notice) {
    auto p = std::make_unique<Win32Port>();
    p->notice = std::move(notice);
    return p;
}

Win32Port::~Win32Port() { close(); }

std::string Win32Port::systemLocation(const std::string& name) {
    if (name.rfind("\\\\", 0) == 0) return name;
    return "\\\\.\\" + name;
}

uint32_t Win32Port::open(const std::string& name) {
    close();
    lostError_ = 0;
    readError_ = 0;
    // Exclusive, synchronous: no other program shares the line while we talk.
    h_ = CreateFileW(toWide(systemLocation(name)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                     nullptr);
    if (h_ == INVALID_HANDLE_VALUE) return openError_ = GetLastError();
    openError_ = 0;
    to_ = {};
    // Millisecond pauses and time-outs must be milliseconds, not the default 15.6 ms tick.
    period_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    return 0;
}

void Win32Port::close() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    rx_.clear();
    if (period_) timeEndPeriod(1);
    period_ = false;
}

void Win32Port::lost(DWORD err) {
    close();
    // A call that failed without a code still failed.
    if (err == 0) err = ERROR_GEN_FAILURE;
    lostError_ = err;
    readError_ = err;
}

DWORD Win32Port::lostNow() {
    const DWORD e = GetLastError();
    lost(e);
    return lostError_;
}

uint32_t Win32Port::configure(const LineConfig& cfg) {
    if (h_ == INVALID_HANDLE_VALUE) return lostError_ ? lostError_ : openError_ ? openError_ : ERROR_INVALID_HANDLE;
    // What was asked for, even when the driver refuses it: the reopen after
    // a lost port asks again rather than falling back on an older setting.
    cfg_ = cfg;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h_, &dcb)) return lostNow();
    dcb.BaudRate = DWORD(cfg.baud);
    dcb.ByteSize = cfg.bytesize;
    dcb.Parity = cfg.parity == 1 ? EVENPARITY : cfg.parity == 2 ? ODDPARITY : NOPARITY;
    dcb.fParity = cfg.parity != 0;
    if (cfg.stopbits == 1) dcb.StopBits = ONESTOPBIT;
    if (cfg.stopbits == 2) dcb.StopBits = TWOSTOPBITS;
    // Raw 8-bit, no flow control; DTR and RTS up, as RS-485 adapters expect.
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(h_, &dcb)) return lostNow();
    if (cfg.stopbits != 1 && cfg.stopbits != 2) cfg_.stopbits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
    to_ = {};
    if (!setTimeouts(MAXDWORD, 0, 0)) return lostError_;
    return 0;
}

bool Win32Port::setTimeouts(DWORD interval, DWORD multiplier, DWORD constant) {
    if (to_.ReadIntervalTimeout == interval && to_.ReadTotalTimeoutMultiplier == multiplier &&
        to_.ReadTotalTimeoutConstant == constant && to_.WriteTotalTimeoutConstant == kWriteConstantMs)
        return true;
    COMMTIMEOUTS t{interval, multiplier, constant, 0, kWriteConstantMs};
    if (!SetCommTimeouts(h_, &t)) {
        lostNow();
        return false;
    }
    to_ = t;
    return true;
}

bool Win32Port::readFile(uint8_t* buf, DWORD n, DWORD& got) {
    got = 0;
    if (ReadFile(h_, buf, n, &got, nullptr)) return true;
    got = 0;  // what a failed call says it read is not to be trusted
    lostNow();
    return false;
}

void Win32Port::purgeInput() {
    rx_.clear();
    if (h_ == INVALID_HANDLE_VALUE) return;
    if (!PurgeComm(h_, PURGE_RXABORT | PURGE_RXCLEAR)) lostNow();
}

uint32_t Win32Port::write(const uint8_t* data, size_t len) {
    if (h_ == INVALID_HANDLE_VALUE) return lostError_ ? lostError_ : ERROR_INVALID_HANDLE;
    // A pulled adapter's driver often tells first here, before the write
    // would hang on it; the call also clears a line error a framing fault left.
    DWORD errors = 0;
    if (!ClearCommError(h_, &errors, nullptr)) return lostNow();
    DWORD done = 0;
    if (!WriteFile(h_, data, DWORD(len), &done, nullptr)) return lostNow();
    if (done != len) {
        // Not all of the frame went out in the write time-out: a stalled line.
        lost(ERROR_WRITE_FAULT);
        return lostError_;
    }
    return 0;
}

size_t Win32Port::readAvailable(uint8_t* buf, size_t max) {
    readError_ = 0;
    size_t got = 0;
    while (got < max && !rx_.empty()) {
        buf[got++] = rx_.front();
        rx_.pop_front();
    }
    if (h_ == INVALID_HANDLE_VALUE) {
        readError_ = lostError_ ? lostError_ : ERROR_INVALID_HANDLE;
        return got;
    }
    if (got == max) return got;
    // Interval MAXDWORD with no total: what the driver holds, at once.
    if (!setTimeouts(MAXDWORD, 0, 0)) return got;
    DWORD n = 0;
    readFile(buf + got, DWORD(max - got), n);
    return got + n;
}

bool Win32Port::waitForReadyRead(int ms) {
    readError_ = 0;
    if (!rx_.empty()) return true;
    if (h_ == INVALID_HANDLE_VALUE) {
        readError_ = lostError_ ? lostError_ : ERROR_INVALID_HANDLE;
        return false;
    }
    // One byte under a total time-out: it returns with the first byte.
    if (!setTimeouts(0, 0, DWORD(std::max(ms, 1)))) return false;
    uint8_t b = 0;
    DWORD n = 0;
    if (!readFile(&b, 1, n)) return false;
    if (n == 1) rx_.push_back(b);
    return n == 1;
}

uint32_t Win32Port::lastReadError() const {
    if (h_ == INVALID_HANDLE_VALUE) return lostError_ ? lostError_ : ERROR_INVALID_HANDLE;
    return readError_;
}

bool Win32Port::readTimed(uint8_t* buf, size_t n, const PortTimeouts& t, size_t& got, uint32_t& err) {
    // Without a total time-out ReadFile would wait for its first byte for
    // ever; the caller's own timing takes what is there instead.
    if (t.RTTM == 0 && t.RTTC == 0) return false;
    got = 0;
    err = 0;
    while (got < n && !rx_.empty()) {
        buf[got++] = rx_.front();
        rx_.pop_front();
    }
    if (h_ == INVALID_HANDLE_VALUE) {
        err = lostError_ ? lostError_ : ERROR_INVALID_HANDLE;
        return true;
    }
    if (got == n) return true;
    // A byte a wait took in counts as come: the interval runs from it.
    const DWORD total = got > 0 && t.RIT > 0 ? t.RIT : t.RTTC;
    if (!setTimeouts(t.RIT, got > 0 ? 0 : t.RTTM, got > 0 ? total : t.RTTC)) {
        err = lostError_;
        return true;
    }
    DWORD k = 0;
    if (!readFile(buf + got, DWORD(n - got), k)) err = lastReadError();
    got += k;
    return true;
}

std::string Win32Port::describeError(const std::string& name, uint32_t err) const {
    std::string text = "порт " + name + ": " + errorWords(err);
    if (err == ERROR_FILE_NOT_FOUND)
        text += " (проверьте номер COM-порта в диспетчере устройств)";
    else if (h_ == INVALID_HANDLE_VALUE && lostError_ != 0)
        text += "; порт закрыт, следующая команда откроет его заново";
    return text;
}

}  // namespace lork
