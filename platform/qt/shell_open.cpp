#include "platform/qt/shell_open.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace lork {

QString Help_document_path(const QString& app_dir) {
    const QStringList places = Help_document_places(app_dir);
    for (const QString& p : places)
        if (QFileInfo::exists(p)) return p;
    return places.front();
}

QString Help_document_path() { return Help_document_path(QCoreApplication::applicationDirPath()); }

}  // namespace lork
