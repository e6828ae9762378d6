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
bool hasViewer(const QString& path) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return false;
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    // Without xdg-mime there is no asking; xdg-open may still find one.
    if (xdgMime.isEmpty()) return true;
    QProcess q;
    q.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QMimeDatabase().mimeTypeForFile(path).name()});
    if (!q.waitForFinished(5000)) return true;
    return !q.readAllStandardOutput().trimmed().isEmpty();
}
}  // namespace

QStringList helpDocumentPlaces(const QString& appDir) {
    const QString name = QStringLiteral("Справка по ЛОРК.pdf");
    QStringList places{QDir(appDir).filePath(name),
                       QDir::cleanPath(QDir(appDir).filePath(QStringLiteral("../share/testlork/") + name))};
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        places << QDir(data).filePath(QStringLiteral("testlork/") + name);
    places.removeDuplicates();
    return places;
}

OpenResult shellOpen(const QString& path) {
    if (!QFileInfo::exists(path)) return OpenResult::Missing;
    if (!hasViewer(path)) return OpenResult::NoViewer;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? OpenResult::Opened : OpenResult::NoViewer;
}

}  // namespace lork
