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
std::atomic<bool> gInterrupted{false};

// The record the end by the signal leaves, and the lock that SignalsHeld takes.
std::recursive_mutex gRecordLock;
int gRecordFd = -1;
std::string gRecordLine;

[[noreturn]] void endByCtrl() {
    {
        std::lock_guard<std::recursive_mutex> held(gRecordLock);
        if (gRecordFd >= 0) _write(gRecordFd, gRecordLine.data(), unsigned(gRecordLine.size()));
        gRecordFd = -1;
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
    if (gInterrupted.exchange(true)) endByCtrl();
    Sleep(DWORD(kGraceMs));
    endByCtrl();
}

std::string utf8Of(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}
}  // namespace

char** prepareConsole(int argc, char** argv) {
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
    for (int i = 0; i < n; ++i) texts.push_back(utf8Of(wide[i]));
    LocalFree(wide);
    for (auto& t : texts) pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers.data();
}

void catchInterrupt() { SetConsoleCtrlHandler(onCtrl, TRUE); }

void raiseInterrupt() {
    // What an uncaught Ctrl-C gives on Windows.
    lork::consoleFlush();
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

bool interrupted() { return gInterrupted.load(); }

void sleepUnlessInterrupted(long ms) {
    const ULONGLONG end = GetTickCount64() + ULONGLONG(ms > 0 ? ms : 0);
    for (ULONGLONG now = GetTickCount64(); !interrupted() && now < end; now = GetTickCount64())
        Sleep(DWORD(std::min<ULONGLONG>(20, end - now)));
}

SignalsHeld::SignalsHeld() { gRecordLock.lock(); }
SignalsHeld::~SignalsHeld() { gRecordLock.unlock(); }

void setInterruptedRecord(int fd, const std::string& line) {
    SignalsHeld held;
    gRecordLine = line;
    gRecordFd = fd;
}

}  // namespace lorkctl
