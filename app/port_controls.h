#pragma once
// The main window's port controls: the port box and its list, the rate,
// parity and stop-bit boxes, the address edit and its up-down. The operator's
// choices go into the line settings and reopen the port at once.
#include <QObject>
#include <functional>
#include <string>
#include <vector>

class PageHost;
class PortBox;
class QComboBox;
class QLineEdit;
class UpDown;
struct WindowPlatform;

class PortControls : public QObject {
public:
    struct Controls {
        PortBox* CBports;
        QComboBox* CBscor;
        QComboBox* CBparity;
        QComboBox* CBstopbit;
        QLineEdit* Esysnum;
        UpDown* UpDown_adr;
    };
    // Takes the platform's port lists and the port given on the command line.
    PortControls(PageHost& host, Controls controls, WindowPlatform& platform, QObject* parent);

    // The port box's entries: the system's ports, then the program's own.
    const std::vector<std::string>& portList() const { return portList_; }
    // The entries into the box, none chosen; the built-in port into the
    // line settings.
    void fillPortBox();
    // The line settings into the controls; portEntry: the port box's entry,
    // -1 none. A port given on the command line wins.
    void showLineSettings(int portEntry);
    // Makes the port given on the command line the one in use.
    void applyForcedPort();
    // Reads the system's ports anew into the port box, keeping the port in
    // use and the program's own entries (the box runs it as it opens).
    void refreshPortList();

    void CBportsChange();
    void CBscorChange();
    void CBparityChange();
    void CBstopbitChange();
    void EsysnumChange();
    void UpDown_adrChangingEx(bool& allow, int newValue);

private:
    void portReconfigure();

    PageHost& host_;
    Controls c_;
    std::vector<std::string> portList_;
    std::vector<std::string> ownPorts_;
    std::function<std::vector<std::string>()> listPorts_;
    std::string forcedPort_;
};
