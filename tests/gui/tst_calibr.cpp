// The calibration page against the in-process instrument simulator.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QApplication>
#include <algorithm>

#include "gui_fixture.h"
#include "records/calibration_log.h"
#include "pages/calibration.h"
#include "pages/certificate.h"
#include "pages/readings.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"
#include "support/temp_dir.h"
#include "ui_page_calibr.h"

using namespace lork;
using lork::test::GuiRig;

namespace {

struct Rig {
    explicit Rig(uint32_t cal0 = 74565, uint32_t cal100 = 260000, uint8_t enable = 1) {
        auto p = model.params();
        p.cal0 = cal0;
        p.cal100 = cal100;
        p.cal_enable = enable;
        model.setParams(p);
        test::attachToFakePort(g.port, model);
        g.w->core().link.Port_setup(g.w->ls().scor_code);  // the port as the first activation leaves it
        g.w->ToolButton11Click();
        g.w->calibration().TabSheet3Show();
    }
    GuiRig g;
    sim::InstrumentModel model;
    const Ui_PageCalibr& pc() { return g.w->calibration().form(); }
    QStringList texts(std::initializer_list<QLineEdit*> edits) {
        QStringList l;
        for (QLineEdit* e : edits) l << e->text();
        return l;
    }
    QStringList ci() { return texts({pc().Ecal_CI4, pc().Ecal_CI3, pc().Ecal_CI2, pc().Ecal_CI1}); }
    int settleWaits() const { return int(std::count(g.clock.sleeps_ms.begin(), g.clock.sleeps_ms.end(), 2000)); }
    uint16_t holding(uint16_t reg) const { return model.holding(reg).value_or(0xDEAD); }
    // Steps 1, 3 and 4 [5, 7, 8] at the reference resistance.
    void calibrate(bool hundred, int ohm) {
        auto& p = pc();
        (hundred ? p.B_cal100_old : p.B_cal0_old)->click();
        model.setResistance(ohm);
        (hundred ? p.B_cal100_new : p.B_cal0_new)->click();
        (hundred ? p.SB_save_cal100 : p.SB_save_cal0)->click();
    }
};

// The certificate's questions answered, and counted.
struct Answers {
    QString name = QStringLiteral("Петров П. П.");
    QString pdf, printed;
    int names = 0, saves = 0, prints = 0;
    CalibrationPage::ReportDialogs dialogs() {
        return {[this] { ++names; return name; },
                [this](const QString&) { ++saves; return pdf; },
                [this](QPrinter& printer) {
                    ++prints;
                    printer.setOutputFormat(QPrinter::PdfFormat);
                    printer.setOutputFileName(printed);
                    return true;
                }};
    }
};

QString pdf_text(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) return QStringLiteral("pdftotext failed: ") + p.errorString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

class TstCalibr : public QObject {
    Q_OBJECT
private slots:
    void pageShown();
    void wholeRun();
    void storedReadFails();
    void silentMeasurement();
    void refusedWrite();
    void permission();
    void measuredFieldsReadTheReadingsPage();
    void writesAreLogged();
    void failedLogAppendIsToldAndWriteStands();
    void certificateSavedAndPrinted();
    void noRecordNoCertificate();
    void implausiblePointAsksFirst();
};

void TstCalibr::pageShown() {
    Rig r(74565, 260000, 1);
    QCOMPARE(r.pc().CBenable_calibr->currentIndex(), 1);  // read on showing
    QCOMPARE(r.g.w->statusPanelText(5), QString(" Здесь можем откалибровать прибор заново "));
    QVERIFY(r.pc().B_cal0_old->isEnabled());
    QVERIFY(r.pc().B_cal100_old->isEnabled());
    for (QWidget* w : {(QWidget*)r.pc().B_cal0_new, (QWidget*)r.pc().SB_save_cal0, (QWidget*)r.pc().B_cal100_new,
                       (QWidget*)r.pc().SB_save_cal100, (QWidget*)r.pc().L_cal0_1, (QWidget*)r.pc().L_cal100_1})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QCOMPARE(r.pc().ST_otvet->text(), QString("..."));
}

void TstCalibr::wholeRun() {
    Rig r;
    auto& pc = r.pc();
    // 0 %: the stored value, then the 2 s the instrument is given.
    pc.B_cal0_old->click();
    QCOMPARE(r.texts({pc.Ecal0L, pc.Ecal0_2b_h, pc.Ecal0_2b_l}), (QStringList{"74565", "0001", "2345"}));
    QVERIFY(pc.L_cal0_1->isEnabled());
    QVERIFY(pc.B_cal0_new->isEnabled());
    QVERIFY(!pc.B_cal100_new->isEnabled());
    QCOMPARE(r.settleWaits(), 1);

    r.model.setResistance(0);
    pc.B_cal0_new->click();
    QCOMPARE(r.texts({pc.Ecal0_new, pc.Ecal0new_2b_h, pc.Ecal0new_2b_l}),
             (QStringList{"70000 импульсов", "0001", "1170"}));
    QVERIFY(pc.SB_save_cal0->isEnabled());
    QCOMPARE(pc.LEcal_proc->text().size(), 8);  // "%8.3f"
    QVERIFY(!pc.LEcal_te->text().isEmpty());
    QVERIFY(!r.ci().join("").isEmpty());

    pc.SB_save_cal0->click();
    QCOMPARE(pc.ST_otvet->text(), QString("0%  OK!"));
    QCOMPARE(r.holding(0x0900), uint16_t(0x0001));
    QCOMPARE(r.holding(0x0901), uint16_t(0x1170));
    QCOMPARE(r.model.params().cal0, 70000u);

    // 100 %, the same way.
    pc.B_cal100_old->click();
    QCOMPARE(r.texts({pc.Ecal100L, pc.Ecal100_2b_h, pc.Ecal100_2b_l}), (QStringList{"260000", "0003", "F7A0"}));
    QCOMPARE(r.settleWaits(), 2);
    r.model.setResistance(1000);
    pc.B_cal100_new->click();
    const uint32_t imp = r.model.measure().imp;
    QCOMPARE(pc.Ecal100_new->text(), QString::number(imp) + " импульсов");
    pc.SB_save_cal100->click();
    QCOMPARE(pc.ST_otvet->text(), QString("100% OK!"));
    QCOMPARE(r.model.params().cal100, imp);
    QCOMPARE(r.holding(0x0902), uint16_t(imp >> 16));
    QCOMPARE(r.holding(0x0903), uint16_t(imp & 0xFFFF));
    // Reading the stored value again shows what was written.
    pc.B_cal0_old->click();
    QCOMPARE(pc.Ecal0L->text(), QString("70000"));
    QVERIFY(r.g.w->infoLines().isEmpty());
    QVERIFY(r.g.messages.isEmpty());
    // The instrument read 105.3 % at 1000 ohm with its old calibration: asked before it was written.
    QCOMPARE(r.g.questions.size(), 1);
    QVERIFY2(r.g.questions[0].startsWith("Измерено 105"), qPrintable(r.g.questions[0]));

    // Shown again: values cleared, steps 3, 4, 7, 8 closed, the outcome kept.
    r.g.w->calibration().TabSheet3Show();
    for (QLineEdit* e : pc.ST_otvet->parentWidget()->findChildren<QLineEdit*>()) QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
    for (QWidget* w : {(QWidget*)pc.B_cal0_new, (QWidget*)pc.SB_save_cal0, (QWidget*)pc.B_cal100_new,
                       (QWidget*)pc.SB_save_cal100})
        QVERIFY(!w->isEnabled());
    QCOMPARE(pc.ST_otvet->text(), QString("100% OK!"));
}

void TstCalibr::storedReadFails() {
    Rig r;
    r.model.setFault(sim::Fault::Silent);
    const size_t sleeps = r.g.clock.sleeps_ms.size();
    r.pc().B_cal100_old->click();
    QVERIFY(r.g.w->infoLines().back().contains("не дождались ответа"));
    QVERIFY(!r.pc().L_cal100_1->isEnabled());
    QVERIFY(!r.pc().B_cal100_new->isEnabled());
    QCOMPARE(r.settleWaits(), 0);
    QVERIFY(r.g.clock.sleeps_ms.size() > sleeps);  // the link's own pauses only
    QVERIFY(r.pc().Ecal100L->text().isEmpty());
}

void TstCalibr::silentMeasurement() {
    Rig r;
    r.pc().B_cal0_old->click();
    r.pc().Ecal_CI4->setText("ab");
    r.model.setFault(sim::Fault::Silent);
    r.pc().B_cal0_new->click();
    // The pulse read goes to the list, the indicator read to a message box.
    QCOMPARE(r.g.w->infoLines().size(), 1);
    QVERIFY(r.g.w->infoLines().front().contains("не дождались ответа"));
    QCOMPARE(r.g.messages.size(), 1);
    QVERIFY(r.g.messages.front().contains("не дождались ответа"));
    QVERIFY(!r.pc().SB_save_cal0->isEnabled());
    QVERIFY(r.pc().Ecal0_new->text().isEmpty());
    QCOMPARE(r.pc().Ecal_CI4->text(), QString("ab"));
}

void TstCalibr::refusedWrite() {
    // Calibration from the PC forbidden: the write is still sent, the
    // instrument refuses it, and the refusal comes in a message box.
    Rig r(74565, 260000, 0);
    r.pc().B_cal0_old->click();
    r.model.setResistance(0);
    r.pc().B_cal0_new->click();
    const size_t before = r.g.port.writes.size();
    r.pc().SB_save_cal0->click();
    QCOMPARE(r.g.port.writes.size(), before + 3);  // permission, write, indicator
    QCOMPARE(int(r.g.port.writes[before + 1].bytes[1]), 0x10);
    QCOMPARE(r.g.messages.size(), 1);
    QVERIFY(r.g.messages.front().startsWith(" \"специфическая ошибка\""));
    QCOMPARE(r.pc().ST_otvet->text(), QString("..."));
    QCOMPARE(r.model.params().cal0, 74565u);
    QVERIFY(r.g.w->infoLines().isEmpty());
}

void TstCalibr::permission() {
    Rig r(0, 0, 0);
    QCOMPARE(r.pc().CBenable_calibr->currentIndex(), 0);
    test::GuiRig::choose(r.pc().CBenable_calibr, 1);
    r.pc().SBizm_enable->click();
    QCOMPARE(int(r.model.params().cal_enable), 1);
    const auto& f = r.g.port.writes.back().bytes;
    QCOMPARE((std::vector<uint8_t>(f.begin(), f.begin() + 9)),
             (std::vector<uint8_t>{5, 0x10, 0x0A, 0x04, 0, 1, 2, 0, 1}));
    // A click on the caption reads the permission back.
    r.pc().CBenable_calibr->setCurrentIndex(0);
    QTest::mouseClick(r.pc().STcal_enable, Qt::LeftButton);
    QCOMPARE(r.pc().CBenable_calibr->currentIndex(), 1);
    // A value that is neither 0 nor 1 selects nothing.
    auto p = r.model.params();
    p.cal_enable = 7;
    r.model.setParams(p);
    QTest::mouseClick(r.pc().STcal_enable, Qt::LeftButton);
    QCOMPARE(r.pc().CBenable_calibr->currentIndex(), -1);
    QVERIFY(r.g.w->infoLines().isEmpty());
}

void TstCalibr::measuredFieldsReadTheReadingsPage() {
    Rig r;
    r.model.setResistance(500);
    auto* izmproc = r.g.find<QLineEdit>("LEizmproc");
    QVERIFY(izmproc);
    izmproc->clear();
    r.pc().LEcal_proc->setText("keep");
    size_t before = r.g.port.writes.size();
    QTest::mouseClick(r.pc().LEcal_proc, Qt::LeftButton);
    QCOMPARE(r.g.port.writes.size(), before + 1);
    const auto& f = r.g.port.writes.back().bytes;
    QCOMPARE((std::vector<uint8_t>(f.begin(), f.begin() + 6)), (std::vector<uint8_t>{5, 4, 0, 0x11, 0, 2}));
    QVERIFY(!izmproc->text().trimmed().isEmpty());
    QCOMPARE(r.pc().LEcal_proc->text(), QString("keep"));
    // A double-click ends with the three reads of the pair (a first click
    // before it, as the platform delivers one, reads 0x0011 once more).
    before = r.g.port.writes.size();
    QTest::mouseDClick(r.pc().LEcal_te, Qt::LeftButton);
    std::vector<int> regs;
    for (size_t i = before; i < r.g.port.writes.size(); ++i)
        regs.push_back(r.g.port.writes[i].bytes[2] << 8 | r.g.port.writes[i].bytes[3]);
    QVERIFY(regs.size() == 3 || regs.size() == 4);
    QCOMPARE(std::vector<int>(regs.end() - 3, regs.end()), (std::vector<int>{0x11, 0x17, 0x1B}));
    QVERIFY(r.g.w->infoLines().isEmpty());
}

void TstCalibr::writesAreLogged() {
    test::TempDir data;
    test::ScopedEnv xdg("XDG_DATA_HOME", data.path());
    Rig r;
    r.g.w->readings().Ed_nameClick();
    r.g.w->readings().Ed_versionClick();
    r.calibrate(false, 0);
    const QStringList shown = r.texts({r.pc().LEcal_proc, r.pc().LEcal_te});
    r.pc().SB_save_cal0->click();  // pressed again: the value before is the first press's
    r.calibrate(true, 1000);
    const auto log = calib::readAll(data / "testlork/calibration.csv");
    QCOMPARE(log.size(), size_t(3));
    const calib::Record& z = log[0];
    QVERIFY2(QRegularExpression("^2026-03-09T07:05:04[+-]\\d\\d:\\d\\d$").match(QString::fromStdString(z.when)).hasMatch(),
             z.when.c_str());
    QCOMPARE(z.port, r.g.w->ls().port_name);
    QCOMPARE(z.adr, unsigned(r.g.w->ls().adr));
    QCOMPARE(QString::fromStdString(z.name + "|" + z.version), QString("ЛОРК-1|вер. 1.07"));
    QCOMPARE(z.point, 0);
    QCOMPARE(z.before, 74565u);
    QCOMPARE(z.written, 70000u);
    QCOMPARE(QString::number(double(z.izm_proc), 'f', 3), shown[0].trimmed());
    QCOMPARE(QString::number(double(z.izm_znach), 'f', 3), shown[1].trimmed());
    QCOMPARE(log[1].before, 70000u);
    QCOMPARE(log[2].point, 100);
    QCOMPARE(log[2].before, 260000u);
    QCOMPARE(log[2].written, r.model.params().cal100);
    QVERIFY(r.g.w->infoLines().isEmpty());
}

void TstCalibr::failedLogAppendIsToldAndWriteStands() {
    test::TempDir data;
    test::write_bytes(data / "testlork", "a file where the folder should be");
    test::ScopedEnv xdg("XDG_DATA_HOME", data.path());
    Rig r;
    r.calibrate(false, 0);
    QCOMPARE(r.pc().ST_otvet->text(), QString("0%  OK!"));
    QCOMPARE(r.model.params().cal0, 70000u);
    QCOMPARE(r.g.w->infoLines().size(), 1);
    QVERIFY(r.g.w->infoLines().front().startsWith("журнал калибровки: запись не добавлена в " +
                                                  QString::fromStdString(data / "testlork/calibration.csv")));
    QVERIFY(r.g.messages.isEmpty());
}

void TstCalibr::certificateSavedAndPrinted() {
    test::TempDir data;
    test::ScopedEnv xdg("XDG_DATA_HOME", data.path());
    Rig r;
    r.g.w->usePlaceFile(QString::fromStdString(data / "testlork-window.ini"));
    r.g.w->readings().Ed_nameClick();
    r.g.w->readings().Ed_versionClick();
    r.calibrate(false, 0);
    r.calibrate(true, 1000);
    const uint32_t cal100 = r.model.params().cal100;
    Answers a;
    a.printed = QString::fromStdString(data / "printed.pdf");
    r.g.w->calibration().setReportDialogs(a.dialogs());
    a.pdf = QString::fromStdString(data.path());  // a folder: the failure is told, never passed over
    r.pc().Button_otchet->click();
    QCOMPARE(r.g.messages.size(), 1);
    QVERIFY(r.g.messages.takeFirst().startsWith("протокол калибровки не записан: " + a.pdf));
    a.pdf = QString::fromStdString(data / "cert.pdf");
    r.pc().Button_otchet->click();
    r.pc().Button_pechat->click();
    QCOMPARE(a.names, 1);  // asked once, then remembered
    QCOMPARE(QSettings(QString::fromStdString(data / "testlork-window.ini"), QSettings::IniFormat)
                 .value("certificate/operator")
                 .toString(),
             a.name);
    QVERIFY(r.g.messages.isEmpty());
    if (qEnvironmentVariableIsSet("LORK_CERTIFICATE_COPY")) QFile::copy(a.pdf, qEnvironmentVariable("LORK_CERTIFICATE_COPY"));
    for (const QString& file : {a.pdf, a.printed}) {
        const QString text = pdf_text(file);
        for (const QString& want : {QString("Протокол калибровки"), QString("ЛОРК-1"), QString("вер. 1.07"),
                                    a.name, QString("74565"), QString("0001 2345"), QString("70000"), QString("0001 1170"),
                                    QString("260000"), QString("0003 F7A0"), QString::number(cal100), QString("09.03.2026"), QString("07:05:04"),
                                    QString::fromStdString(r.g.w->ls().port_name)})
            QVERIFY2(text.contains(want), qPrintable(file + ": no " + want + " in\n" + text));
    }
}

void TstCalibr::noRecordNoCertificate() {
    test::TempDir data;
    test::ScopedEnv xdg("XDG_DATA_HOME", data.path());
    Rig r;
    Answers a;
    a.pdf = QString::fromStdString(data / "cert.pdf");
    r.g.w->calibration().setReportDialogs(a.dialogs());
    r.pc().Button_otchet->click();
    QCOMPARE(r.g.messages.size(), 1);
    QVERIFY(r.g.messages.front().startsWith("В журнале калибровки нет записей для этого прибора"));
    QCOMPARE(a.names + a.saves + a.prints, 0);
    QVERIFY(!QFile::exists(a.pdf));
}

namespace {
// Answers the next modal box by the button of that text; its question, or why there was none.
struct BoxAnswer {
    QString question, defaultButton;
    explicit BoxAnswer(const QString& button) {
        QTimer::singleShot(0, [this, button] { answer(button, 200); });
    }
    void answer(const QString& button, int tries) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (tries > 0) QTimer::singleShot(10, [this, button, tries] { answer(button, tries - 1); });
            return;
        }
        question = box->text();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == button) b->click();
    }
};
}  // namespace

