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
        {"read", cmd_read},
        {"ping", cmd_ping},
        {"monitor", cmd_monitor},
        {"set", cmd_set},
        {"set-address", cmd_set_interface},
        {"set-baud", cmd_set_interface},
        {"set-parity", cmd_set_interface},
        {"set-stopbits", cmd_set_interface},
        {"search", cmd_search},
        {"apply", cmd_apply},
        {"calibrate", cmd_calibrate},
        {"raw", cmd_raw},
        {"sniff", cmd_sniff},
    };
    for (const auto& [name, fn] : commands)
        if (o.command == name) {
            if (o.has("help")) {
                std::fputs(help_text(o.command), stdout);
                return ST_OK;
            }
            return fn(o);
        }
    if (o.command.empty() && o.has("help")) {
        std::fputs(help_text(""), stdout);
        return ST_OK;
    }
    throw Exit{ST_USAGE, o.command.empty() ? "нет команды (lorkctl --help)"
                                           : "неизвестная команда " + o.command + " (lorkctl --help)"};
}

}  // namespace

int main(int argc, char** argv) {
    argv = prepare_console(argc, argv);
    std::setlocale(LC_ALL, "");
    // Numbers go out with a point whatever the locale: scripts read them.
    std::setlocale(LC_NUMERIC, "C");
    try {
        return dispatch(parse_options(argc, argv));
    } catch (const Exit& e) {
        if (!e.text.empty()) std::fprintf(stderr, "lorkctl: %s\n", e.text.c_str());
        return e.status;
    }
}
