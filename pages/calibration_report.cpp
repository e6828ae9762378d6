// The calibration page's certificate: the instrument's last calibration from
// the calibration log, saved as a PDF file or printed, signed with the
// operator's name, which is asked once and kept in the window's own file.
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>

#include "pages/calibration.h"
#include "pages/page_host.h"
#include "pages/page_format.h"
#include "ui_page_calibr.h"

using namespace lork;

namespace {
const QString kOperatorKey = QStringLiteral("certificate/operator");
}

CalibrationPage::ReportDialogs CalibrationPage::realDialogs() {
    // The window the page is in when the dialog opens (the page is moved
    // into a scroll area after it is built).
    auto parent = [this] { return pc->Button_otchet->window(); };
    return {
        [parent] {
            QInputDialog dialog(parent());
            dialog.setWindowTitle(QStringLiteral("протокол калибровки"));
            dialog.setLabelText(QStringLiteral("Фамилия и инициалы оператора:"));
            // Wide enough for its title beside the frame's buttons.
            dialog.setMinimumWidth(dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()) + 200);
            return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
        },
        [parent](const QString& suggested) {
            return QFileDialog::getSaveFileName(parent(), QStringLiteral("протокол калибровки"),
                                                lork::pages::saveStart(suggested), QStringLiteral("PDF (*.pdf)"));
        },
        [parent](QPrinter& printer) {
            QPrintDialog dialog(&printer, parent());
            return dialog.exec() == QDialog::Accepted;
        },
    };
}

void CalibrationPage::setOwnSettingsFile(const QString& path) {
    ownSettings_ = path;
    operator_ = QSettings(path, QSettings::IniFormat).value(kOperatorKey).toString();
}

QString CalibrationPage::operatorName() {
    if (!operator_.isEmpty()) return operator_;
    const QString name = dialogs_.operatorName().trimmed();
    if (name.isEmpty()) return {};
    operator_ = name;
    if (!ownSettings_.isEmpty()) QSettings(ownSettings_, QSettings::IniFormat).setValue(kOperatorKey, name);
    return name;
}

QString CalibrationPage::reportHtml(pages::CertificateHead& head) {
    const auto& ls = host_.core().st.ls;
    const std::string log = calib::defaultPath();
    head.name = readings_.name ? QString::fromStdString(calib::trimmed(readings_.name().toStdString())) : QString();
    head.version =
        readings_.version ? QString::fromStdString(calib::trimmed(readings_.version().toStdString())) : QString();
    head.port = QString::fromStdString(ls.port_name);
    head.adr = ls.adr;
    head.made = host_.wallNow();
    head.logPath = QString::fromStdString(log);
    const calib::Certificate cert = calib::lastCalibration(calib::readAll(log), ls.port_name, ls.adr,
                                                            head.name.toStdString(), head.version.toStdString());
    if (cert.empty()) {
        host_.message(QStringLiteral("В журнале калибровки нет записей для этого прибора (%1 %2, порт %3, адрес %4): "
                                     "протокол не составлен")
                          .arg(head.name, head.version, head.port)
                          .arg(head.adr));
        return {};
    }
    head.operatorName = operatorName();
    if (head.operatorName.isEmpty()) return {};
    return pages::certificateHtml(cert, head);
}

void CalibrationPage::Button_otchetClick() {
    pages::CertificateHead head;
    const QString html = reportHtml(head);
    if (html.isEmpty()) return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = dialogs_.savePath(QDir(folder).filePath(pages::certificateFileName(head)));
    if (path.isEmpty()) return;
    if (const QString err = pages::certificatePdf(html, path); !err.isEmpty())
        host_.message(QStringLiteral("протокол калибровки не записан: %1: %2").arg(path, err));
    else
        host_.setStatusMessage(QStringLiteral(" протокол калибровки: %1 ").arg(path));
}

void CalibrationPage::Button_pechatClick() {
    pages::CertificateHead head;
    const QString html = reportHtml(head);
    if (html.isEmpty()) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("протокол калибровки"));
    if (!dialogs_.print(printer)) return;
    pages::certificatePrint(html, printer);
}
