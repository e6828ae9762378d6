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
OpenResult Shell_open(const QString& path);

// The help document "Справка по ЛОРК.pdf": beside the program file first;
// on Linux then in the share folder of the prefix the program is installed
// under (bin/../share/testlork) and in the system's data folders. When none
// holds it, the path beside the program.
QString Help_document_path();
QString Help_document_path(const QString& app_dir);
// Every place Help_document_path looks, in its order.
QStringList Help_document_places(const QString& app_dir);

}  // namespace lork
