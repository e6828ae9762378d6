#pragma once
// What the main window holds that no one outside it reaches: the platform's
// functions, the status bar's panels, the tools beside the window, the port
// controls, the activation bookkeeping. Only the window's own sources see it.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "app/activation_gate.h"
#include "app/journal_tool.h"
#include "app/overview_tool.h"
#include "app/monitor_tool.h"
#include "app/plot_tool.h"
#include "app/register_tool.h"
#include "app/tfglav.h"
#include "app/tool_host.h"

class DigitKeyFilter;
class PortControls;
class QStatusBar;
class QToolBar;
class SearchCommands;

// The status bar's panels: 0..4 the line settings, 5 the message.
std::array<QLabel*, 6> makeStatusPanels(QStatusBar* bar);

struct TFglav::Parts {
    explicit Parts(Platform& p)
        : clock(p.clock), messageFn(std::move(p.message)), keyFn(std::move(p.keys)), nowFn(std::move(p.now)) {}
    lork::Clock& clock;
    std::function<void(const QString&)> messageFn;
    std::function<bool(int)> keyFn;
    std::function<QDateTime()> nowFn;
    // The wall clock in ms since the epoch, without the costly local time zone.
    int64_t wallMs() const;
    // When an exchange's request went out (its record comes with the reply).
    int64_t requestWallMs(const lork::ExchangeRecord& rec) const;

    QToolBar* ToolBar1 = nullptr;
    QTimer* Timer_system = nullptr;
    QTimer* Timer_opros = nullptr;
    TFabout* Fabout = nullptr;
    TFmsg* Fmsg = nullptr;
    TFMsetup* FMsetup = nullptr;
    std::array<QLabel*, 6> statusPanels{};
    // The first activation has written the port panels: from then on they follow the line.
    bool linePanelsShown = false;
    QLabel* linkPanel = nullptr;  // after them: "нет связи с ..." while the instrument is silent
    DigitKeyFilter* digitFilter = nullptr;
    PortControls* ports = nullptr;
    struct Tools;
    std::unique_ptr<Tools> toolHost;  // the tools' view of the window, gone after them
    std::unique_ptr<JournalTool> journal;  // they leave the core's feed as the window goes
    std::unique_ptr<PlotTool> plot;
    std::unique_ptr<RegisterTool> registers;
    std::unique_ptr<OverviewTool> overview;
    std::unique_ptr<MonitorTool> monitor;
    ActivationGate activation;
    bool startAborted = false;
    // Until the first activation ends the window may not be on the screen:
    // the start-up's messages wait and come as one box over it.
    bool holdMessages = false;
    QStringList heldMessages;
    QString placeFile;
    bool placeRestored = false;  // the window's place came from the place file
    ReadingsPage* readings = nullptr;  // the pages are children of the window
    ParametersPage* parameters = nullptr;
    CalibrationPage* calibration = nullptr;
    TimeoutsPage* timeouts = nullptr;
    SearchCommands* search = nullptr;
};

// The window as its tools see it.
struct TFglav::Parts::Tools final : ToolHost {
    Tools(TFglav& w, QMenu* toolItems, QLineEdit* adr) : window(w), menu(toolItems), address(adr) {}
    lork::Core& core() override { return window.core(); }
    QWidget* mainWindow() override { return &window; }
    QMenu* toolMenu() override { return menu; }
    QToolBar* toolBar() override { return window.parts_->ToolBar1; }
    void addInfoLine(const QString& line) override { window.addInfoLine(line); }
    int64_t wallMs() const override { return window.parts_->wallMs(); }
    int64_t requestWallMs(const lork::ExchangeRecord& rec) const override { return window.parts_->requestWallMs(rec); }
    bool commandIdle() const override;
    QLineEdit* addressField() override { return address; }

    TFglav& window;
    QMenu* menu;
    QLineEdit* address;
};
