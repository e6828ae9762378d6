#include "platform/qt/shell_open.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lork {

namespace {
const QString kHelpName = QStringLiteral("Справка по ЛОРК.pdf");
}

QStringList Help_document_places(const QString& app_dir) {
    QStringList places{QDir(app_dir).filePath(kHelpName),
                       QDir::cleanPath(QDir(app_dir).filePath(QStringLiteral("../share/testlork/") + kHelpName))};
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        places << QDir(data).filePath(QStringLiteral("testlork/") + kHelpName);
    places.removeDuplicates();
    return places;
}

QString Help_document_path(const QString& app_dir) {
    const QStringList places = Help_document_places(app_dir);
    for (const QString& p : places)
        if (QFileInfo::exists(p)) return p;
    return places.front();
}

QString Help_document_path() { return Help_document_path(QCoreApplication::applicationDirPath()); }

}  // namespace lork
