#include <windows.h>
#include <shellapi.h>

#include <QDir>
#include <QFileInfo>

#include "platform/qt/shell_open.h"

namespace lork {

OpenResult Shell_open(const QString& path) {
    if (!QFileInfo::exists(path)) return OpenResult::Missing;
    const std::wstring file = QDir::toNativeSeparators(path).toStdWString();
    // Above 32: started; at most 32: an error, chiefly no program associated with the file.
    const auto r = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return r > 32 ? OpenResult::Opened : OpenResult::NoViewer;
}

}  // namespace lork
