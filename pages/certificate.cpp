#include "pages/certificate.h"

#include <QBuffer>
#include <QLocale>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextDocument>
#include <memory>
#include <utility>

#include "pages/page_format.h"
#include "protocol/value_rules.h"

namespace lork::pages {

namespace {

QString esc(const QString& s) { return s.toHtmlEscaped(); }
QString esc(const std::string& s) { return esc(QString::fromStdString(s)); }

// A pulse count as the calibration page shows it: decimal, then both words.
QString pulsesCell(uint32_t v) {
    const CalViews w = calViews(v);
    return QString::fromStdString(w.dec + "<br><small>" + w.hi + " " + w.lo + "</small>");
}

QString measuredText(float v) {
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(double(v), 'f', 3);
}

QString whenText(const std::string& iso) {
    const QDateTime t = QDateTime::fromString(QString::fromStdString(iso), Qt::ISODate);
    return t.isValid() ? t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : esc(iso);
}

QString pointRow(const char* point, const std::optional<calib::Record>& r) {
    // A value written against the checks carries a star to its note below the table.
    const QString star = r && !r->doubt.empty() ? QStringLiteral(" *") : QString();
    QString row = QStringLiteral("<tr><td align=\"center\"><b>%1%2</b></td>").arg(QString::fromUtf8(point), star);
    if (!r)
        return row + QStringLiteral("<td colspan=\"5\" align=\"center\">не калибровалась</td></tr>");
    return row + QStringLiteral("<td>%1</td><td align=\"right\">%2</td><td align=\"right\">%3</td>"
                                "<td align=\"right\">%4</td><td align=\"right\">%5</td></tr>")
                     .arg(whenText(r->when), pulsesCell(r->before), pulsesCell(r->written), measuredText(r->izm_proc),
                          measuredText(r->izm_znach));
}

std::unique_ptr<QTextDocument> layoutDocument(const QString& html, QPagedPaintDevice& device) {
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageMargins(QMarginsF(20, 15, 15, 15), QPageLayout::Millimeter);
    auto doc = std::make_unique<QTextDocument>();
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(10);
    doc->setDefaultFont(f);
    doc->setHtml(html);
    return doc;
}

}  // namespace

QString certificateHtml(const calib::Certificate& c, const CertificateHead& h) {
    const QString line = QStringLiteral("<tr><td width=\"30%\">%1</td><td><b>%2</b></td></tr>");
    QString s = QStringLiteral("<html><body>"
                               "<h2 align=\"center\">Протокол калибровки прибора</h2>"
                               "<p align=\"center\">калибровка от ПК по двум точкам: 0 % (0 Ом) и 100 % (1000 Ом)</p>"
                               "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">");
    s += line.arg(QStringLiteral("Прибор"), esc(h.name));
    s += line.arg(QStringLiteral("Версия"), esc(h.version));
    s += line.arg(QStringLiteral("Порт"), esc(h.port));
    s += line.arg(QStringLiteral("Адрес"), QString::number(h.adr));
    s += QStringLiteral("</table><h3>Значения калибровки, импульсов</h3><p><small>под числом: старшее и младшее слово в hex</small></p>"
                        "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"4\" "
                        "style=\"border-collapse: collapse; border-color: #000000\">"
                        "<tr><th>точка</th><th>дата и время записи</th><th>было</th><th>записано</th>"
                        "<th>измерено, %</th><th>измерено, ТЕ</th></tr>");
    s += pointRow("0 %", c.zero);
    s += pointRow("100 %", c.hundred);
    s += QStringLiteral("</table>");
    for (const auto& [point, r] : {std::pair{"0 %", &c.zero}, std::pair{"100 %", &c.hundred}})
        if (*r && !(*r)->doubt.empty())
            s += QStringLiteral("<p><b>* Точка %1 записана, хотя не прошла проверку:</b> %2</p>")
                     .arg(QString::fromUtf8(point), esc((*r)->doubt));
    s += QStringLiteral("<p>&nbsp;</p><table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">");
    s += line.arg(QStringLiteral("Оператор"), esc(h.operatorName));
    s += line.arg(QStringLiteral("Подпись"), QStringLiteral("______________________"));
    s += line.arg(QStringLiteral("Протокол составлен"), esc(h.made.toString(QStringLiteral("dd.MM.yyyy HH:mm"))));
    s += QStringLiteral("</table><p><small>По журналу калибровки %1</small></p></body></html>").arg(esc(h.logPath));
    return s;
}

QString certificatePdf(const QString& html, const QString& path) {
    // Made whole in memory first: a file that cannot be written is told in
    // the operator's words, and no half document is left at the path.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(QStringLiteral("Протокол калибровки"));
        pdf.setCreator(QStringLiteral("testlork"));
        pdf.setResolution(300);
        layoutDocument(html, pdf)->print(&pdf);
    }
    buffer.close();
    return writeWholeFile(path, buffer.data());
}

void certificatePrint(const QString& html, QPrinter& printer) {
    layoutDocument(html, printer)->print(&printer);
}

QString certificateFileName(const CertificateHead& h) {
    QString name = h.name.isEmpty() ? QStringLiteral("прибор") : h.name;
    name.replace(QRegularExpression(QStringLiteral("[\\s/\\\\:*?\"<>|]+")), QStringLiteral("_"));
    return QStringLiteral("калибровка-%1-адрес%2-%3.pdf").arg(name).arg(h.adr).arg(h.made.toString(QStringLiteral("yyyy-MM-dd")));
}

}  // namespace lork::pages
