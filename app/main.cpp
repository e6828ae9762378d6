// testlork: link test and configuration of the ЛОРК instrument over RS-485.
#include <QApplication>
#include <QCommandLineParser>

#include "app/tfabout.h"
#include "app/tfglav.h"
#include "app/tfmsetup.h"
#include "app/tfmsg.h"
#include "platform/key_state.h"
#include "platform/port_list.h"
#include "platform/qt_serial_port.h"
#include "platform/system_clock.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("testlork"));
    QApplication::setApplicationDisplayName(QStringLiteral("testlork"));

    QCommandLineParser cli;
    cli.addHelpOption();
    QCommandLineOption portOpt(QStringLiteral("port"),
                               QStringLiteral("Adds PATH to the port list and uses it (a pty, say)."),
                               QStringLiteral("PATH"));
    cli.addOption(portOpt);
    cli.process(app);

    lork::KeyState keys;
    keys.install();
    lork::SystemClock clock;
    // The port the program talks through. A built-in instrument simulator
    // (a --demo option) would give its in-process port here instead.
    lork::QtSerialPort port;

    TFglav::Platform platform{port, clock, lork::Read_port_list(), {}, {}, {}, {}};
    platform.keys = [&keys](int vk) { return keys.keyPressedSince(vk); };
    if (cli.isSet(portOpt)) {
        const std::string path = cli.value(portOpt).toStdString();
        platform.ports.push_back(path);
        platform.forced_port = path;
    }

    TFglav Fglav(std::move(platform));
    if (Fglav.startAborted()) return 1;
    TFabout Fabout(&Fglav);
    Fglav.setAboutBox(&Fabout);
    TFMsetup FMsetup(Fglav);
    TFmsg Fmsg(&Fglav);
    Fglav.setMessageWindow(&Fmsg);

    Fglav.show();
    return app.exec();
}
