#include "app/demo.h"

#include <QDir>
#include <QFileInfo>

#include <csignal>
#ifdef __linux__
#include <sys/prctl.h>
#endif

DemoSimulator::~DemoSimulator() { stop(); }

QString DemoSimulator::locate(const QString& appDir) {
    const QString beside = QDir(appDir).filePath(QStringLiteral("lork-sim"));
    if (QFileInfo(beside).isExecutable()) return beside;
#ifdef LORK_SIM_BUILD_PATH
    const QString built = QStringLiteral(LORK_SIM_BUILD_PATH);
    if (QFileInfo(built).isExecutable()) return built;
#endif
    return {};
}

QString DemoSimulator::start(const QString& program, const QStringList& args, int timeoutMs) {
    error_.clear();
    if (program.isEmpty()) {
        error_ = QStringLiteral("имитатор lork-sim не найден");
        return {};
    }
#ifdef __linux__
    // Even when this program is killed outright the simulator must not outlive it.
    proc_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.start(program, args);
    if (!proc_.waitForStarted(timeoutMs)) {
        error_ = QStringLiteral("имитатор %1 не запустился [%2]").arg(program, proc_.errorString());
        return {};
    }
    while (!proc_.canReadLine()) {
        if (!proc_.waitForReadyRead(timeoutMs)) {
            error_ = QStringLiteral("имитатор не назвал свой псевдотерминал");
            stop();
            return {};
        }
    }
    QString path = QString::fromLocal8Bit(proc_.readLine()).trimmed();
    if (path.isEmpty()) {
        error_ = QStringLiteral("имитатор не назвал свой псевдотерминал");
        stop();
    }
    return path;
}

bool DemoSimulator::isolateFiles() {
    configDir_ = std::make_unique<QTemporaryDir>();
    if (!configDir_->isValid()) return false;
    // The settings and the window's place follow the one, the calibration log the other.
    const QByteArray path = configDir_->path().toLocal8Bit();
    return qputenv("XDG_CONFIG_HOME", path) && qputenv("XDG_DATA_HOME", path);
}

void DemoSimulator::stop() {
    if (proc_.state() == QProcess::NotRunning) return;
    proc_.terminate();
    if (!proc_.waitForFinished(2000)) {
        proc_.kill();
        proc_.waitForFinished(1000);
    }
}
