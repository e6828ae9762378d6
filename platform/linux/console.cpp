#include "platform/base/console.h"

#include <cstdio>

namespace lork {

// A terminal of a UTF-8 locale shows the bytes as they are.
void Console_text_output() {}

bool Console_attach() { return true; }

void Console_flush() {
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace lork
