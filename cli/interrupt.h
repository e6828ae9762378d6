#pragma once
// Ctrl-C (SIGINT) and SIGTERM for the commands that stop at a point of their
// own (search, monitor, apply): the signal only asks them to end there. A
// command that has not ended kGraceMs later (a wait on a gateway that does
// not answer, a line that never falls silent) ends by the signal after all,
// between two system calls, so no record is left half-written. A second
// Ctrl-C ends the program at once, as usual. Commands that never call
// catchInterrupt() end by the signal at once.
#include <string>

namespace lorkctl {

inline constexpr long kGraceMs = 300;

// The console as the program expects it: text out readable there (UTF-16
// into a Windows console, UTF-8 bytes elsewhere), and the
// arguments as UTF-8 (in place of argv where the system gives another
// encoding). Returns the argument vector to use.
char** prepareConsole(int argc, char** argv);

void catchInterrupt();
// Ends the program by the signal that interrupted it, as if it had not been caught.
void raiseInterrupt();
bool interrupted();
// Sleeps ms milliseconds or until Ctrl-C.
void sleepUnlessInterrupted(long ms);

// The record of a run that the signal ends before the command could write
// its own (a write waiting out a long --timeout): from now on the end by the
// signal (the grace's end, a second Ctrl-C) first appends line to fd with one
// write. Set it anew as the run goes on; fd -1 clears it.
void setInterruptedRecord(int fd, const std::string& line);

// While one lives, the end by the signal waits: the command writes its own
// record (and clears the one above) without another line beside it.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
};

}  // namespace lorkctl
