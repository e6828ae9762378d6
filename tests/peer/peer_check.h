#pragma once
// A failed check is reported with its place and counted; the peer programs
// go on, so one run shows every disagreement with the peer.
#include <cstdio>

namespace lork::test {
inline int peer_failures = 0;
}

#define CHECK(cond, ...)                                                           \
    do {                                                                           \
        if (!(cond)) {                                                             \
            ++lork::test::peer_failures;                                           \
            std::fprintf(stderr, "%s:%d: FAILED %s: ", __FILE__, __LINE__, #cond); \
            std::fprintf(stderr, __VA_ARGS__);                                     \
            std::fprintf(stderr, "\n");                                            \
        }                                                                          \
    } while (0)
