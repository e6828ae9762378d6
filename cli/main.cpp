// lorkctl: the instrument from a script, on the same core as the window.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/interrupt.h"

using namespace lorkctl;

namespace {

int dispatch(const Options& o) {
    static const std::pair<const char*, int (*)(const Options&)> commands[] = {
        {"read", cmdRead},
        {"ping", cmdPing},
        {"monitor", cmdMonitor},
        {"set", cmdSet},
        {"set-address", cmdSetInterface},
        {"set-baud", cmdSetInterface},
        {"set-parity", cmdSetInterface},
        {"set-stopbits", cmdSetInterface},
        {"search", cmdSearch},
        {"apply", cmdApply},
        {"calibrate", cmdCalibrate},
        {"raw", cmdRaw},
        {"sniff", cmdSniff},
    };
    for (const auto& [name, fn] : commands)
        if (o.command == name) {
            if (o.has("help")) {
                std::fputs(helpText(o.command), stdout);
                return ST_OK;
            }
            return fn(o);
        }
    if (o.command.empty() && o.has("help")) {
        std::fputs(helpText(""), stdout);
        return ST_OK;
    }
    throw Exit{ST_USAGE, o.command.empty() ? "нет команды (lorkctl --help)"
                                           : "неизвестная команда " + o.command + " (lorkctl --help)"};
}

}  // namespace

int main(int argc, char** argv) {
    argv = prepareConsole(argc, argv);
    std::setlocale(LC_ALL, "");
    // Numbers go out with a point whatever the locale: scripts read them.
    std::setlocale(LC_NUMERIC, "C");
    try {
        return dispatch(parseOptions(argc, argv));
    } catch (const Exit& e) {
        if (!e.text.empty()) std::fprintf(stderr, "lorkctl: %s\n", e.text.c_str());
        return e.status;
    }
}
