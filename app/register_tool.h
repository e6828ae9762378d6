#pragma once
// Any register of the instrument, for diagnosis: the window "регистры" with
// its menu item and tool button. It reads with functions 1 to 4, once or
// every period, shows each value in decimal, in hex and, for the text
// registers, as text, beside its register's name from the register table,
// and writes a holding register after the operator says
// yes. Its exchanges go beside the window's own commands, never inside one:
// a read falls due only while no command runs (none waits in a message box,
// no search runs), else it waits for the next moment that is free.
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "link/frame_exchange.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QToolButton;
class ToolHost;
namespace lork {
struct Core;
}

class RegisterWindow : public QWidget {
    Q_OBJECT
public:
    // idle: whether no command of the window runs now.
    RegisterWindow(lork::Core& core, std::function<bool()> idle, QWidget* parent);
    ~RegisterWindow() override;

    // Asks the operator a yes/no question; true for yes. A message box
    // unless a test puts its own answer here.
    std::function<bool(const QString&)> confirm;

    void readOnce();
    void writeRegister();

private:
    void everyToggled(bool on);
    void tick();
    // One request and its reply on the window's port; the result's text,
    // empty when the reply is good.
    QString exchange(const std::vector<uint8_t>& request, std::vector<uint8_t>& reply);
    void showValues(uint8_t func, uint16_t start, const std::vector<uint16_t>& values);

    lork::Core& core_;
    std::function<bool()> idle_;
    QComboBox* func_;
    QLineEdit* start_;
    QSpinBox* count_;
    QPushButton* read_;
    QCheckBox* every_;
    QSpinBox* period_;
    QTableWidget* table_;
    QLineEdit* writeAddress_;
    QLineEdit* writeValue_;
    QPushButton* write_;
    QLabel* result_;
    QTimer timer_;
    QTimer retry_;  // a read that fell due while a command ran
    lork::FrameExchange fx_;
};

class RegisterTool : public QObject {
    Q_OBJECT
public:
    explicit RegisterTool(ToolHost& host);
    ~RegisterTool() override;

    RegisterWindow* window() const { return window_.get(); }
    void showWindow();

private:
    std::unique_ptr<RegisterWindow> window_;
    std::unique_ptr<QAction> showItem_;
    std::unique_ptr<QToolButton> button_;
};
