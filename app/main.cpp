// testlork: link test and configuration of the ЛОРК instrument over RS-485.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "app/demo.h"
#include "app/journal_tool.h"

#include "app/tfabout.h"
#include "app/tfglav.h"
#include "app/tfmsetup.h"
#include "app/tfmsg.h"
#include "app/qt_russian.h"
#include "app/run_command.h"
#include "platform/base/console.h"
#include "platform/qt/key_state.h"
#include "platform/qt/port_list.h"
#include "platform/port_factory.h"
#include "protocol/settings_file.h"
#include "platform/base/system_clock.h"

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("testlork"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LORK_VERSION));

    // The options once more for each application object: their help texts
    // are Qt's, translated when the parser is made.
    struct Options {
        QCommandLineParser cli;
        QCommandLineOption helpOpt{cli.addHelpOption()};
        QCommandLineOption versionOpt{cli.addVersionOption()};
        // Each system's own port names and its own way of demonstrating.
#ifdef Q_OS_WIN
        QCommandLineOption portOpt{QStringLiteral("port"),
                                   QStringLiteral("Добавляет порт ИМЯ в список портов и работает через него: "
                                                  "COM-порт, которого нет в списке (COM12), tcp://УЗЕЛ:ПОРТ "
                                                  "(RTU через TCP), rfc2217://УЗЕЛ:ПОРТ или mbtcp://УЗЕЛ[:ПОРТ] "
                                                  "(шлюз Modbus TCP, порт 502, если не указан)."),
                                   QStringLiteral("ИМЯ")};
        QCommandLineOption demoOpt{QStringLiteral("demo"),
                                   QStringLiteral("Работает со встроенным имитатором прибора, без COM-порта; "
                                                  "настройки оператора не меняются.")};
#else
        QCommandLineOption portOpt{QStringLiteral("port"),
                                   QStringLiteral("Добавляет PATH в список портов и работает через него: устройство или "
                                                  "псевдотерминал, tcp://УЗЕЛ:ПОРТ (RTU через TCP), "
                                                  "rfc2217://УЗЕЛ:ПОРТ или mbtcp://УЗЕЛ[:ПОРТ] (шлюз Modbus TCP, "
                                                  "порт 502, если не указан)."),
                                   QStringLiteral("PATH")};
        QCommandLineOption demoOpt{QStringLiteral("demo"),
                                   QStringLiteral("Работает с имитатором прибора lork-sim, запущенным на "
                                                  "псевдотерминале; его ключи можно дать в LORK_DEMO_SIM_ARGS.")};
#endif
        QCommandLineOption quitOpt{QStringLiteral("quit-after"),
                                   QStringLiteral("Закрывает главное окно через MS миллисекунд (для сценариев)."),
                                   QStringLiteral("MS")};
        QCommandLineOption logOpt{QStringLiteral("log"),
                                  QStringLiteral("Записывает каждый обмен в FILE по мере хода, по строке CSV."),
                                  QStringLiteral("FILE")};
        QCommandLineOption runOpt{QStringLiteral("run-command"), QStringLiteral("Runs one menu command and quits."),
                                  QStringLiteral("NAME")};
        QCommandLineOption startOpt{QStringLiteral("start-command"),
                                    QStringLiteral("Runs one menu command after start-up and goes on."),
                                    QStringLiteral("NAME")};
        Options() {
            cli.setApplicationDescription(QStringLiteral("Проверка связи с прибором ЛОРК: опрос, настройка и "
                                                         "калибровка по RS-485."));
            runOpt.setFlags(QCommandLineOption::HiddenFromHelp);
            startOpt.setFlags(QCommandLineOption::HiddenFromHelp);
            cli.addOptions({portOpt, demoOpt, quitOpt, logOpt, runOpt, startOpt});
        }
    };
    // The help and the version are text only: they must work where there is
    // no display to open. (The toolkit's own options, -platform say, are
    // known only once the application object took them out.)
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    {
        Options first;
        first.cli.parse(args);
        if (first.cli.isSet(first.helpOpt) || first.cli.isSet(first.versionOpt)) {
            const auto text = [&args] {
                Options o;
                o.cli.parse(args);
                return o.cli.isSet(o.helpOpt) ? o.cli.helpText()
                                              : QCoreApplication::applicationName() + QLatin1Char(' ') +
                                                    QCoreApplication::applicationVersion() + QLatin1Char('\n');
            };
            if (lork::consoleAttach()) {
                QCoreApplication textOnly(argc, argv);
                loadQtRussian(textOnly);
                std::fputs(text().toUtf8().constData(), stdout);
                return 0;
            }
            // No console to print on (a Windows program started from
            // Explorer): a box whose fixed-width font keeps the columns.
            QApplication boxed(argc, argv);
            loadQtRussian(boxed);
            QMessageBox box(QMessageBox::Information, QCoreApplication::applicationName(),
                            QStringLiteral("<pre>") + text().toHtmlEscaped() + QStringLiteral("</pre>"));
            box.exec();
            return 0;
        }
    }
    QApplication app(argc, argv);
    loadQtRussian(app);
    Options o;
    QCommandLineParser& cli = o.cli;
    const QCommandLineOption &portOpt = o.portOpt, &demoOpt = o.demoOpt, &quitOpt = o.quitOpt, &logOpt = o.logOpt,
                             &runOpt = o.runOpt, &startOpt = o.startOpt;
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
    std::vector<std::string> earlyRemarks;
    port.notice = [&](const std::string& line) {
        if (info) info->infoLine(line);
        else earlyRemarks.push_back(line);
    };

    // Declared before the window so that the simulator outlives it.
    DemoSimulator demo;
    QString demoPort;
    if (cli.isSet(demoOpt)) {
        // The demonstration keeps its own files: closing it must not leave
        // the simulator's terminal as the operator's port, nor its
        // calibrations in the operator's calibration log.
        if (!demo.isolateFiles()) {
            qCritical("testlork: --demo: нет временной папки для файлов демонстрации [%s]",
                      qPrintable(demo.folderError()));
            return 1;
        }
        const QString sim = DemoSimulator::locate(QCoreApplication::applicationDirPath());
        demoPort = demo.start(sim, QProcess::splitCommand(qEnvironmentVariable("LORK_DEMO_SIM_ARGS")));
        if (demoPort.isEmpty()) {
            qCritical("testlork: --demo: %s", qPrintable(demo.error()));
            return 1;
        }
    }
    lork::SerialPort& wire = demo.port() ? *demo.port() : port;

    TFglav::Platform platform{wire, clock, lork::Read_port_list(), {}, {}, {}, {}, {}, {}};
    platform.keys = [&keys](int vk) { return keys.keyPressedSince(vk); };
    // An adapter plugged in after start shows up when the port box opens.
    platform.listPorts = &lork::Read_port_list;
    if (cli.isSet(portOpt)) {
        const std::string path = cli.value(portOpt).toStdString();
        platform.ownPorts.push_back(path);
        platform.forcedPort = path;
    }
    if (!demoPort.isEmpty()) {
        platform.ownPorts.push_back(demoPort.toStdString());
        platform.forcedPort = demoPort.toStdString();
    }

    TFglav Fglav(std::move(platform));
    if (Fglav.startAborted()) return 1;
    info = &Fglav;
    for (const auto& line : earlyRemarks) Fglav.infoLine(line);
    TFabout Fabout(&Fglav);
    Fglav.setAboutBox(&Fabout);
    TFMsetup FMsetup(Fglav);
    TFmsg Fmsg(&Fglav);
    Fglav.setMessageWindow(&Fmsg);
    {
        // Beside the settings file, whose contents stay the line's alone.
        const QFileInfo ini(QString::fromStdString(lork::settingsPath(QCoreApplication::applicationFilePath().toStdString())));
        Fglav.usePlaceFile(ini.absolutePath() + QLatin1Char('/') + ini.completeBaseName() + QStringLiteral("-window.ini"));
    }
    Fglav.fitToScreen();

    if (cli.isSet(logOpt)) Fglav.journal().startLog(cli.value(logOpt), true);
    else if (!demo.folder().isEmpty()) Fglav.journal().startLog(QDir(demo.folder()).filePath(QStringLiteral("journal.csv")), true);
    if (!demo.folder().isEmpty()) {
        // Two short lines: the information window is narrow.
        Fglav.addInfoLine(QStringLiteral("демонстрация: настройки и журналы — в папке"));
        Fglav.addInfoLine(QStringLiteral("%1 (удаляется при выходе)").arg(QDir::toNativeSeparators(demo.folder())));
    }
    Fglav.show();
    if (cli.isSet(quitOpt)) {
        bool ok = false;
        const int ms = cli.value(quitOpt).toInt(&ok);
        if (ok && ms >= 0) QTimer::singleShot(ms, &Fglav, &QWidget::close);
    }
    if (cli.isSet(runOpt)) scheduleMenuCommand(Fglav, cli.value(runOpt));
    if (cli.isSet(startOpt)) startMenuCommand(Fglav, cli.value(startOpt));
    return app.exec();
}
