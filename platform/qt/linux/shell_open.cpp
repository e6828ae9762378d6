#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "platform/qt/shell_open.h"

namespace lork {

void Shell_open(const QString& path) {
    // Checked here: a desktop handler would otherwise pop up its own error.
    if (!QFileInfo::exists(path)) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace lork
