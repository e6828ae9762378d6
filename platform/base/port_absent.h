#pragma once
// Whether a port's failure means only that its device or gateway is not
// there: missing, pulled, gone while open, refused or out of reach. Those
// are one cause to the operator (plug it in, start the gateway), whichever
// of the steps noticed it first; a port that is there but refuses (access,
// busy, bad settings) is another.
#include <cstdint>

namespace lork {

// err: a system error code a port call gave (errno here, GetLastError or a
// Winsock code on Windows), or EBADF for a port the link found not open.
bool portAbsent(uint32_t err);

}  // namespace lork
