#include "pages/page_format.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QLocale>
#include <QTime>

#include "pages/page_host.h"
#include "platform/file_words.h"
#include "platform/base/file_io.h"
#include "protocol/value_rules.h"
#include "protocol/value_formats.h"

namespace lork::pages {

QString localised(const std::string& text) {
    QString t = QString::fromStdString(text);
    t.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
    return t;
}

QString numberText(double v) { return localised(numberFormat(v, '.')); }

QString longTimeText(const QTime& t) {
    const QLocale loc;
    QString f = loc.timeFormat(QLocale::LongFormat);
    f.remove(QLatin1Char('t'));
    return loc.toString(t, f.trimmed());
}

QString shortDateText(const QDate& d) {
    // An English or C locale would put "Dec" into a Russian window.
    const QString f = QLocale().dateFormat(QLocale::ShortFormat);
    return QLocale(QLocale::Russian, QLocale::Russia).toString(d, f);
}

QString saveStart(const QString& name) {
    if (!name.isEmpty() && !QFileInfo(name).isRelative()) return name;
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QDir(dir).exists()) dir = QDir::homePath();
    return name.isEmpty() ? dir : QDir(dir).filePath(name);
}

QString writeWholeFile(const QString& path, const QByteArray& data) {
    const int err = replaceFile(path.toStdString(), std::string_view(data.constData(), size_t(data.size())), nullptr);
    return err == 0 ? QString() : QString::fromStdString(fileErrorText(err));
}

}  // namespace lork::pages

int PageHost::chosenItem(const QComboBox* box) {
    const int i = box->currentIndex();
    if (i < 0) message(QString::fromUtf8(lork::msgNotNumber));
    return i;
}
