#include "platform/base/console.h"

#include <cstdio>

namespace lork {

// A terminal of a UTF-8 locale shows the bytes as they are.
void consoleTextOutput() {}

bool consoleAttach() { return true; }

void consoleFlush() {
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace lork