void TstCalibr::implausiblePointAsksFirst() {
    // The 100 % point measured with the 0 ohm reference still connected.
    test::TempDir data;
    test::ScopedEnv xdg("XDG_DATA_HOME", data.path());
    Rig r(70000, 270000, 1);
    r.g.w->calibration().setWriteAnyway({});  // the real box
    r.calibrate(false, 0);
    const std::string log = data / "testlork/calibration.csv";
    const std::string logged = test::read_bytes(log);
    r.pc().B_cal100_old->click();
    r.pc().B_cal100_new->click();
    const size_t before = r.g.port.writes.size();
    {
        BoxAnswer no(QStringLiteral("нет"));
        r.pc().SB_save_cal100->click();
        QCOMPARE(no.question, QString("Точка 100 % (70000 имп.) не больше точки 0 % (70000 имп.). Измерено %1 %: "
                                      "дальше 5 % от точки 100 %. Записать всё равно?")
                                  .arg(QString("0.0").replace('.', QLocale::system().decimalPoint())));
        QCOMPARE(no.defaultButton, QString("нет"));
    }
    QCOMPARE(r.g.port.writes.size(), before);  // not even the permission read
    QCOMPARE(r.model.params().cal100, 270000u);
    QCOMPARE(r.pc().ST_otvet->text(), QString("0%  OK!"));
    QCOMPARE(test::read_bytes(log), logged);

    // Written all the same: marked in the log and on the certificate.
    {
        BoxAnswer yes(QStringLiteral("да"));
        r.pc().SB_save_cal100->click();
        QVERIFY(!yes.question.isEmpty());
    }
    QCOMPARE(r.model.params().cal100, 70000u);
    const auto records = calib::readAll(log);
    QCOMPARE(records.size(), size_t(2));
    QVERIFY(records[0].doubt.empty());
    QVERIFY(QString::fromStdString(records[1].doubt).startsWith("Точка 100 % (70000 имп.) не больше"));
    const QString html = pages::certificateHtml(calib::lastCalibration(records, records[1].port, records[1].adr,
                                                                         records[1].name, records[1].version),
                                                 {});
    QVERIFY(html.contains("* Точка 100 % записана, хотя не прошла проверку:"));
    QVERIFY(!html.contains("* Точка 0 %"));
}

QTEST_MAIN(TstCalibr)
#include "tst_calibr.moc"
