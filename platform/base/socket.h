#pragma once
// The few socket calls a gateway port makes, one implementation per system
// (platform/linux/socket.cpp on BSD sockets, platform/windows/socket.cpp on
// Winsock). Errors are errno values.
#include <cstddef>
#include <cstdint>
#include <string>

namespace lork::net {

using Socket = intptr_t;
inline constexpr Socket kNoSocket = -1;

// A non-blocking TCP connection to host:service, made within timeoutUs;
// 0 or errno (EHOSTUNREACH with detail set, when the name does not resolve,
// to why in the operator's words with the resolver's own text in brackets).
int connect(const std::string& host, const std::string& service, int64_t timeoutUs, Socket& out,
            std::string& detail);
void close(Socket s);

enum Ready : short { kReadable = 1, kWritable = 2, kBroken = 4 };
// Waits until s is readable (or writable, for write) or timeoutUs passes: the
// Ready bits, 0 on time-out.
short wait(Socket s, bool write, int64_t timeoutUs);

// Bytes read or sent without waiting; 0 from Receive: closed by the peer;
// -1 with err set (EAGAIN: nothing now).
long receive(Socket s, uint8_t* buf, size_t n, int& err);
long send(Socket s, const uint8_t* buf, size_t n, int& err);

// Acknowledges at once what came in, where the system lets us say so.
void quickAck(Socket s);

// One of these errno values for the operator, in the system's words where
// those are the operator's language, else in ours with the system's beside.
std::string errorText(int err);

}  // namespace lork::net
