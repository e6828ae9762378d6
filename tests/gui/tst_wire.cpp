// The requests on the wire of the first start and of every operator command,
// byte for byte, in order and with the line settings each went out at,
// against a record kept in wire_record.txt. The window is driven only through
// its controls (found by name), so the record holds across reshaping the
// window's code. LORK_WIRE_RECORD=<file> writes a new record instead.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include "gui_fixture.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"

namespace {

struct Step {
    const char* name;
    std::function<void(lork::test::GuiRig&)> run;
};

template <class T>
T* get(lork::test::GuiRig& r, const char* name) {
    T* c = r.find<T>(name);
    if (!c) qFatal("no control %s", name);
    return c;
}
void click(lork::test::GuiRig& r, const char* name) { QTest::mouseClick(get<QWidget>(r, name), Qt::LeftButton); }
void dbl(lork::test::GuiRig& r, const char* name) {
    QTest::mouseDClick(get<QWidget>(r, name), Qt::LeftButton);
}
void press(lork::test::GuiRig& r, const char* name) { get<QAbstractButton>(r, name)->click(); }
void menu(lork::test::GuiRig& r, const char* name) { get<QAction>(r, name)->trigger(); }
void choose(lork::test::GuiRig& r, const char* name, int i) {
    lork::test::GuiRig::choose(get<QComboBox>(r, name), i);
}
void type(lork::test::GuiRig& r, const char* name, const char* text) {
    get<QLineEdit>(r, name)->setText(QString::fromLatin1(text));
}

const Step steps[] = {
    {"Bzapros", [](auto& r) { press(r, "Bzapros"); }},
    {"TrackBar_light", [](auto& r) { get<QSlider>(r, "TrackBar_light")->setValue(1); }},
    {"RGv_ind", [](auto& r) { press(r, "RGv_ind_2"); }},
    {"polling tick",
     [](auto& r) {
         press(r, "RGtyp_opros_0");
         press(r, "ToolButton1");
         QMetaObject::invokeMethod(get<QTimer>(r, "Timer_opros"), "timeout");
         press(r, "ToolButton1");
         press(r, "RGtyp_opros_1");
     }},
    {"GB_CI", [](auto& r) { click(r, "GB_CI"); }},
    {"STkluchK1K2", [](auto& r) { click(r, "STkluchK1K2"); }},
    {"STdinputs", [](auto& r) { click(r, "STdinputs"); }},
    {"LEres", [](auto& r) { dbl(r, "LEres"); }},
    {"LEkol_step", [](auto& r) { dbl(r, "LEkol_step"); }},
    {"LEpor_step", [](auto& r) { dbl(r, "LEpor_step"); }},
    {"LEstep", [](auto& r) { click(r, "LEstep"); }},
    {"LEizmproc", [](auto& r) { dbl(r, "LEizmproc"); }},
    {"LEizmznach", [](auto& r) { dbl(r, "LEizmznach"); }},
    {"LEizm_imp", [](auto& r) { click(r, "LEizm_imp"); }},
    {"LE_proc", [](auto& r) { click(r, "LE_proc"); }},
    {"LE_te", [](auto& r) { click(r, "LE_te"); }},
    {"LE_procw", [](auto& r) { click(r, "LE_procw"); }},
    {"LE_tew", [](auto& r) { click(r, "LE_tew"); }},
    {"L_SumRes", [](auto& r) { click(r, "L_SumRes"); }},
    {"L_Procdopusk", [](auto& r) { click(r, "L_Procdopusk"); }},
    {"Lvind", [](auto& r) { click(r, "Lvind"); }},
    {"Ed_name", [](auto& r) { click(r, "Ed_name"); }},
    {"Ed_version", [](auto& r) { click(r, "Ed_version"); }},
    {"page parameters", [](auto& r) { press(r, "ToolButton9"); }},
    {"B_read_res", [](auto& r) { press(r, "B_read_res"); }},
    {"B_read_kolstep", [](auto& r) { press(r, "B_read_kolstep"); }},
    {"B_read_porstep", [](auto& r) { press(r, "B_read_porstep"); }},
    {"Bread_scor", [](auto& r) { press(r, "Bread_scor"); }},
    {"Bread_parity", [](auto& r) { press(r, "Bread_parity"); }},
    {"Bread_stopbit", [](auto& r) { press(r, "Bread_stopbit"); }},
    {"Bread_sysnum", [](auto& r) { press(r, "Bread_sysnum"); }},
    {"SB_izmres",
     [](auto& r) {
         choose(r, "CBust_res", 3);
         press(r, "SB_izmres");
     }},
    {"SB_izmkolstep",
     [](auto& r) {
         type(r, "Eust_kol_step", "40");
         press(r, "SB_izmkolstep");
     }},
    {"SB_izmporstep",
     [](auto& r) {
         type(r, "Eust_por_step", "30");
         press(r, "SB_izmporstep");
     }},
    {"SBint_write_parity", [](auto& r) { press(r, "SBint_write_parity"); }},
    {"SBint_write_stopbit", [](auto& r) { press(r, "SBint_write_stopbit"); }},
    {"page calibration", [](auto& r) { press(r, "ToolButton11"); }},
    {"B_cal0_old", [](auto& r) { press(r, "B_cal0_old"); }},
    {"B_cal0_new", [](auto& r) { press(r, "B_cal0_new"); }},
    {"SB_save_cal0", [](auto& r) { press(r, "SB_save_cal0"); }},
    {"B_cal100_old", [](auto& r) { press(r, "B_cal100_old"); }},
    {"B_cal100_new", [](auto& r) { press(r, "B_cal100_new"); }},
    {"SB_save_cal100", [](auto& r) { press(r, "SB_save_cal100"); }},
    {"STcal_enable", [](auto& r) { click(r, "STcal_enable"); }},
    {"SBizm_enable", [](auto& r) { press(r, "SBizm_enable"); }},
    {"LEcal_proc", [](auto& r) { dbl(r, "LEcal_proc"); }},
    {"LEcal_te", [](auto& r) { click(r, "LEcal_te"); }},
    {"page time-outs", [](auto& r) { press(r, "ToolButton7"); }},
    {"N_yes_otvet", [](auto& r) { menu(r, "N_yes_otvet"); }},
    {"N_poisk_scor", [](auto& r) { menu(r, "N_poisk_scor"); }},
    {"N_poisk_num", [](auto& r) { menu(r, "N_poisk_num"); }},
    {"SBint_write_sysnum",
     [](auto& r) {
         press(r, "ToolButton9");
         type(r, "Eint_sysnum", "9");
         press(r, "SBint_write_sysnum");
     }},
    {"SBint_write_scor",
     [](auto& r) {
         choose(r, "CBint_scor", 3);
         press(r, "SBint_write_scor");
     }},
    {"N_poisk_pribor", [](auto& r) { menu(r, "N_poisk_pribor"); }},
};

// One line per request: its line settings and bytes in hexadecimal. A long
// sweep is kept as its count and a hash of those lines.
QStringList take(lork::test::FakePort& port) {
    QStringList out;
    for (const auto& w : port.writes) {
        QString line = QStringLiteral("  %1/%2/%3/%4 ")
                           .arg(w.cfg.baud)
                           .arg(w.cfg.bytesize)
                           .arg(w.cfg.parity)
                           .arg(w.cfg.stopbits);
        for (uint8_t b : w.bytes) line += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
        out << line;
    }
    port.writes.clear();
    if (out.size() <= 40) return out;
    uint64_t h = 14695981039346656037ull;  // FNV-1a, 64 bits
    for (const QString& l : out)
        for (char c : l.toLatin1() + '\n') h = (h ^ uint8_t(c)) * 1099511628211ull;
    return {QStringLiteral("  %1 requests, hash %2").arg(out.size()).arg(h, 16, 16, QLatin1Char('0'))};
}

}  // namespace

class TstWire : public QObject {
    Q_OBJECT
private slots:
    void everyCommandSendsTheRecordedRequests();
};

void TstWire::everyCommandSendsTheRecordedRequests() {
    lork::test::GuiRig r({"COM1"});
    lork::sim::InstrumentModel model;
    lork::test::attachToFakePort(r.port, model);
    QStringList got;
    got << QStringLiteral("first start");
    r.w->show();
    QTRY_VERIFY_WITH_TIMEOUT(!r.port.writes.empty(), 5000);
    QTest::qWait(200);
    got << take(r.port);
    for (const Step& s : steps) {
        got << QString::fromLatin1(s.name);
        s.run(r);
        got << take(r.port);
    }
    const QString text = got.join(QLatin1Char('\n')) + QLatin1Char('\n');

    const QString differs = lork::test::compareWithRecord(text, "LORK_WIRE_RECORD", QStringLiteral(LORK_WIRE_RECORD_FILE));
    QVERIFY2(differs.isEmpty(), qPrintable(differs));
}

QTEST_MAIN(TstWire)
#include "tst_wire.moc"
