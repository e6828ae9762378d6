#include "app/tfmsetup.h"

#include "app/tfglav.h"

TFMsetup::TFMsetup(TFglav& fglav, QWidget* parent) : QWidget(parent), fglav_(fglav) {
    setObjectName(QStringLiteral("FMsetup"));
    setWindowTitle(QStringLiteral("для .INI"));
    // The settings file: find or create it, then load it into the line
    // settings and the port controls (not part of this window yet).

    // A port named on the command line wins over the one in the file.
    fglav_.applyForcedPort();

    // The start-up presence check, the first request on the line, follows
    // the load (not part of this window yet).
}
