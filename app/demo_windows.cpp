#include "app/demo.h"

#include "platform/base/serial_port.h"
#include "sim/instrument_model.h"
#include "sim/sim_port.h"

namespace {
// The name the simulator's port goes by in the port list.
const QString kDemoPort = QStringLiteral("ДЕМО");
}  // namespace

DemoSimulator::~DemoSimulator() { stop(); }

// Nothing to find: the simulator is part of this program.
QString DemoSimulator::locate(const QString&) { return {}; }

QString DemoSimulator::start(const QString&, const QStringList&, int) {
    error_.clear();
    model_ = std::make_shared<lork::sim::InstrumentModel>();
    port_ = std::make_unique<lork::sim::SimPort>(*model_);
    return kDemoPort;
}

// The settings, the window's place and the calibration log all live under APPDATA.
bool DemoSimulator::isolateFiles() {
    configDir_ = std::make_unique<QTemporaryDir>();
    if (!configDir_->isValid()) return false;
    return qputenv("APPDATA", configDir_->path().toLocal8Bit());
}

void DemoSimulator::stop() {}
