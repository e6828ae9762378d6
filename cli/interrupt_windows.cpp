#include <windows.h>
#include <shellapi.h>

#include <io.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "cli/interrupt.h"
#include "platform/base/console.h"

namespace lorkctl {

namespace {
std::atomic<bool> g_interrupted{false};

// The record the end by the signal leaves, and the lock that SignalsHeld takes.
std::recursive_mutex g_record_lock;
int g_record_fd = -1;
std::string g_record_line;

[[noreturn]] void end_by_ctrl() {
    {
        std::lock_guard<std::recursive_mutex> held(g_record_lock);
        if (g_record_fd >= 0) _write(g_record_fd, g_record_line.data(), unsigned(g_record_line.size()));
        g_record_fd = -1;
    }
    lork::consoleFlush();
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

// Runs on a thread of its own that the console starts: the first Ctrl-C or
// Ctrl-Break only asks the command to stop; a command still running kGraceMs
// later (a wait on a mute gateway) is ended as the console would have ended
// it, and so is the program at the next Ctrl-C.
BOOL WINAPI onCtrl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
    if (g_interrupted.exchange(true)) end_by_ctrl();
    Sleep(DWORD(kGraceMs));
    end_by_ctrl();
}

std::string utf8_of(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}
}  // namespace

char** prepare_console(int argc, char** argv) {
    // The console's code page stays the operator's: the text goes in as UTF-16.
    lork::consoleTextOutput();
    // The program's lifetime: the vector keeps the strings argv points into.
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide || n != argc) {
        if (wide) LocalFree(wide);
        return argv;
    }
    for (int i = 0; i < n; ++i) texts.push_back(utf8_of(wide[i]));
    LocalFree(wide);
    for (auto& t : texts) pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers.data();
}

void catch_interrupt() { SetConsoleCtrlHandler(onCtrl, TRUE); }

void raise_interrupt() {
    // What an uncaught Ctrl-C gives on Windows.
    lork::consoleFlush();
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

bool interrupted() { return g_interrupted.load(); }

void sleep_unless_interrupted(long ms) {
    const ULONGLONG end = GetTickCount64() + ULONGLONG(ms > 0 ? ms : 0);
    for (ULONGLONG now = GetTickCount64(); !interrupted() && now < end; now = GetTickCount64())
        Sleep(DWORD(std::min<ULONGLONG>(20, end - now)));
}

SignalsHeld::SignalsHeld() { g_record_lock.lock(); }
SignalsHeld::~SignalsHeld() { g_record_lock.unlock(); }

void set_interrupted_record(int fd, const std::string& line) {
    SignalsHeld held;
    g_record_line = line;
    g_record_fd = fd;
}

}  // namespace lorkctl
