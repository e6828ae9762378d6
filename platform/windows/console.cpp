#include "platform/base/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace lork {

namespace {

// The C streams write into a pipe; a thread takes the bytes out, converts
// whole UTF-8 characters to UTF-16 and hands them to WriteConsoleW. So every
// printf of the programs stays as it is.
// consoleFlush sends a NUL byte down the pipe (text never holds one) and
// waits until the relay has come to it: all before it is on the console.
struct Relay {
    HANDLE pipeIn = nullptr;   // the reading end
    HANDLE pipeOut = nullptr;  // the writing end the streams use
    HANDLE console = nullptr;
    HANDLE thread = nullptr;
    HANDLE markSeen = nullptr;  // set each time the relay passes a NUL
    volatile LONG marksSent = 0;
    volatile LONG marksSeen = 0;
};

Relay gRelay;
bool gStarted = false;

// How many bytes of s[0..n) form whole UTF-8 characters; a character cut
// by the pipe waits for its rest.
size_t wholeCharacters(const char* s, size_t n) {
    size_t i = n;
    for (int back = 0; back < 4 && i > 0; ++back) {
        const unsigned char c = static_cast<unsigned char>(s[i - 1]);
        if ((c & 0xC0) != 0x80) {
            const size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            return n - (i - 1) >= want ? n : i - 1;
        }
        --i;
    }
    return n;  // not UTF-8 at all: shown as it comes
}

void show(const char* s, size_t n) {
    if (n == 0) return;
    const int wn = MultiByteToWideChar(CP_UTF8, 0, s, int(n), nullptr, 0);
    std::wstring w(size_t(wn), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s, int(n), w.data(), wn);
    for (size_t at = 0; at < w.size();) {
        DWORD done = 0;
        if (!WriteConsoleW(gRelay.console, w.data() + at, DWORD(w.size() - at), &done, nullptr) || done == 0) return;
        at += done;
    }
}

DWORD WINAPI relay(void*) {
    char buf[4096];
    size_t kept = 0;
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(gRelay.pipeIn, buf + kept, DWORD(sizeof buf - kept), &n, nullptr) || n == 0) break;
        size_t have = kept + n;
        // Text up to each mark goes out before the mark counts as seen.
        size_t from = 0;
        for (size_t i = kept; i < have; ++i) {
            if (buf[i] != '\0') continue;
            show(buf + from, i - from);
            from = i + 1;
            InterlockedIncrement(&gRelay.marksSeen);
            SetEvent(gRelay.markSeen);
        }
        const size_t whole = from + wholeCharacters(buf + from, have - from);
        show(buf + from, whole - from);
        kept = have - whole;
        std::memmove(buf, buf + whole, kept);
    }
    show(buf, kept);
    return 0;
}

bool isConsole(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

}  // namespace

void consoleTextOutput() {
    if (gStarted) return;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const bool outConsole = isConsole(out);
    const bool errConsole = isConsole(err);
    if (!outConsole && !errConsole) return;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return;
    // Text mode: the C library writes CRLF line ends, as a console wants them.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_TEXT);
    if (fd < 0) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return;
    }
    // A handle of the relay's own: the C library closes the standard ones
    // when their descriptors are replaced below.
    gRelay.console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    if (gRelay.console == INVALID_HANDLE_VALUE) {
        _close(fd);
        CloseHandle(readEnd);
        return;
    }
    gRelay.pipeIn = readEnd;
    gRelay.markSeen = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // One pipe for both when both are the console: their lines keep their order.
    if (outConsole) {
        std::fflush(stdout);
        _dup2(fd, _fileno(stdout));
        // Unbuffered: a line is on its way when printf returns, and the
        // order against stderr is kept.
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    if (errConsole) {
        std::fflush(stderr);
        _dup2(fd, _fileno(stderr));
        std::setvbuf(stderr, nullptr, _IONBF, 0);
    }
    _close(fd);
    gRelay.pipeOut = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(outConsole ? stdout : stderr)));
    gRelay.thread = CreateThread(nullptr, 0, relay, nullptr, 0, nullptr);
    if (!gRelay.thread) return;
    gStarted = true;
    // Returning from main ends the process after the atexit functions:
    // what is still in the pipe reaches the console first.
    std::atexit([] { consoleFlush(); });
}

bool consoleAttach() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) {
        consoleTextOutput();
        return true;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    // A window program's streams lead nowhere: to the console now.
    if (!std::freopen("CONOUT$", "w", stdout) || !std::freopen("CONOUT$", "w", stderr)) return false;
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))));
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr))));
    // The command line printed its prompt already: the text starts on a line of its own.
    std::fputs("\n", stdout);
    consoleTextOutput();
    return true;
}

void consoleFlush() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (!gStarted) return;
    const LONG ticket = InterlockedIncrement(&gRelay.marksSent);
    DWORD done = 0;
    if (!WriteFile(gRelay.pipeOut, "", 1, &done, nullptr)) return;
    // At most a second: a console that blocks (a selection held in it) does
    // not hold the program.
    for (int i = 0; i < 100 && gRelay.marksSeen < ticket; ++i) WaitForSingleObject(gRelay.markSeen, 10);
}

}  // namespace lork
