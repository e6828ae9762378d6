#include "platform/qt_serial_port.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <cerrno>

namespace lork {

namespace {

// A frame is at most 64 bytes, so a write that has not drained by then is a
// stuck line rather than a slow one.
constexpr int kWriteDrainMs = 2000;

uint32_t errno_of(QSerialPort::SerialPortError e) {
    switch (e) {
    case QSerialPort::NoError: return 0;
    case QSerialPort::DeviceNotFoundError: return ENOENT;
    case QSerialPort::PermissionError: return EACCES;
    case QSerialPort::OpenError: return EBUSY;
    case QSerialPort::NotOpenError: return EBADF;
    case QSerialPort::UnsupportedOperationError: return EINVAL;
    case QSerialPort::TimeoutError: return ETIMEDOUT;
    default: return EIO;
    }
}

}  // namespace

QtSerialPort::QtSerialPort() : port_(std::make_unique<QSerialPort>()) {}
QtSerialPort::~QtSerialPort() = default;

std::string QtSerialPort::systemLocation(const std::string& name) {
    if (!name.empty() && name.front() == '/') return name;
    return "/dev/" + name;
}

uint32_t QtSerialPort::lastError() const {
    uint32_t e = errno_of(port_->error());
    return e ? e : EIO;
}

uint32_t QtSerialPort::open(const std::string& name) {
    close();
    const QString path = QString::fromStdString(systemLocation(name));
    port_->setPortName(path);
    // socat and friends hand out links to /dev/pts/N.
    const QString real = QFileInfo(path).canonicalFilePath();
    is_pty_ = real.startsWith(QLatin1String("/dev/pts/")) || real.startsWith(QLatin1String("/dev/pty"));
    if (!port_->open(QIODevice::ReadWrite)) {
        uint32_t e = lastError();
        port_->clearError();
        return e;
    }
    // The line must carry every byte as it is: no XON/XOFF, no RTS/CTS.
    port_->setFlowControl(QSerialPort::NoFlowControl);
    return 0;
}

void QtSerialPort::close() {
    if (port_->isOpen()) port_->close();
    port_->clearError();
}

bool QtSerialPort::isOpen() const { return port_->isOpen(); }

uint32_t QtSerialPort::configure(const LineConfig& cfg) {
    if (!port_->isOpen()) return EBADF;
    uint32_t err = 0;
    auto check = [&](bool ok) {
        if (!ok) {
            err = lastError();
            port_->clearError();
        }
    };
    check(port_->setBaudRate(cfg.baud));
    if (cfg.bytesize >= 5 && cfg.bytesize <= 8)
        check(port_->setDataBits(static_cast<QSerialPort::DataBits>(cfg.bytesize)));
    else
        err = EINVAL;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (cfg.parity) {
    case 0: parity = QSerialPort::NoParity; break;
    // The window lists code 1 as "чёт" and code 2 as "нечёт", and the
    // instrument's parity register uses the same codes, so the line follows
    // the names the operator sees (the Win32 numbering would swap them).
    case 1: parity = QSerialPort::EvenParity; break;
    case 2: parity = QSerialPort::OddParity; break;
    case 3: parity = QSerialPort::MarkParity; break;
    case 4: parity = QSerialPort::SpaceParity; break;
    default: err = EINVAL; parity = port_->parity(); break;
    }
    if (!port_->setParity(parity)) {
        // A pseudo-terminal has no character framing, so the kernel drops the
        // parity bit and Qt reports the setting as unsupported. Nothing is
        // lost on such a line; a real port still fails.
        if (!is_pty_) err = lastError();
        port_->clearError();
    }
    LineConfig applied = cfg;
    if (cfg.stopbits == 1)
        check(port_->setStopBits(QSerialPort::OneStop));
    else if (cfg.stopbits == 2)
        check(port_->setStopBits(QSerialPort::TwoStop));
    else
        applied.stopbits = cfg_.stopbits;  // other counts leave the port as it was
    check(port_->setFlowControl(QSerialPort::NoFlowControl));
    cfg_ = applied;
    return err;
}

void QtSerialPort::purgeInput() {
    if (!port_->isOpen()) return;
    port_->clear(QSerialPort::Input);
    port_->clearError();
}

uint32_t QtSerialPort::write(const uint8_t* data, size_t len) {
    if (!port_->isOpen()) return EBADF;
    const auto n = port_->write(reinterpret_cast<const char*>(data), qint64(len));
    if (n != qint64(len)) {
        uint32_t e = lastError();
        port_->clearError();
        return e;
    }
    QElapsedTimer t;
    t.start();
    while (port_->bytesToWrite() > 0) {
        const int left = kWriteDrainMs - int(t.elapsed());
        if (left <= 0) return ETIMEDOUT;
        if (!port_->waitForBytesWritten(left) && port_->error() != QSerialPort::NoError &&
            port_->error() != QSerialPort::TimeoutError) {
            uint32_t e = lastError();
            port_->clearError();
            return e;
        }
    }
    port_->clearError();
    return 0;
}

size_t QtSerialPort::readAvailable(uint8_t* buf, size_t max) {
    if (!port_->isOpen() || max == 0) return 0;
    // Without an event loop nothing moves bytes from the device into the
    // port's buffer, so look once, without waiting.
    if (port_->bytesAvailable() == 0) port_->waitForReadyRead(0);
    port_->clearError();
    const auto n = port_->read(reinterpret_cast<char*>(buf), qint64(max));
    return n > 0 ? size_t(n) : 0;
}

bool QtSerialPort::waitForReadyRead(int ms) {
    if (!port_->isOpen()) return false;
    if (port_->bytesAvailable() > 0) return true;
    QElapsedTimer t;
    t.start();
    // waitForReadyRead may return early without data (a notification that
    // brought nothing); keep waiting out the rest of the time.
    for (;;) {
        const int left = std::max(0, ms - int(t.elapsed()));
        port_->waitForReadyRead(left);
        const auto err = port_->error();
        port_->clearError();
        if (port_->bytesAvailable() > 0) return true;
        // A vanished device fails at once; do not spin on it.
        if (err != QSerialPort::NoError && err != QSerialPort::TimeoutError) return false;
        if (left == 0 || t.elapsed() >= ms) return false;
    }
}

}  // namespace lork
