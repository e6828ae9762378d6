#pragma once
// Ctrl-C (SIGINT) and SIGTERM for the commands that stop at a point of their
// own (search, monitor, apply): the signal only asks them to end there. A
// command that has not ended kGraceMs later (a wait on a gateway that does
// not answer, a line that never falls silent) ends by the signal after all,
// between two system calls, so no record is left half-written. A second
// Ctrl-C ends the program at once, as usual. Commands that never call
// catch_interrupt() end by the signal at once.
namespace lorkctl {

inline constexpr long kGraceMs = 300;

// The console as the program expects it: text out readable there (UTF-16
// into a Windows console, UTF-8 bytes elsewhere), and the
// arguments as UTF-8 (in place of argv where the system gives another
// encoding). Returns the argument vector to use.
char** prepare_console(int argc, char** argv);

void catch_interrupt();
// Ends the program by the signal that interrupted it, as if it had not been caught.
void raise_interrupt();
bool interrupted();
// Sleeps ms milliseconds or until Ctrl-C.
void sleep_unless_interrupted(long ms);

}  // namespace lorkctl
