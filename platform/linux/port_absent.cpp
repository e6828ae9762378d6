#include "platform/base/port_absent.h"

#include <cerrno>

namespace lork {

bool portAbsent(uint32_t err) {
    switch (int(err)) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
    case EBADF:
    case EPIPE:
    case ECONNREFUSED:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case ESHUTDOWN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETUNREACH:
    case ENETDOWN: return true;
    default: return false;
    }
}

}  // namespace lork
