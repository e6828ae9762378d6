#include "platform/base/port_absent.h"

// Winsock's header goes before windows.h, which would pull in the old one.
#include <winsock2.h>
#include <windows.h>

#include <cerrno>

namespace lork {

bool portAbsent(uint32_t err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_BROKEN_PIPE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case WSAECONNREFUSED:
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENOTCONN:
    case WSAESHUTDOWN:
    case WSAETIMEDOUT:
    case WSAEHOSTUNREACH:
    case WSAEHOSTDOWN:
    case WSAENETUNREACH:
    case WSAENETDOWN: return true;
    // The link's own code for a port it found not open.
    default: return err == uint32_t(EBADF);
    }
}

}  // namespace lork
