#pragma once
// The journal's rows as text: the columns of the window, a CSV line (UTF-8,
// ISO 8601 times) and a plain-text line.
#include <cstdint>
#include <string>
#include <vector>

#include "records/journal.h"

namespace lork::journal {

enum Column { ColTime, ColCommand, ColRequest, ColReqLen, ColReply, ColRepLen, ColResponse, ColCode, ColText, ColCount };

// The column headings, as the window shows them.
const char* columnTitle(int col);
// "05 03 08 00" (upper-case pairs, one blank between).
std::string hex(const std::vector<uint8_t>& bytes);
// The command, with a probe marked ("поиск, проба").
std::string commandText(const Entry& e);
// hh:mm:ss.zzz in local time.
std::string clockText(int64_t wallMs);
// 2026-03-09T07:05:04.123+03:00 in local time.
std::string isoText(int64_t wallMs);
// One cell as the window shows it.
std::string cell(const Entry& e, int col);

std::string csvHeader();
std::string csvLine(const Entry& e);
std::string textLine(const Entry& e);
// The selected rows for a spreadsheet: cells by tabs, rows by newlines.
std::string tabLine(const Entry& e);

}  // namespace lork::journal
