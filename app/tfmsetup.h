#pragma once
// The settings holder: a window that is never shown. Creating it loads the
// settings file into the line settings and the main window's port controls
// and runs the start-up presence check.
#include <QWidget>

class TFglav;

class TFMsetup : public QWidget {
    Q_OBJECT
public:
    explicit TFMsetup(TFglav& fglav, QWidget* parent = nullptr);

private:
    TFglav& fglav_;
};
