#pragma once
// Opening documents with the desktop's default application.
#include <QString>

namespace lork {

// Opens the file with its default application. A missing file is ignored
// without any message, as is a desktop that cannot open it.
void Shell_open(const QString& path);

// The help document beside the program file.
QString Help_document_path();

}  // namespace lork
