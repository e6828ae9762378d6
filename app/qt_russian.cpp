#include "app/qt_russian.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool loadQtRussian(QCoreApplication& app) {
    auto* tr = new QTranslator(&app);
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    for (const QString& dir :
         {QCoreApplication::applicationDirPath(), QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (tr->load(ru, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) return QCoreApplication::installTranslator(tr);
    }
    delete tr;
    return false;
}
