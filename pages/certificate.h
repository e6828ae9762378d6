#pragma once
// The calibration certificate: one A4 page with both points of the
// instrument's last calibration, as HTML, written to PDF or printed.
#include <QDateTime>
#include <QString>

#include "records/calibration_log.h"

class QPrinter;

namespace lork::pages {

struct CertificateHead {
    QString name, version, port;
    unsigned adr = 0;
    QString operatorName;
    QDateTime made;   // when the certificate is made
    QString logPath;  // the calibration log it comes from
};

QString certificateHtml(const lork::calib::Certificate& c, const CertificateHead& head);
// The PDF file at path; the failure's reason, or an empty string.
QString certificatePdf(const QString& html, const QString& path);
void certificatePrint(const QString& html, QPrinter& printer);
// A file name for the save dialog: instrument, address and date, no characters a file name trips on.
QString certificateFileName(const CertificateHead& head);

}  // namespace lork::pages
