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

QString Certificate_html(const lork::calib::Certificate& c, const CertificateHead& head);
// The PDF file at path; the failure's reason, or an empty string.
QString Certificate_pdf(const QString& html, const QString& path);
void Certificate_print(const QString& html, QPrinter& printer);
// A file name for the save dialog: instrument, address and date, no characters a file name trips on.
QString Certificate_file_name(const CertificateHead& head);

}  // namespace lork::pages
