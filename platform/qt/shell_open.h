#pragma once
// Opening documents with the desktop's default application.
#include <QString>

namespace lork {

// Opens the file with its default application. A missing file is ignored
// without any message, as is a desktop that cannot open it.
void Shell_open(const QString& path);

// The help document: beside the program file first, then in the share folder
// of the prefix the program is installed under (bin/../share/testlork), then
// in the system's data folders. When none holds it, the path beside the
// program (which Shell_open then ignores).
QString Help_document_path();
QString Help_document_path(const QString& app_dir);

}  // namespace lork
