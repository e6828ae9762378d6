#pragma once
// Everything the main window needs from outside; the program gives the real
// port, clock and port list, a test gives doubles and recorders.
#include <QDateTime>
#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace lork {
class Clock;
class SerialPort;
}  // namespace lork

struct WindowPlatform {
    lork::SerialPort& port;
    lork::Clock& clock;
    std::vector<std::string> ports;              // the system's port list, ordered
    std::function<void(const QString&)> message;  // modal message; empty: a message box
    std::function<bool(int)> keys;               // async key state; empty: never pressed
    std::function<QDateTime()> now;              // wall clock; empty: the system's
    std::string forcedPort;                     // a port given on the command line
    // The system's ports as it lists them now, read each time the port box
    // opens; empty: the list stays as at start.
    std::function<std::vector<std::string>()> listPorts;
    // Entries the program adds after the system's (a path or gateway given
    // on the command line); they stay on every new reading.
    std::vector<std::string> ownPorts;
};
