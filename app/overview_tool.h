#pragma once
// Every instrument of the line at once: the window "все приборы линии" with
// its menu item and tool button. The instruments found by the last search,
// or a list the operator types, are polled in turn with the presence read
// and the readings query; each row shows an instrument's address, name,
// version, indicator, LEDs, last good answer and failures. A double-click
// (or Enter) on a row makes that instrument the window's address, as if
// typed into the address field. Like the registers window, a turn falls due
// only while no command of the window runs.
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "device/overview.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QToolButton;
class ToolHost;

class OverviewWindow : public QWidget {
    Q_OBJECT
public:
    // A chosen row writes the host's address field.
    explicit OverviewWindow(ToolHost& host);
    ~OverviewWindow() override;

    // The list from the last search into the address field of this window.
    void takeFound();
    // Starts polling round after round (the list as typed), or stops it.
    void setPolling(bool on);
    // One instrument's turn now, the next in the round; false when the list
    // is empty or not a list.
    bool step();
    // The instrument of row r becomes the window's address.
    void chooseRow(int r);
    const lork::Overview& overview() const { return overview_; }

protected:
    void hideEvent(QHideEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool takeList();  // the typed list into the overview; false (and said) when it is not one
    void tick();
    void showRow(int r);

    ToolHost& host_;
    lork::Overview overview_;
    QLineEdit* addresses_;
    QPushButton* found_;
    QCheckBox* poll_;
    QSpinBox* period_;
    QTableWidget* table_;
    QLabel* state_;
    QTimer turn_;     // the next turn: at once within a round, the rest of the period after it
    size_t next_ = 0;
    int64_t roundStartUs_ = 0;
    uint64_t rounds_ = 0;
};

class OverviewTool : public QObject {
    Q_OBJECT
public:
    explicit OverviewTool(ToolHost& host);
    ~OverviewTool() override;

    OverviewWindow* window() const { return window_.get(); }
    void showWindow();

private:
    std::unique_ptr<OverviewWindow> window_;
    std::unique_ptr<QAction> showItem_;
    std::unique_ptr<QToolButton> button_;
};
