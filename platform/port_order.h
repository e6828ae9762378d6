#pragma once
// Ordering of the serial-port list. Kept free of Qt so the rule is tested on
// its own.
#include <string>
#include <vector>

namespace lork {

// Orders port names as the system lists them. With more than one name: the
// names of 4, 5 and 6 characters come first, in that order of length, each
// group in plain character-code order (so COM2 comes before COM10 before
// COM100); every other name follows in natural order (text part by character
// codes, a trailing number by value), so ttyUSB2 comes before ttyUSB10.
// Every name given appears exactly once per occurrence. One name or none is
// returned as it is.
std::vector<std::string> orderPortNames(const std::vector<std::string>& listed);

// The port a first start uses: "COM1" where the system lists it; else the
// first USB serial adapter listed (ttyUSB*, ttyACM*), else the first name
// listed; "COM1" for an empty list.
std::string defaultPortName(const std::vector<std::string>& listed);

// The port list after the system listed its ports anew: the names listed
// and the port in use (kept even when its device has gone; empty: none) in
// the ordering above, then the program's own entries (a path or gateway
// given on the command line) as they were at start.
std::vector<std::string> portListNow(const std::vector<std::string>& listed, const std::vector<std::string>& own,
                                       const std::string& inUse);

// Natural comparison used for the names outside the 4..6 character groups.
bool naturalLess(const std::string& a, const std::string& b);

}  // namespace lork
