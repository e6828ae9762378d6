#pragma once
// The commands of lorkctl; each returns its exit status or throws Exit.
#include "cli/options.h"

namespace lorkctl {

int cmdRead(const Options& o);
int cmdPing(const Options& o);
int cmdMonitor(const Options& o);
int cmdSet(const Options& o);
int cmdSetInterface(const Options& o);  // set-address, set-baud, set-parity, set-stopbits
int cmdSearch(const Options& o);
int cmdApply(const Options& o);
int cmdCalibrate(const Options& o);
int cmdRaw(const Options& o);  // raw read, raw write
int cmdSniff(const Options& o);  // listens to a line, never sends

// The help text of a command, or of the program for an empty or unknown one.
const char* helpText(const std::string& command);

}  // namespace lorkctl
