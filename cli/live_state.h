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
std::string readLive(Session& s);
Identity readIdentity(Session& s);
void readCalibration(Session& s);

// The indicator as it looks: each character followed by its point when lit.
std::string indicatorView(const std::string& ciText);

// Keys are the program's own field names.
void addLiveJson(class JsonObject& j, const lork::State& st, const std::string& ciText);
std::string liveLines(const lork::State& st, const std::string& ciText);
std::string liveLine(const lork::State& st, const std::string& ciText);  // one line for the monitor

}  // namespace lorkctl
