#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "platform/qt/shell_open.h"

namespace lork {

namespace {
// Whether the desktop names a program for this kind of file. xdg-open, which
// opens it, tells a missing one only after it returned, in a box of its own
// or not at all; xdg-mime answers at once.
bool Has_viewer(const QString& path) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return false;
    const QString xdg_mime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    // Without xdg-mime there is no asking; xdg-open may still find one.
    if (xdg_mime.isEmpty()) return true;
    QProcess q;
    q.start(xdg_mime, {QStringLiteral("query"), QStringLiteral("default"), QMimeDatabase().mimeTypeForFile(path).name()});
    if (!q.waitForFinished(5000)) return true;
    return !q.readAllStandardOutput().trimmed().isEmpty();
}
}  // namespace

QStringList Help_document_places(const QString& app_dir) {
    const QString name = QStringLiteral("Справка по ЛОРК.pdf");
    QStringList places{QDir(app_dir).filePath(name),
                       QDir::cleanPath(QDir(app_dir).filePath(QStringLiteral("../share/testlork/") + name))};
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        places << QDir(data).filePath(QStringLiteral("testlork/") + name);
    places.removeDuplicates();
    return places;
}

OpenResult Shell_open(const QString& path) {
    if (!QFileInfo::exists(path)) return OpenResult::Missing;
    if (!Has_viewer(path)) return OpenResult::NoViewer;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? OpenResult::Opened : OpenResult::NoViewer;
}

}  // namespace lork
