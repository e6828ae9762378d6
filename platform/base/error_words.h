#pragma once
// Why a port or a connection failed, in a few Russian words for a message
// box: the system's own texts are English on Linux and say nothing an
// operator can act on. Each system's folder gives its own table.
#include <cstdint>
#include <string>

namespace lork {

// err: the system error code a port call gave (errno here, GetLastError or
// a Winsock code on Windows). An unknown code is given by its number.
std::string errorWords(uint32_t err);

}  // namespace lork
