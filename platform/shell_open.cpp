#include "platform/shell_open.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace lork {

void Shell_open(const QString& path) {
    // Checked here: a desktop handler would otherwise pop up its own error.
    if (!QFileInfo::exists(path)) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString Help_document_path() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Справка по ЛОРК.pdf"));
}

}  // namespace lork
