#pragma once
// What `read` and `monitor` read: the query of the readings page (inputs,
// indicator, view, coils, parameters, measurement), and for `read` also the
// name, version and stored calibration.
#include <string>

#include "cli/session.h"

namespace lorkctl {

struct Identity {
    std::string name, version;  // UTF-8, as the instrument sends them
};

// The query's exchanges in the window's order; the first failure throws Exit(ST_REFUSED).
// Returns the indicator's text (UTF-8, eight characters: a character and its point each).
std::string read_live(Session& s);
Identity read_identity(Session& s);
void read_calibration(Session& s);

// The indicator as it looks: each character followed by its point when lit.
std::string indicator_view(const std::string& ci_text);

// Keys are the program's own field names.
void add_live_json(class JsonObject& j, const lork::State& st, const std::string& ci_text);
std::string live_lines(const lork::State& st, const std::string& ci_text);
std::string live_line(const lork::State& st, const std::string& ci_text);  // one line for the monitor

}  // namespace lorkctl
