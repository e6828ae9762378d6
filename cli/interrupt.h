#pragma once
// Ctrl-C for the commands that run until stopped (search, monitor): the first
// SIGINT only asks them to end at their next safe point; a second one ends the
// program at once, as usual.
namespace lorkctl {

// The console as the program expects it: text out in UTF-8, and the
// arguments as UTF-8 (in place of argv where the system gives another
// encoding). Returns the argument vector to use.
char** prepare_console(int argc, char** argv);

void catch_interrupt();
// Ends the program by SIGINT, as if it had not been caught.
void raise_interrupt();
bool interrupted();
// Sleeps ms milliseconds or until Ctrl-C.
void sleep_unless_interrupted(long ms);

}  // namespace lorkctl
