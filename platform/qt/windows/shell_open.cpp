#include <windows.h>
#include <shellapi.h>

#include <QDir>
#include <QFileInfo>

#include "platform/qt/shell_open.h"

namespace lork {

// The installer and the zip put the guide beside the programs, its only place.
QStringList helpDocumentPlaces(const QString& appDir) {
    return {QDir(appDir).filePath(QStringLiteral("Справка по ЛОРК.pdf"))};
}

OpenResult shellOpen(const QString& path) {
    if (!QFileInfo::exists(path)) return OpenResult::Missing;
    const std::wstring file = QDir::toNativeSeparators(path).toStdWString();
    // Above 32: started; at most 32: an error, chiefly no program associated with the file.
    const auto r = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return r > 32 ? OpenResult::Opened : OpenResult::NoViewer;
}

}  // namespace lork
