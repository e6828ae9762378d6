#pragma once
// lork-sim's command line, for both programs (on a pseudo-terminal, on a COM
// port), and the commands that change the simulated world while it runs.
#include <optional>
#include <string>
#include <vector>

#include "sim/instrument_model.h"
#include "sim/sweep.h"

namespace lork::sim {

// Where the master's line arrives: a pseudo-terminal the simulator makes
// (Linux), or a named COM port (Windows). Each takes its own options.
enum class LineKind { Pty, ComPort };

struct FaultSpec {
    Fault kind = Fault::None;
    unsigned times = InstrumentModel::kAlways;
    int arg = -1;  // the fault's argument; -1: its default
};

struct ExceptionSpec {
    uint8_t code = 0;
    unsigned times = 1;
};

struct Options {
    SimLine line;
    std::vector<uint8_t> addresses;  // every instrument's address, line.adr first (several: Pty)
    std::optional<double> resistance;
    std::optional<Sweep> sweep;
    std::optional<FaultSpec> fault;  // the last one given
    std::optional<ExceptionSpec> exception;
    std::string stateFile;
    std::string linkPath;  // a symbolic link to the terminal (Pty)
    std::string portName;  // the COM port (ComPort)
    bool pace = false;     // replies at wire speed (Pty)
    bool verbose = false;
};

enum class Parsed { Run, Help, Bad };

// args: the words after the program's name. Bad: error says why ("bad
// address", "--baud needs a value", "unknown option --x").
Parsed parseOptions(const std::vector<std::string>& args, LineKind kind, Options& out, std::string& error);
const char* usageText(LineKind kind);

// Addresses as "5" or "1,5,7-9", each 1..247 and once; empty when malformed.
std::vector<uint8_t> addressList(const std::string& text);

// The options' world on the model: line, resistance, fault, exception, and
// what the state file holds when there is one. False: the file could not be
// read, error says why.
bool applyOptions(const Options& o, InstrumentModel& m, std::string& error);

// One command line from standard input ("resistance 300", "fault silent 2",
// "quit" ...); returns the answer, "ok" or "error ...", empty for a blank line.
std::string runCommand(InstrumentModel& m, const std::string& line, bool& quit);

}  // namespace lork::sim
