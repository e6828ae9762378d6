#include "platform/qt/shell_open.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace lork {

QString helpDocumentPath(const QString& appDir) {
    const QStringList places = helpDocumentPlaces(appDir);
    for (const QString& p : places)
        if (QFileInfo::exists(p)) return p;
    return places.front();
}

QString helpDocumentPath() { return helpDocumentPath(QCoreApplication::applicationDirPath()); }

}  // namespace lork
