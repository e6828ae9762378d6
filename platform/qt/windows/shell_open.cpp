#include <windows.h>
#include <shellapi.h>

#include <QDir>
#include <QFileInfo>

#include "platform/qt/shell_open.h"

namespace lork {

void Shell_open(const QString& path) {
    // Checked here: the shell would otherwise pop up its own error.
    if (!QFileInfo::exists(path)) return;
    const std::wstring file = QDir::toNativeSeparators(path).toStdWString();
    ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace lork
