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
// Console_flush sends a NUL byte down the pipe (text never holds one) and
// waits until the relay has come to it: all before it is on the console.
struct Relay {
    HANDLE pipe_in = nullptr;   // the reading end
    HANDLE pipe_out = nullptr;  // the writing end the streams use
    HANDLE console = nullptr;
    HANDLE thread = nullptr;
    HANDLE mark_seen = nullptr;  // set each time the relay passes a NUL
    volatile LONG marks_sent = 0;
    volatile LONG marks_seen = 0;
};

Relay g_relay;
bool g_started = false;

// How many bytes of s[0..n) form whole UTF-8 characters; a character cut
// by the pipe waits for its rest.
size_t whole_characters(const char* s, size_t n) {
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
        if (!WriteConsoleW(g_relay.console, w.data() + at, DWORD(w.size() - at), &done, nullptr) || done == 0) return;
        at += done;
    }
}

DWORD WINAPI relay(void*) {
    char buf[4096];
    size_t kept = 0;
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(g_relay.pipe_in, buf + kept, DWORD(sizeof buf - kept), &n, nullptr) || n == 0) break;
        size_t have = kept + n;
        // Text up to each mark goes out before the mark counts as seen.
        size_t from = 0;
        for (size_t i = kept; i < have; ++i) {
            if (buf[i] != '\0') continue;
            show(buf + from, i - from);
            from = i + 1;
            InterlockedIncrement(&g_relay.marks_seen);
            SetEvent(g_relay.mark_seen);
        }
        const size_t whole = from + whole_characters(buf + from, have - from);
        show(buf + from, whole - from);
        kept = have - whole;
        std::memmove(buf, buf + whole, kept);
    }
    show(buf, kept);
    return 0;
}

bool is_console(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

}  // namespace

void Console_text_output() {
    if (g_started) return;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const bool out_console = is_console(out);
    const bool err_console = is_console(err);
    if (!out_console && !err_console) return;
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, nullptr, 0)) return;
    // Text mode: the C library writes CRLF line ends, as a console wants them.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(write_end), _O_WRONLY | _O_TEXT);
    if (fd < 0) {
        CloseHandle(read_end);
        CloseHandle(write_end);
        return;
    }
    // A handle of the relay's own: the C library closes the standard ones
    // when their descriptors are replaced below.
    g_relay.console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    if (g_relay.console == INVALID_HANDLE_VALUE) {
        _close(fd);
        CloseHandle(read_end);
        return;
    }
    g_relay.pipe_in = read_end;
    g_relay.mark_seen = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // One pipe for both when both are the console: their lines keep their order.
    if (out_console) {
        std::fflush(stdout);
        _dup2(fd, _fileno(stdout));
        // Unbuffered: a line is on its way when printf returns, and the
        // order against stderr is kept.
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    if (err_console) {
        std::fflush(stderr);
        _dup2(fd, _fileno(stderr));
        std::setvbuf(stderr, nullptr, _IONBF, 0);
    }
    _close(fd);
    g_relay.pipe_out = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out_console ? stdout : stderr)));
    g_relay.thread = CreateThread(nullptr, 0, relay, nullptr, 0, nullptr);
    if (!g_relay.thread) return;
    g_started = true;
    // Returning from main ends the process after the atexit functions:
    // what is still in the pipe reaches the console first.
    std::atexit([] { Console_flush(); });
}

bool Console_attach() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) {
        Console_text_output();
        return true;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    // A window program's streams lead nowhere: to the console now.
    if (!std::freopen("CONOUT$", "w", stdout) || !std::freopen("CONOUT$", "w", stderr)) return false;
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))));
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr))));
    // The command line printed its prompt already: the text starts on a line of its own.
    std::fputs("\n", stdout);
    Console_text_output();
    return true;
}

void Console_flush() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (!g_started) return;
    const LONG ticket = InterlockedIncrement(&g_relay.marks_sent);
    DWORD done = 0;
    if (!WriteFile(g_relay.pipe_out, "", 1, &done, nullptr)) return;
    // At most a second: a console that blocks (a selection held in it) does
    // not hold the program.
    for (int i = 0; i < 100 && g_relay.marks_seen < ticket; ++i) WaitForSingleObject(g_relay.mark_seen, 10);
}

}  // namespace lork
