#pragma once
// Writes of single settings with function 16, as the pages send them, and
// the reads that verify them.
#include <string>
#include <utility>
#include <vector>

#include "cli/session.h"
#include "cli/values.h"

namespace lorkctl {

// Writes one setting. An interface setting is then followed: the line's own
// address, rate, parity or stop bits become the written ones.
void writeSetting(Session& s, const Setting& set, long value);

// Reads R, N, U, brightness, permission, view (one read) and the four
// interface registers (another).
void readParams(Session& s);
void readInterface(Session& s);

// Throws Exit(ST_REFUSED) naming every setting that did not read back as written.
void verify(const Session& s, const std::vector<Assignment>& wanted);

// The rules of the parameters page (N * R <= 900 Ом, U < N) for R, N, U
// after the writes, with the instrument's other values as read: each broken
// rule told on standard error, and the command refused (Exit(ST_IMPLAUSIBLE))
// before anything is written, unless force.
void checkRules(const lork::State& st, const std::vector<Assignment>& writes, bool force);

// The writes with R, N and U first, in an order the instrument takes one
// register at a time (it checks the rules at every write); the others after
// them as they came.
std::vector<Assignment> orderedWrites(const lork::State& st, const std::vector<Assignment>& writes);

std::string settingValueText(const Setting& set, long value);

}  // namespace lorkctl
