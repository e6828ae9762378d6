#include "cli/fast_search.h"

#include <unistd.h>

#include <cstdio>

#include "cli/commands.h"
#include "cli/interrupt.h"

namespace lorkctl {

std::vector<FastFound> fastSearch(Session& s, FastPlan plan) {
    plan.timeoutMs = s.timeoutMs();
    const bool tty = isatty(STDERR_FILENO);
    lork::FastProgress progress;
    progress.stop = interrupted;
    progress.line = [tty](const lork::LineSettings& ls) {
        std::fprintf(stderr, "%sскорость %d, паритет %s, стопбит %u%s", tty ? "\r" : "", int(ls.scor),
                     parityName(ls.parity).c_str(), unsigned(ls.stopbit), tty ? "   " : "\n");
    };
    progress.found = [tty](const FastFound& f) {
        std::fprintf(stderr, "%sнайден адрес %d: %d, паритет %s, стопбит %u\n", tty ? "\r" : "", f.address,
                     int(f.rate), parityName(f.parity).c_str(), unsigned(f.stopbits));
    };
    const lork::FastResult r = lork::fastSearch(s.core(), plan, progress);
    if (tty) std::fputc('\n', stderr);
    if (!r.portFailure.empty()) throw Exit{ST_PORT, r.portFailure};
    return r.found;
}

}  // namespace lorkctl
