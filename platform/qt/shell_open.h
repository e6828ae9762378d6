#pragma once
// Opening documents with the desktop's default application.
#include <QString>
#include <QStringList>

namespace lork {

enum class OpenResult {
    Opened,
    Missing,   // no such file
    NoViewer,  // the system has no program for files of its kind
};

// Opens the file with its default application; the caller tells the
// operator what went wrong (a desktop's own error box would not name the file).
OpenResult shellOpen(const QString& path);

// The help document "Справка по ЛОРК.pdf": beside the program file first;
// on Linux then in the share folder of the prefix the program is installed
// under (bin/../share/testlork) and in the system's data folders. When none
// holds it, the path beside the program.
QString helpDocumentPath();
QString helpDocumentPath(const QString& appDir);
// Every place helpDocumentPath looks, in its order.
QStringList helpDocumentPlaces(const QString& appDir);

}  // namespace lork
