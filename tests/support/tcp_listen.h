#pragma once
// Loopback TCP ports for the tests that put a gateway (socat, ser2net) in
// front of the simulator.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace lork::test {

// A TCP port nobody listens on right now.
inline int free_tcp_port() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

// Waits up to twenty seconds (a busy machine starts servers slowly) until
// something listens on the port, without connecting to it (a server that
// takes one connection would take ours).
inline bool wait_listening(int port) {
    char hex[8];
    std::snprintf(hex, sizeof hex, ":%04X", unsigned(port));
    for (int i = 0; i < 400; ++i) {
        std::ifstream f("/proc/net/tcp");
        std::stringstream all;
        all << f.rdbuf();
        const std::string table = all.str();
        for (size_t at = table.find(hex); at != std::string::npos; at = table.find(hex, at + 1)) {
            // local_address rem_address st: the state of a listener is 0A.
            const size_t st = table.find(' ', table.find(' ', at) + 1);
            if (table.compare(st + 1, 2, "0A") == 0) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace lork::test
