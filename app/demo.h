#pragma once
// The demonstration mode: the program talks to the instrument simulator, so
// that it can be tried without an instrument. On Linux the simulator is
// lork-sim on a pseudo-terminal, a child process that ends with the program;
// on Windows, which has no pseudo-terminals, it runs in this process behind
// a port of its own (app/demo_windows.cpp).
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#include "platform/base/serial_port.h"

namespace lork::sim {
class InstrumentModel;
}

class DemoSimulator {
public:
    DemoSimulator() = default;
    ~DemoSimulator();
    DemoSimulator(const DemoSimulator&) = delete;
    DemoSimulator& operator=(const DemoSimulator&) = delete;

    // Where lork-sim is: beside this program's executable, else where the
    // build put it. Empty when neither exists.
    static QString locate(const QString& appDir);

    // Starts the simulator and waits (at most timeoutMs) for the terminal's
    // path on its first line of output. Empty on failure, with error() saying why.
    // The name of the port to use, which port() carries when it is not null.
    QString start(const QString& program, const QStringList& args = {}, int timeoutMs = 5000);

    // Keeps the demonstration's files away from the operator's own: the
    // settings and the window's place, the calibration log and the journal's
    // log go into a private temporary folder, removed when the program ends.
    bool isolateFiles();
    // That folder; empty before isolateFiles.
    QString folder() const { return configDir_ ? configDir_->path() : QString(); }
    // Why isolateFiles could not make it, in the system's words.
    QString folderError() const { return configDir_ ? configDir_->errorString() : QString(); }

    void stop();
    QString error() const { return error_; }
    QProcess& process() { return proc_; }
    // The simulator's own port, when it runs in this process; else null.
    lork::SerialPort* port() { return port_.get(); }

private:
    QProcess proc_;
    std::unique_ptr<QTemporaryDir> configDir_;
    QString error_;
    std::shared_ptr<lork::sim::InstrumentModel> model_;
    std::unique_ptr<lork::SerialPort> port_;
};
