#include "app/tfmsetup.h"

#include <QCoreApplication>

#include "app/port_controls.h"
#include "app/tfglav_parts.h"
#include "pages/timeouts.h"

namespace {

std::string defaultPath() {
    return lork::settingsPath(QCoreApplication::applicationFilePath().toStdString());
}

}  // namespace

TFMsetup::TFMsetup(TFglav& fglav, const std::string& path, QWidget* parent)
    : QWidget(parent), fglav_(fglav), ini_(path.empty() ? defaultPath() : path) {
    setObjectName(QStringLiteral("FMsetup"));
    setWindowTitle(QStringLiteral("для .INI"));
    fglav_.setSettingsHolder(this);

    // A missing file is created from the built-in settings (a short save).
    const lork::SettingsOpenResult opened = ini_.open(fglav_.ls());
    if (!opened.message.empty()) fglav_.message(QString::fromStdString(opened.message));
    if (!opened.takenFrom.empty())
        fglav_.infoLine("настройки перенесены из " + opened.takenFrom + " в " + ini_.path() +
                        " (один раз: прежний файл больше не читается)");
    // Without a file the program runs on its built-in settings and saves nothing.
    if (opened.what == lork::SettingsStart::CreateFailed) return;

    Load_settings();

    // The start-up presence check: the first request on the line.
    auto& st = fglav_.st();
    uint8_t code = 0;
    try {
        code = fglav_.core().dev.Check_scor();
    } catch (const lork::ProbeAborted&) {
        // Key X cut the probe short: nothing learnt, nothing said.
    }
    if (lork::adrInTable(st.ls.adr)) st.found_scor[st.ls.adr] = code;
}

TFMsetup::~TFMsetup() {
    if (fglav_.settingsHolder() == this) fglav_.setSettingsHolder(nullptr);
}

void TFMsetup::Load_settings() {
    const lork::SettingsLoadResult r = ini_.Load_settings(fglav_.ls(), fglav_.ports().portList());
    fglav_.ports().showLineSettings(r.portIndex ? int(*r.portIndex) : -1);
    fglav_.showKeepPolling();
}

bool TFMsetup::Save_settings(bool full) {
    if (full) {
        const auto t = fglav_.timeouts().editedTimeouts();
        ini_.savedTimeouts = {t[0], t[1], t[2], t[3], t[4]};
    }
    if (ini_.Save_settings(fglav_.ls(), full)) return true;
    fglav_.message(QString::fromStdString(ini_.error()));
    return false;
}

// The tool button "сохр.в INI": the line settings only, never the time-outs.
void TFglav::ToolButton4Click() {
    if (parts_->FMsetup) parts_->FMsetup->Save_settings(false);
}
