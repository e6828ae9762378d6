#include "platform/qt/shell_open.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lork {

namespace {
const QString kHelpName = QStringLiteral("Справка по ЛОРК.pdf");
}

QString Help_document_path(const QString& app_dir) {
    const QString beside = QDir(app_dir).filePath(kHelpName);
    if (QFileInfo::exists(beside)) return beside;
    const QString installed =
        QDir::cleanPath(QDir(app_dir).filePath(QStringLiteral("../share/testlork/") + kHelpName));
    if (QFileInfo::exists(installed)) return installed;
    const QString data = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                QStringLiteral("testlork/") + kHelpName);
    return data.isEmpty() ? beside : data;
}

QString Help_document_path() { return Help_document_path(QCoreApplication::applicationDirPath()); }

}  // namespace lork
