#pragma once
// The commands of lorkctl; each returns its exit status or throws Exit.
#include "cli/options.h"

namespace lorkctl {

int cmd_read(const Options& o);
int cmd_ping(const Options& o);
int cmd_monitor(const Options& o);
int cmd_set(const Options& o);
int cmd_set_interface(const Options& o);  // set-address, set-baud, set-parity, set-stopbits
int cmd_search(const Options& o);
int cmd_apply(const Options& o);
int cmd_calibrate(const Options& o);
int cmd_raw(const Options& o);  // raw read, raw write
int cmd_sniff(const Options& o);  // listens to a line, never sends

// The help text of a command, or of the program for an empty or unknown one.
const char* help_text(const std::string& command);

}  // namespace lorkctl
