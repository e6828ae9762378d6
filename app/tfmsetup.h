#pragma once
// The settings holder: a window that is never shown. Creating it finds or
// creates the settings file, loads it into the line settings and the main
// window's port controls and runs the start-up presence check.
#include <QWidget>
#include <string>

#include "protocol/settings_file.h"

class TFglav;

class TFMsetup : public QWidget {
    Q_OBJECT
public:
    // path: the settings file; empty means the one named after the program
    // file, in the user's configuration folder.
    explicit TFMsetup(TFglav& fglav, const std::string& path = {}, QWidget* parent = nullptr);
    ~TFMsetup() override;

    // Reads the file into the line settings and the port controls.
    void Load_settings();
    // Writes section "связь" and, when full, the time-outs from the time-out
    // page's editable fields. A refused write is shown; false then.
    bool Save_settings(bool full);

    const lork::SettingsFile& file() const { return ini_; }

private:
    TFglav& fglav_;
    lork::SettingsFile ini_;
};
