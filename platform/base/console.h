#pragma once
// Text for a person at a console. The programs write UTF-8 through the C
// library's streams; a Windows console shows such bytes in its own code page
// (866, or 65001 in name only), so there the text goes in as UTF-16.

namespace lork {

// Call first thing in main: on Windows each of stdout and stderr that is a
// console gets its text through WriteConsoleW from then on; one redirected
// to a file or a pipe keeps receiving the UTF-8 bytes. Nothing elsewhere.
void consoleTextOutput();

// For a program without a console of its own (a Windows window program)
// that has text to print, its help say: true when stdout leads somewhere,
// redirected or the console of the command line it was started from (then
// attached, and set up as consoleTextOutput does); false when there is no
// one to read it (started from Explorer).
bool consoleAttach();

// Everything written so far is on the console when this returns; call it
// before ending the process without returning from main (ExitProcess).
// Further writes still work.
void consoleFlush();

}  // namespace lork
