#pragma once
// Texts the pages show: numbers with the operator's decimal separator, the
// long time of day, the refusal of a box with no item chosen.
#include <QByteArray>
#include <QString>
#include <string>

class QDate;
class QTime;

namespace lork::pages {

// A printf-style text (made with '.') with the locale's decimal separator.
QString localised(const std::string& text);
// "%8.3f" with the locale's separator and no digit grouping.
QString numberText(double v);
// The system's long time format without its time-zone part, for which the
// fields showing it have no room.
QString longTimeText(const QTime& t);
// The system's short date format (its order, separators and digits) with
// month and day names in Russian, as the rest of the window.
QString shortDateText(const QDate& d);
// Where a save dialog starts: the user's Documents folder (or home), never
// the current directory, which for a program started from a menu is
// anywhere. A bare file name is put in that folder; a path stays as it is.
QString saveStart(const QString& name = QString());
// Writes data as the whole file at path, in place of what was there (a
// failed write leaves the old file); empty, or why not in the operator's
// words with the system's text in brackets.
QString writeWholeFile(const QString& path, const QByteArray& data);

}  // namespace lork::pages
