#pragma once
// The demonstration mode: the program talks to the instrument simulator
// lork-sim on a pseudo-terminal, so that it can be tried without an
// instrument. The simulator is a child process that ends with the program.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class DemoSimulator {
public:
    DemoSimulator() = default;
    ~DemoSimulator();
    DemoSimulator(const DemoSimulator&) = delete;
    DemoSimulator& operator=(const DemoSimulator&) = delete;

    // Where lork-sim is: beside this program's executable, else where the
    // build put it. Empty when neither exists.
    static QString locate(const QString& app_dir);

    // Starts the simulator and waits (at most timeout_ms) for the terminal's
    // path on its first line of output. Empty on failure, with error() saying why.
    QString start(const QString& program, const QStringList& args = {}, int timeout_ms = 5000);

    // Keeps the demonstration's settings file away from the operator's own:
    // the configuration folder is pointed at a private temporary folder.
    bool isolateSettings();

    void stop();
    QString error() const { return error_; }
    QProcess& process() { return proc_; }

private:
    QProcess proc_;
    std::unique_ptr<QTemporaryDir> config_dir_;
    QString error_;
};
