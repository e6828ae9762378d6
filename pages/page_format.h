#pragma once
// Texts the pages show: numbers with the operator's decimal separator, the
// long time of day, the refusal of a box with no item chosen.
#include <QString>
#include <string>

class QTime;

namespace lork::pages {

// A printf-style text (made with '.') with the locale's decimal separator.
QString Localised(const std::string& text);
// "%8.3f" with the locale's separator and no digit grouping.
QString Number_text(double v);
// The system's long time format without its time-zone part, for which the
// fields showing it have no room.
QString Long_time_text(const QTime& t);

}  // namespace lork::pages
