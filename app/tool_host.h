#pragma once
// What a tool beside the main window needs of it, and nothing more (as a
// page has PageHost): the core, the window its own window and dialogs stand
// over, the menu and tool bar its item and button go into, the information
// window, the wall clock, whether a command of the window runs now, and the
// window's address field.
#include <QString>
#include <cstdint>

class QLineEdit;
class QMenu;
class QToolBar;
class QWidget;
namespace lork {
struct Core;
struct ExchangeRecord;
}  // namespace lork

class ToolHost {
public:
    virtual lork::Core& core() = 0;
    virtual QWidget* mainWindow() = 0;
    // The items and buttons go after the window's own, which stay as they are.
    virtual QMenu* toolMenu() = 0;
    virtual QToolBar* toolBar() = 0;
    virtual void addInfoLine(const QString& line) = 0;
    // The wall clock in ms since the epoch, and when an exchange's request went out.
    virtual int64_t wallMs() const = 0;
    virtual int64_t requestWallMs(const lork::ExchangeRecord& rec) const = 0;
    // No command of the window runs: none waits in a message box, no search runs.
    // A tool's own exchanges fall due only then, beside the commands, never inside one.
    virtual bool commandIdle() const = 0;
    // The address field: what a tool writes there is taken as the operator's typing.
    virtual QLineEdit* addressField() = 0;

protected:
    ~ToolHost() = default;
};
