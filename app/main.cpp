// testlork: link test and configuration of the ЛОРК instrument over RS-485.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#include "app/demo.h"
#include "app/journal_tool.h"

#include "app/tfabout.h"
#include "app/tfglav.h"
#include "app/tfmsetup.h"
#include "app/tfmsg.h"
#include "app/run_command.h"
#include "platform/qt/key_state.h"
#include "platform/qt/port_list.h"
#include "platform/port_factory.h"
#include "protocol/settings_file.h"
#include "platform/system_clock.h"

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("testlork"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LORK_VERSION));

    QCommandLineParser cli;
    const QCommandLineOption helpOpt = cli.addHelpOption();
    const QCommandLineOption versionOpt = cli.addVersionOption();
    QCommandLineOption portOpt(QStringLiteral("port"),
                               QStringLiteral("Adds PATH to the port list and uses it: a device or pty path, "
                                              "tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT or "
                                              "mbtcp://HOST[:PORT] (a Modbus TCP gateway, port 502 by default)."),
                               QStringLiteral("PATH"));
    cli.addOption(portOpt);
    QCommandLineOption demoOpt(QStringLiteral("demo"),
                               QStringLiteral("Talks to the instrument simulator lork-sim, started on a pseudo-terminal; "
                                              "extra simulator options may be given in LORK_DEMO_SIM_ARGS."));
    cli.addOption(demoOpt);
    QCommandLineOption quitOpt(QStringLiteral("quit-after"),
                               QStringLiteral("Closes the main window after MS milliseconds (scripted runs)."),
                               QStringLiteral("MS"));
    cli.addOption(quitOpt);
    QCommandLineOption logOpt(QStringLiteral("log"),
                              QStringLiteral("Writes every exchange to FILE as it happens, one CSV line each."),
                              QStringLiteral("FILE"));
    cli.addOption(logOpt);
    QCommandLineOption runOpt(QStringLiteral("run-command"), QStringLiteral("Runs one menu command and quits."),
                              QStringLiteral("NAME"));
    runOpt.setFlags(QCommandLineOption::HiddenFromHelp);
    cli.addOption(runOpt);
    QCommandLineOption startOpt(QStringLiteral("start-command"),
                                QStringLiteral("Runs one menu command after start-up and goes on."),
                                QStringLiteral("NAME"));
    startOpt.setFlags(QCommandLineOption::HiddenFromHelp);
    cli.addOption(startOpt);
    // The help and the version are text only: they must work where there is
    // no display to open. (The toolkit's own options, -platform say, are
    // known only once the application object took them out.)
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    cli.parse(args);
    if (cli.isSet(helpOpt) || cli.isSet(versionOpt)) {
        QCoreApplication text_only(argc, argv);
        if (cli.isSet(helpOpt)) cli.showHelp(0);
        cli.showVersion();
    }
    QApplication app(argc, argv);
    cli.process(app);

    lork::KeyState keys;
    keys.install();
    lork::SystemClock clock;
    // The port the program talks through; its name chooses the kind (a
    // serial device, tcp:// or rfc2217://). Its remarks (a slow USB latency
    // timer, a gateway's fixed rate) go to the information window; those
    // made while the window is being built wait for it.
    lork::PortByName port;
    lork::Host* info = nullptr;
    std::vector<std::string> early_remarks;
    port.notice = [&](const std::string& line) {
        if (info) info->infoLine(line);
        else early_remarks.push_back(line);
    };

    // Declared before the window so that the simulator outlives it.
    DemoSimulator demo;
    QString demo_port;
    if (cli.isSet(demoOpt)) {
        // The demonstration keeps its own settings: closing it must not leave
        // the simulator's terminal as the operator's port.
        demo.isolateSettings();
        const QString sim = DemoSimulator::locate(QCoreApplication::applicationDirPath());
        demo_port = demo.start(sim, QProcess::splitCommand(qEnvironmentVariable("LORK_DEMO_SIM_ARGS")));
        if (demo_port.isEmpty()) {
            qCritical("testlork: --demo: %s", qPrintable(demo.error()));
            return 1;
        }
    }
    lork::SerialPort& wire = demo.port() ? *demo.port() : port;

    TFglav::Platform platform{wire, clock, lork::Read_port_list(), {}, {}, {}, {}, {}, {}};
    platform.keys = [&keys](int vk) { return keys.keyPressedSince(vk); };
    // An adapter plugged in after start shows up when the port box opens.
    platform.list_ports = &lork::Read_port_list;
    if (cli.isSet(portOpt)) {
        const std::string path = cli.value(portOpt).toStdString();
        platform.own_ports.push_back(path);
        platform.forced_port = path;
    }
    if (!demo_port.isEmpty()) {
        platform.own_ports.push_back(demo_port.toStdString());
        platform.forced_port = demo_port.toStdString();
    }

    TFglav Fglav(std::move(platform));
    if (Fglav.startAborted()) return 1;
    info = &Fglav;
    for (const auto& line : early_remarks) Fglav.infoLine(line);
    TFabout Fabout(&Fglav);
    Fglav.setAboutBox(&Fabout);
    TFMsetup FMsetup(Fglav);
    TFmsg Fmsg(&Fglav);
    Fglav.setMessageWindow(&Fmsg);
    {
        // The first size never exceeds the screen it opens on, and the
        // window stays centred on it (it was centred at its full size).
        if (const QScreen* screen = Fglav.screen()) {
            const QRect avail = screen->availableGeometry();
            if (!avail.contains(QRect(Fglav.pos(), Fglav.size()))) {
                Fglav.resize(Fglav.size().boundedTo(avail.size()));
                QRect r(Fglav.pos(), Fglav.size());
                r.moveCenter(avail.center());
                Fglav.move(r.topLeft());
            }
        }
        // Beside the settings file, whose contents stay the line's alone.
        const QFileInfo ini(QString::fromStdString(lork::settings_path(QCoreApplication::applicationFilePath().toStdString())));
        Fglav.usePlaceFile(ini.absolutePath() + QLatin1Char('/') + ini.completeBaseName() + QStringLiteral("-window.ini"));
    }

    if (cli.isSet(logOpt)) Fglav.journal().startLog(cli.value(logOpt), true);
    Fglav.show();
    if (cli.isSet(quitOpt)) {
        bool ok = false;
        const int ms = cli.value(quitOpt).toInt(&ok);
        if (ok && ms >= 0) QTimer::singleShot(ms, &Fglav, &QWidget::close);
    }
    if (cli.isSet(runOpt)) Schedule_menu_command(Fglav, cli.value(runOpt));
    if (cli.isSet(startOpt)) Start_menu_command(Fglav, cli.value(startOpt));
    return app.exec();
}
