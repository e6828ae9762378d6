// The readings page driven through the real window against the in-process
// instrument simulator on a FakePort, in virtual time. Some replies are
// replaced by exact byte patterns to pin the decoding of what is shown.
#include <QButtonGroup>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "app/tfglav.h"
#include "gui_fixture.h"
#include "pages/readings.h"
#include "protocol/framing.h"
#include "sim/instrument_model.h"
#include "support/fake_port.h"
#include "support/sim_attach.h"

using lork::test::FakePort;
using lork::test::VirtualClock;

namespace {

constexpr uint8_t kHolding = 3;
constexpr uint8_t kInput = 4;

using Bytes = std::vector<uint8_t>;

const QString kZapros = QStringLiteral(" Для обновления информации нажмите кнопку \"запрос\" ");
const QString kPusk = QStringLiteral(" Для запуска периодического опроса нажмите кнопку ПУСК");

struct Req {
    uint8_t func;
    uint16_t start;
    uint16_t kol;
    bool operator==(const Req&) const = default;
};

char* toString(const Req& r) {
    return QTest::toString(QStringLiteral("fn%1 %2 x%3").arg(r.func).arg(r.start, 4, 16, QLatin1Char('0')).arg(r.kol));
}

// The shell's window rig with the simulator on the far end of its FakePort;
// replies to chosen requests (by function and first register) are overridden.
struct Rig : lork::test::GuiRig {
    lork::sim::InstrumentModel model;
    std::function<void(FakePort&, const Bytes&)> sim;
    std::map<std::pair<uint8_t, uint16_t>, Bytes> body;  // reply after the address byte, CRC added
    bool silent = false;
    std::vector<Bytes> requests;

    Rig() : GuiRig({"COM1"}) {
        lork::test::attachToFakePort(port, model);
        sim = port.onWrite;
        port.onWrite = [this](FakePort& p, const Bytes& req) {
            requests.push_back(req);
            if (silent) return;
            auto it = body.find({req[1], uint16_t(req[2] << 8 | req[3])});
            if (it == body.end() || req[1] == 16) {
                sim(p, req);
                return;
            }
            Bytes rep{req[0]};
            rep.insert(rep.end(), it->second.begin(), it->second.end());
            uint16_t crc = lork::CRC16(rep.data(), uint16_t(rep.size()));
            rep.push_back(uint8_t(crc & 0xFF));
            rep.push_back(uint8_t(crc >> 8));
            p.arrive(p.clock().now_us + 2000, rep);
        };
        w->core().link.Port_setup(w->ls().scor_code);
        requests.clear();
    }

    // A read reply's body: function, byte count, data.
    void data(uint8_t func, uint16_t start, const Bytes& d) {
        Bytes b{func, uint8_t(d.size())};
        b.insert(b.end(), d.begin(), d.end());
        body[{func, start}] = b;
    }
    void exception(uint8_t func, uint16_t start, uint8_t code) { body[{func, start}] = {uint8_t(0x80 | func), code}; }

    template <class T>
    T* get(const char* name) const {
        T* c = find<T>(name);
        if (!c) qFatal("no control %s", name);
        return c;
    }
    QString text(const char* name) const { return get<QLineEdit>(name)->text(); }
    QString label(const char* name) const { return get<QLabel>(name)->text(); }
    bool shown(const char* name) const { return !get<QWidget>(name)->isHidden(); }
    QColor colour(const char* name) const { return get<QLineEdit>(name)->palette().color(QPalette::Text); }
    QButtonGroup* group(const char* name) const { return get<QButtonGroup>(name); }
    QStringList lines() const { return w->infoLines(); }
    QToolButton* pusk() const { return w->toolButton(1); }
    QTimer* timer() const { return w->pollTimer(); }

    std::vector<Req> sent() const {
        std::vector<Req> out;
        for (const Bytes& r : requests)
            out.push_back({r[1], uint16_t(r[2] << 8 | r[3]), uint16_t(r[4] << 8 | r[5])});
        return out;
    }
    // Values written with function 16, by register.
    std::vector<std::pair<uint16_t, uint16_t>> writes() const {
        std::vector<std::pair<uint16_t, uint16_t>> out;
        for (const Bytes& r : requests)
            if (r[1] == 16) out.push_back({uint16_t(r[2] << 8 | r[3]), uint16_t(r[7] << 8 | r[8])});
        return out;
    }
};

// The instrument state used by the full query: coils 0, 5, 7 (0xA1), switch
// PR on (inputs 0x0E), indicator "1.23 4 56" with flag 0, between steps at
// 25.5 TE with R = 10, no pulses.
void pattern(Rig& r) {
    lork::sim::SimParams p;
    p.res = 10;
    p.kol_step = 100;
    p.por_step = 50;
    p.light = 2;
    p.v_ind = 2;
    r.model.setParams(p);
    r.data(1, 0x0000, {0xA1});
    r.data(2, 0x0000, {0x0E});
    r.data(4, 0x0214, {0x31, 0x2E, '2', '3', '4', ' ', '5', '6', 0x00, 0x00});
    r.data(4, 0x0010, {0x00, 0x00,                       // step 0
                       0x00, 0x00, 0xCC, 0x41,           // izm_proc 25.5, bytes low to high
                       0x00, 0x00, 0x44, 0x41,           // izm_znach 12.25
                       0x00, 0x00, 0x00, 0x00,           // izm_imp 0
                       0x3F, 0x80, 0x00, 0x00,           // proc 1.0
                       0x40, 0x00, 0x00, 0x00,           // te 2.0
                       0x00, 0xFF, 0x00, 0xFF});         // procw, tew 25.5
}

QString num(const char* s) {
    QString t = QString::fromLatin1(s);
    return t.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

}  // namespace

class TstReadings : public QObject {
    Q_OBJECT
private slots:
    void fullQueryFillsThePage();
    void brightnessWrittenBackOnlyWhenPositionMoves_data();
    void brightnessWrittenBackOnlyWhenPositionMoves();
    void indicatorColourFollowsFlag_data();
    void indicatorColourFollowsFlag();
    void keysLedsAndSwitchesFollowTheirBits_data();
    void keysLedsAndSwitchesFollowTheirBits();
    void viewOutsideItsRangeChoosesNothingAndWritesNothing();
    void silentInstrumentAddsSixLinesAndChangesNothing();
    void failedParameterBlockKeepsItsFields();
    void malformedParameterBlockDecodesNothing();
    void stepTextWithoutResistance();
    void pollingStates();
    void periodChangeRestartsRunningTimer();
    void tickWithSilentPresenceReadFallsBackToOnRequest();
    void tickWithoutRecordedRateStopsTimer_data();
    void tickWithoutRecordedRateStopsTimer();
    void exchangeWindowsPaintedAtOnce_data();
    void exchangeWindowsPaintedAtOnce();
    void singleValueReads();
    void combinedDoubleClicksReadThreeValues();
    void mouseClicksReachTheirHandlers();
    void nameAndVersion();
    void namesStandUnderTheirPictures_data();
    void namesStandUnderTheirPictures();
};

void TstReadings::fullQueryFillsThePage() {
    Rig r;
    pattern(r);
    QCOMPARE(r.colour("E_CI4"), QColor(128, 0, 0));
    QCOMPARE(r.group("RGv_ind_group")->checkedId(), -1);
    r.w->readings().BzaprosClick();

    const std::vector<Req> want{{2, 0x0000, 4}, {4, 0x0214, 5}, {3, 0x0A05, 1}, {1, 0x0000, 8},
                                {3, 0x0A00, 8}, {16, 0x0A05, 1}, {4, 0x0010, 13}};
    QCOMPARE(r.sent(), want);
    // The first query writes the view back; brightness 2 needs no write.
    QCOMPARE(r.writes(), (std::vector<std::pair<uint16_t, uint16_t>>{{0x0A05, 2}}));
    QVERIFY2(r.lines().isEmpty(), qPrintable(r.lines().join(QLatin1Char('|'))));

    QCOMPARE(r.text("E_CI4"), QStringLiteral("1."));
    QCOMPARE(r.text("E_CI3"), QStringLiteral("23"));
    QCOMPARE(r.text("E_CI2"), QStringLiteral("4 "));
    QCOMPARE(r.text("E_CI1"), QStringLiteral("56"));
    for (const char* e : {"E_CI4", "E_CI3", "E_CI2", "E_CI1"}) QCOMPARE(r.colour(e), QColor(0, 128, 0));
    QCOMPARE(r.label("ST_v_ind"), QStringLiteral(" Ом"));

    QCOMPARE(r.label("LkluchK1"), QStringLiteral("K1 включен"));
    QCOMPARE(r.label("LkluchK2"), QStringLiteral("K2 выключен"));
    const std::map<const char*, bool> images{
        {"Image_K1_on", true},       {"Image_K1_off", false},     {"Image_K2_on", false},
        {"Image_K2_off", true},      {"Image_svd_P_off", false},  {"Image_svd_P_on", false},
        {"Image_svd_P_mig", true},   {"Image_svd_K1_off", true},  {"Image_svd_K1_on", false},
        {"Image_svd_K2_off", true},  {"Image_svd_K2_on", false},  {"Image_svd_I_off", true},
        {"Image_svd_I_on", false},   {"Image_svd_I_mig", false},  {"Image_swPR_on", true},
        {"Image_swPR", false},       {"Image_swST_on", false},    {"Image_swST", true},
        {"Image_swBL_on", false},    {"Image_swBL", true},        {"Image_swZ_on", false},
        {"Image_swZ", true},         {"Image_swRS485", true}};
    for (const auto& [name, on] : images) QVERIFY2(r.shown(name) == on, name);

    QCOMPARE(r.text("LEres"), QStringLiteral("10"));
    QCOMPARE(r.text("LEkol_step"), QStringLiteral("100"));
    QCOMPARE(r.text("LEpor_step"), QStringLiteral("50"));
    QCOMPARE(r.get<QSlider>("TrackBar_light")->value(), 0);
    QCOMPARE(r.group("RGv_ind_group")->checkedId(), 1);
    QCOMPARE(r.text("LEizmproc"), num("  25.500"));
    QCOMPARE(r.text("LEizmznach"), num("  12.250"));
    QCOMPARE(r.text("LEizm_imp"), QStringLiteral("0     (00000000 hex)"));
    QCOMPARE(r.text("LEstep"), QStringLiteral("3-4"));
    QVERIFY(!r.get<QWidget>("ListBox1")->isHidden());

    // A second query finds the view already chosen: nothing more is written.
    r.requests.clear();
    r.w->readings().Opros_all();
    QVERIFY(r.writes().empty());
    QCOMPARE(r.sent().size(), size_t(6));

    // The same values read by the step field's own click give the other range.
    r.data(4, 0x0010, {0x00, 0x00});
    r.w->readings().LEstepClick();
    QCOMPARE(r.text("LEstep"), QStringLiteral("2-3"));
    QVERIFY(r.lines().isEmpty());
    r.data(4, 0x0010, {0x00, 0x07});
    r.w->readings().LEstepClick();
    QCOMPARE(r.text("LEstep"), QStringLiteral(" 7"));
}

void TstReadings::brightnessWrittenBackOnlyWhenPositionMoves_data() {
    QTest::addColumn<int>("light");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("written");  // -1: no brightness write
    QTest::newRow("0 at the bottom") << 0 << 2 << 0;
    QTest::newRow("1 in the middle") << 1 << 1 << 1;
    QTest::newRow("2 at the top, where it starts") << 2 << 0 << -1;
    QTest::newRow("above 2 stays at the top") << 5 << 0 << -1;
}

void TstReadings::brightnessWrittenBackOnlyWhenPositionMoves() {
    QFETCH(int, light);
    QFETCH(int, position);
    QFETCH(int, written);
    Rig r;
    r.data(3, 0x0A00, {0, 10, 0, 100, 0, 50, 0, uint8_t(light), 0, 0, 0, 1, 0, 0, 0, 10});
    r.w->readings().Opros_all();
    QCOMPARE(r.get<QSlider>("TrackBar_light")->value(), position);
    std::vector<uint16_t> lights;
    for (auto [reg, v] : r.writes())
        if (reg == 0x0A03) lights.push_back(v);
    if (written < 0)
        QVERIFY(lights.empty());
    else
        QCOMPARE(lights, std::vector<uint16_t>{uint16_t(written)});

    // The operator's move writes 2 - position.
    r.requests.clear();
    r.get<QSlider>("TrackBar_light")->setValue(position == 2 ? 1 : 2);
    QCOMPARE(r.writes().size(), size_t(1));
    QCOMPARE(r.writes()[0].second, uint16_t(2 - r.get<QSlider>("TrackBar_light")->value()));
}

void TstReadings::indicatorColourFollowsFlag_data() {
    QTest::addColumn<int>("flag");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("0 green") << 0 << QColor(0, 128, 0);
    QTest::newRow("1 red") << 1 << QColor(255, 0, 0);
    QTest::newRow("0x80 red") << 0x80 << QColor(255, 0, 0);
}

void TstReadings::indicatorColourFollowsFlag() {
    QFETCH(int, flag);
    QFETCH(QColor, colour);
    Rig r;
    // Control bytes have no glyph: they show as a visible placeholder, one per byte.
    r.data(4, 0x0214, {'8', '8', 0x00, 0x07, 0xC0, 0xDF, '-', '-', 0xFF, uint8_t(flag)});
    r.w->readings().GB_CIClick();
    for (const char* e : {"E_CI4", "E_CI3", "E_CI2", "E_CI1"}) QCOMPARE(r.colour(e), colour);
    QCOMPARE(r.text("E_CI3"), QStringLiteral("··"));
    QCOMPARE(r.text("E_CI2"), QStringLiteral("АЯ"));
    QCOMPARE(r.sent(), (std::vector<Req>{{4, 0x0214, 5}, {3, 0x0A05, 1}}));
}

void TstReadings::keysLedsAndSwitchesFollowTheirBits_data() {
    QTest::addColumn<int>("coils");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<QStringList>("shown");  // of the pictures that change, those visible
    QTest::newRow("I blinking, K1 and K2 lit; BL on")
        << 0x5C << 0x0B
        << QStringList{"Image_K1_off", "Image_K2_off", "Image_svd_P_off", "Image_svd_K1_on", "Image_svd_K2_on",
                       "Image_svd_I_mig", "Image_swPR", "Image_swST", "Image_swBL_on", "Image_swZ"};
    QTest::newRow("blinking flag without its LED; Z on")
        << 0xC0 << 0x07
        << QStringList{"Image_K1_off", "Image_K2_off", "Image_svd_P_off", "Image_svd_K1_off", "Image_svd_K2_off",
                       "Image_svd_I_off", "Image_swPR", "Image_swST", "Image_swBL", "Image_swZ_on"};
    QTest::newRow("key K2, P and I steady; ST on")
        << 0x26 << 0x0D
        << QStringList{"Image_K1_off", "Image_K2_on", "Image_svd_P_on", "Image_svd_K1_off", "Image_svd_K2_off",
                       "Image_svd_I_on", "Image_swPR", "Image_swST_on", "Image_swBL", "Image_swZ"};
}

void TstReadings::keysLedsAndSwitchesFollowTheirBits() {
    QFETCH(int, coils);
    QFETCH(int, inputs);
    QFETCH(QStringList, shown);
    Rig r;
    r.data(1, 0x0000, {uint8_t(coils)});
    r.data(2, 0x0000, {uint8_t(inputs)});
    r.w->readings().STkluchK1K2Click();
    r.w->readings().STdinputsClick();
    const char* pictures[] = {"Image_K1_off", "Image_K1_on", "Image_K2_off", "Image_K2_on", "Image_svd_P_off",
                              "Image_svd_P_on", "Image_svd_P_mig", "Image_svd_K1_off", "Image_svd_K1_on",
                              "Image_svd_K2_off", "Image_svd_K2_on", "Image_svd_I_off", "Image_svd_I_on",
                              "Image_svd_I_mig", "Image_swPR", "Image_swPR_on", "Image_swST", "Image_swST_on",
                              "Image_swBL", "Image_swBL_on", "Image_swZ", "Image_swZ_on"};
    for (const char* p : pictures) QVERIFY2(r.shown(p) == shown.contains(QLatin1String(p)), p);
    QCOMPARE(r.label("LkluchK2"), coils & 2 ? QStringLiteral("K2 включен") : QStringLiteral("K2 выключен"));
}

void TstReadings::viewOutsideItsRangeChoosesNothingAndWritesNothing() {
    Rig r;
    r.w->readings().Opros_all();  // view 1 from the simulator: item 0 chosen and written back
    QCOMPARE(r.group("RGv_ind_group")->checkedId(), 0);
    QCOMPARE(r.label("ST_v_ind"), QStringLiteral(" %"));
    for (int v : {0, 4, 255}) {
        r.requests.clear();
        r.data(3, 0x0A05, {0x00, uint8_t(v)});
        r.data(3, 0x0A00, {0, 10, 0, 100, 0, 50, 0, 2, 0, 0, 0, uint8_t(v), 0, 0, 0, 10});
        r.w->readings().Opros_all();
        QCOMPARE(r.label("ST_v_ind"), QStringLiteral("вид %1?").arg(v));
        QCOMPARE(r.group("RGv_ind_group")->checkedId(), -1);
        QVERIFY(r.writes().empty());
    }
    // Back in range the item is chosen again, which writes it.
    r.requests.clear();
    r.body.erase({3, 0x0A05});
    r.body.erase({3, 0x0A00});
    r.w->readings().Opros_all();
    QCOMPARE(r.group("RGv_ind_group")->checkedId(), 0);
    QCOMPARE(r.writes(), (std::vector<std::pair<uint16_t, uint16_t>>{{0x0A05, 1}}));
}

void TstReadings::silentInstrumentAddsSixLinesAndChangesNothing() {
    Rig r;
    r.silent = true;
    r.w->readings().BzaprosClick();
    QCOMPARE(r.sent().size(), size_t(6));
    const QStringList lines = r.lines();
    QCOMPARE(lines.size(), 6);
    for (const QString& l : lines) QCOMPARE(l, QString::fromStdString(lork::kod_texts[11]));
    QCOMPARE(r.text("E_CI4"), QString());
    QCOMPARE(r.colour("E_CI1"), QColor(128, 0, 0));
    QCOMPARE(r.label("ST_v_ind"), QStringLiteral("ST_v_ind"));
    QCOMPARE(r.label("LkluchK1"), QStringLiteral("K1"));
    for (const char* f : {"LEres", "LEkol_step", "LEpor_step", "LEstep", "LEizmproc", "LEizmznach", "LEizm_imp"})
        QCOMPARE(r.text(f), QString());
    for (const char* off : {"Image_svd_P_off", "Image_K1_off", "Image_swPR"}) QVERIFY(r.shown(off));
    QCOMPARE(r.group("RGv_ind_group")->checkedId(), -1);
    QCOMPARE(r.get<QSlider>("TrackBar_light")->value(), 0);
}

void TstReadings::failedParameterBlockKeepsItsFields() {
    Rig r;
    pattern(r);
    r.w->readings().Opros_all();
    QCOMPARE(r.text("LEres"), QStringLiteral("10"));
    lork::sim::SimParams p = r.model.params();
    p.res = 20;
    p.light = 0;
    p.v_ind = 3;
    r.model.setParams(p);
    r.exception(3, 0x0A00, 2);
    r.requests.clear();
    r.w->readings().Opros_all();
    QCOMPARE(r.lines().size(), 1);
    QVERIFY(r.lines()[0].startsWith(QString::fromStdString(lork::kod_texts[2])));
    QVERIFY(r.writes().empty());
    QCOMPARE(r.text("LEres"), QStringLiteral("10"));
    QCOMPARE(r.text("LEkol_step"), QStringLiteral("100"));
    QCOMPARE(r.get<QSlider>("TrackBar_light")->value(), 0);
    QCOMPARE(r.group("RGv_ind_group")->checkedId(), 1);
    QCOMPARE(r.label("ST_v_ind"), QStringLiteral("ступень"));  // the view's own read still works
}

// A parameter block whose byte count is not the request's, its CRC good:
// its line with the bytes in the information window, no value from it.
void TstReadings::malformedParameterBlockDecodesNothing() {
    Rig r;
    pattern(r);
    r.w->readings().Opros_all();
    QCOMPARE(r.text("LEres"), QStringLiteral("10"));
    Bytes block{3, 250};
    for (int i = 0; i < 8; ++i) block.insert(block.end(), {0x00, 0x33});
    r.body[{3, 0x0A00}] = block;
    r.w->readings().Opros_all();
    QCOMPARE(r.lines().size(), 1);
    QVERIFY2(r.lines()[0].startsWith(QString::fromStdString(lork::kod_texts[8]) + " принято: 05 03 FA 00 33 "),
             qPrintable(r.lines()[0]));
    QCOMPARE(r.text("LEres"), QStringLiteral("10"));
    QCOMPARE(r.text("LEkol_step"), QStringLiteral("100"));
    QCOMPARE(r.text("LEpor_step"), QStringLiteral("50"));
}

void TstReadings::stepTextWithoutResistance() {
    Rig r;
    pattern(r);
    lork::sim::SimParams p = r.model.params();
    p.res = 0;
    r.model.setParams(p);
    r.w->readings().Opros_all();
    QCOMPARE(r.text("LEres"), QStringLiteral("0"));
    QCOMPARE(r.text("LEstep"), QStringLiteral("R=0"));
    r.w->readings().LEstepClick();
    QCOMPARE(r.text("LEstep"), QStringLiteral("R=0"));
}

void TstReadings::pollingStates() {
    Rig r;
    r.w->st().found_scor[5] = 2;
    QTimer* t = r.timer();
    auto state = [&](int periodic, int active, bool timer, bool pressed) {
        QCOMPARE(int(r.w->readings().periodic_opros()), periodic);
        QCOMPARE(int(r.w->readings().opros_active()), active);
        QCOMPARE(t->isActive(), timer);
        QCOMPARE(r.pusk()->isChecked(), pressed);
        QCOMPARE(r.pusk()->text(), pressed ? QStringLiteral("стоп") : QStringLiteral("пуск"));
        QCOMPARE(r.shown("Bzapros"), periodic == 0);
    };
    auto rg = r.group("RGtyp_opros_group");
    QCOMPARE(rg->checkedId(), 1);
    state(0, 0, false, false);  // S0

    r.w->setStatusMessage(QStringLiteral("x"));
    r.pusk()->click();  // on request the button will not stay down
    state(0, 0, false, false);
    QCOMPARE(r.w->statusPanelText(5), QStringLiteral("x"));

    r.get<QAbstractButton>("RGtyp_opros_0")->click();  // S1
    state(1, 0, false, false);
    QCOMPARE(r.w->statusPanelText(5), kPusk);

    r.pusk()->click();  // S2, first tick after one second
    state(1, 1, true, true);
    QCOMPARE(t->interval(), 1000);

    r.w->readings().Timer_oprosTimer();
    QCOMPARE(r.sent().size(), size_t(1 + 6 + 1));  // presence read, query, first view write-back
    QCOMPARE(r.sent()[0], (Req{3, 0x0800, 1}));
    QCOMPARE(t->interval(), 2000);
    QCOMPARE(r.w->statusPanelText(5), QStringLiteral(" Запущен ПЕРИОДИЧЕСКИЙ опрос (Т= 2c)"));
    QVERIFY(r.get<QWidget>("ListBox1")->isHidden());
    state(1, 1, true, true);

    r.w->readings().TabSheet1Hide();  // S3
    state(1, 1, false, true);
    r.w->readings().TabSheet1Show();  // back to S2
    state(1, 1, true, true);
    QCOMPARE(r.w->statusPanelText(5), QStringLiteral(" Идет периодический опрос каждые 2c"));

    r.pusk()->click();  // S1
    state(1, 0, false, false);
    r.w->readings().TabSheet1Show();
    state(1, 0, false, false);
    QCOMPARE(r.w->statusPanelText(5), kZapros);

    r.pusk()->click();  // S2 again, then "по запросу" stops it at once
    state(1, 1, true, true);
    r.get<QAbstractButton>("RGtyp_opros_1")->click();
    state(0, 0, false, false);
    QCOMPARE(r.w->statusPanelText(5), kZapros);
}

void TstReadings::periodChangeRestartsRunningTimer() {
    Rig r;
    r.get<QAbstractButton>("RGtyp_opros_0")->click();
    r.pusk()->click();
    QComboBox* cb = r.get<QComboBox>("CBtime_opros");
    Rig::choose(cb, 7);
    QCOMPARE(r.w->ls().time_opros, 300);
    QCOMPARE(int(r.w->ls().time_opros_index), 7);
    QCOMPARE(r.timer()->interval(), 300000);
    Rig::choose(cb, 0);
    QCOMPARE(r.w->ls().time_opros, 1);
    QVERIFY(r.timer()->isActive());
    // Counting down from the change, not from the old 300 s (a coarse timer may add 5 %).
    QVERIFY(r.timer()->remainingTime() <= 1050);
    // A selection made by code alone changes nothing.
    cb->setCurrentIndex(3);
    QCOMPARE(r.w->ls().time_opros, 1);
}

void TstReadings::tickWithSilentPresenceReadFallsBackToOnRequest() {
    Rig r;
    r.w->st().found_scor[5] = 2;
    r.get<QAbstractButton>("RGtyp_opros_0")->click();
    r.pusk()->click();
    r.silent = true;
    r.w->readings().Timer_oprosTimer();
    QCOMPARE(r.sent(), (std::vector<Req>{{3, 0x0800, 1}}));  // no query after it
    QCOMPARE(r.lines(), QStringList{QStringLiteral("sys_num=5 перестал отвечать на  scor=9600")});
    QCOMPARE(r.group("RGtyp_opros_group")->checkedId(), 1);
    QCOMPARE(int(r.w->readings().periodic_opros()), 0);
    QCOMPARE(int(r.w->readings().opros_active()), 0);
    QVERIFY(!r.timer()->isActive());
    QVERIFY(!r.pusk()->isChecked());
    QCOMPARE(r.pusk()->text(), QStringLiteral("пуск"));
    QVERIFY(r.shown("Bzapros"));
    QCOMPARE(r.w->statusPanelText(5), kZapros);
    QVERIFY(r.get<QWidget>("ListBox1")->isHidden());
}

void TstReadings::tickWithoutRecordedRateStopsTimer_data() {
    QTest::addColumn<int>("adr");
    QTest::addColumn<bool>("recorded_elsewhere");
    QTest::newRow("address never answered") << 5 << false;
    QTest::newRow("address 0, the unused entry") << 0 << true;
    QTest::newRow("address 250, past the table") << 250 << true;
}

void TstReadings::tickWithoutRecordedRateStopsTimer() {
    QFETCH(int, adr);
    QFETCH(bool, recorded_elsewhere);
    Rig r;
    if (recorded_elsewhere) r.w->st().found_scor.fill(2);
    r.w->ls().adr = uint8_t(adr);
    r.get<QAbstractButton>("RGtyp_opros_0")->click();
    r.pusk()->click();
    r.w->readings().Timer_oprosTimer();
    QVERIFY(r.sent().empty());
    QCOMPARE(r.lines(), QStringList{QStringLiteral("scor=0 а скорость-то потерялась")});
    QCOMPARE(r.w->statusPanelText(5), QStringLiteral("  сброшен ПЕРИОДИЧЕСКИЙ опрос (перестал отвечать ) "));
    QVERIFY(!r.timer()->isActive());
    QVERIFY(r.pusk()->isChecked());  // S3: paused with the button down
    QCOMPARE(int(r.w->readings().opros_active()), 1);
    QVERIFY(!r.get<QWidget>("ListBox1")->isHidden());
    QCOMPARE(r.timer()->interval(), 2000);
}

// Paint events of one widget, counted.
struct PaintCount : QObject {
    int n = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++n;
        return false;
    }
};

void TstReadings::exchangeWindowsPaintedAtOnce_data() {
    QTest::addColumn<bool>("tick");
    QTest::newRow("the query button") << false;
    QTest::newRow("a polling tick") << true;
}

// The query and a polling tick alike show every exchange while they run.
void TstReadings::exchangeWindowsPaintedAtOnce() {
    QFETCH(bool, tick);
    Rig r;
    r.w->st().found_scor[5] = 2;
    r.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(r.w.get()));
    QCoreApplication::processEvents();  // the first painting is over
    auto* suda = r.get<QListWidget>("LBsuda");
    PaintCount paints;
    suda->viewport()->installEventFilter(&paints);
    std::vector<int> at_write;
    const auto answer = r.port.onWrite;
    r.port.onWrite = [&](FakePort& p, const Bytes& req) {
        at_write.push_back(paints.n);
        answer(p, req);
    };
    if (tick)
        r.w->readings().Timer_oprosTimer();
    else
        r.w->readings().BzaprosClick();
    const int during = paints.n - at_write.front();
    QTest::qWait(20);
    const QString izm = QStringLiteral("05 04 00 10 00 0D ");
    QVERIFY(r.get<QListWidget>("LBtuda")->item(0)->text().startsWith(izm));
    QCOMPARE(r.get<QListWidget>("LBtuda")->count(), 1);
    QVERIFY(suda->item(0)->text().endsWith(QStringLiteral(" dl=31")));
    QVERIFY2(during >= 5, qPrintable(QString::number(during)));  // each exchange before the last one's reply
}

void TstReadings::singleValueReads() {
    Rig r;
    pattern(r);
    r.data(kHolding, 0x0A06, {0x12, 0x34});
    r.data(kHolding, 0x0A07, {0x00, 0x0F});
    struct Case {
        void (ReadingsPage::*handler)();
        Req req;
        const char* field;
        QString want;
    };
    const Case cases[] = {
        {&ReadingsPage::LEresDblClick, {kHolding, 0x0A00, 1}, "LEres", QStringLiteral("10")},
        {&ReadingsPage::LEkol_stepDblClick, {kHolding, 0x0A01, 1}, "LEkol_step", QStringLiteral("100")},
        {&ReadingsPage::LEpor_stepDblClick, {kHolding, 0x0A02, 1}, "LEpor_step", QStringLiteral("50")},
        {&ReadingsPage::LE_procClick, {kInput, 0x0017, 2}, "LE_proc", num("   1.000")},
        {&ReadingsPage::LE_teClick, {kInput, 0x0019, 2}, "LE_te", num("   2.000")},
        {&ReadingsPage::L_SumResClick, {kHolding, 0x0A06, 1}, "L_SumRes", QStringLiteral("4660")},
        {&ReadingsPage::L_ProcdopuskClick, {kHolding, 0x0A07, 1}, "L_Procdopusk", QStringLiteral("15")},
    };
    // Reads of single registers from the middle of a block go to the simulator;
    // the block overrides above apply to reads that start where they start.
    r.data(kInput, 0x0017, {0x3F, 0x80, 0x00, 0x00});
    r.data(kInput, 0x0019, {0x40, 0x00, 0x00, 0x00});
    r.data(kInput, 0x001B, {0x04, 0xD2});
    r.data(kInput, 0x001C, {0x01, 0x2C});
    r.data(kInput, 0x0011, {0x00, 0x00, 0xC8, 0x42});
    r.data(kInput, 0x0013, {0x00, 0x00, 0x44, 0x41});
    r.data(kInput, 0x0015, {0x00, 0x00, 0x01, 0x2C});
    for (const Case& c : cases) {
        r.requests.clear();
        (r.w->readings().*c.handler)();
        QCOMPARE(r.sent(), std::vector<Req>{c.req});
        QWidget* f = r.get<QWidget>(c.field);
        QString got = qobject_cast<QLineEdit*>(f) ? static_cast<QLineEdit*>(f)->text() : static_cast<QLabel*>(f)->text();
        QCOMPARE(got, c.want);
    }
    r.w->readings().LEizmprocClick();
    QCOMPARE(r.text("LEizmproc"), num(" 100.000"));
    r.w->readings().LEizmznachClick();
    QCOMPARE(r.text("LEizmznach"), num("  12.250"));
    r.w->readings().LEizm_impClick();
    QCOMPARE(r.text("LEizm_imp"), QStringLiteral("300     (0000012C hex)"));
    r.w->readings().LE_procwClick();
    QCOMPARE(r.text("LE_procw"), num("123.4"));
    r.w->readings().LE_tewClick();
    QCOMPARE(r.text("LE_tew"), QStringLiteral("30"));

    // Lvind re-reads the view and chooses its item, which writes it back.
    r.requests.clear();
    r.w->readings().LvindClick();
    QCOMPARE(r.sent(), (std::vector<Req>{{kHolding, 0x0A05, 1}, {16, 0x0A05, 1}}));
    QCOMPARE(r.group("RGv_ind_group")->checkedId(), 1);

    // A failure leaves the field and adds one line.
    r.exception(kInput, 0x0015, 4);
    r.w->readings().LEizm_impClick();
    QCOMPARE(r.text("LEizm_imp"), QStringLiteral("300     (0000012C hex)"));
    QCOMPARE(r.lines().size(), 1);
    QVERIFY(r.lines()[0].contains(QStringLiteral(" принято: ")));
}

void TstReadings::combinedDoubleClicksReadThreeValues() {
    Rig r;
    r.silent = true;
    r.w->readings().LEizmznachDblClick();
    QCOMPARE(r.sent(), (std::vector<Req>{{kInput, 0x0013, 2}, {kInput, 0x0019, 2}, {kInput, 0x001C, 1}}));
    QCOMPARE(r.lines().size(), 3);  // each failure its own line, none skipped
    r.requests.clear();
    r.silent = false;
    r.w->readings().LEizmprocDblClick();
    QCOMPARE(r.sent(), (std::vector<Req>{{kInput, 0x0011, 2}, {kInput, 0x0017, 2}, {kInput, 0x001B, 1}}));
    QVERIFY(r.get<QListWidget>("LBtuda")->item(0)->text().startsWith(QStringLiteral("05 04 00 1B 00 01 ")));
}

void TstReadings::mouseClicksReachTheirHandlers() {
    Rig r;
    QTest::mouseClick(r.get<QWidget>("LEstep"), Qt::LeftButton);
    QCOMPARE(r.sent(), (std::vector<Req>{{kInput, 0x0010, 1}}));
    r.requests.clear();
    QTest::mouseClick(r.get<QWidget>("STkluchK1K2"), Qt::LeftButton);
    QCOMPARE(r.sent(), (std::vector<Req>{{1, 0, 8}}));
    r.requests.clear();
    QTest::mouseDClick(r.get<QWidget>("LEres"), Qt::LeftButton);
    QCOMPARE(r.sent(), (std::vector<Req>{{kHolding, 0x0A00, 1}}));  // no click handler of its own
    r.requests.clear();
    QTest::mouseDClick(r.get<QWidget>("LEizmznach"), Qt::LeftButton);
    std::vector<Req> s = r.sent();
    QVERIFY(s.size() >= 3);
    QCOMPARE((std::vector<Req>(s.end() - 3, s.end())),
             (std::vector<Req>{{kInput, 0x0013, 2}, {kInput, 0x0019, 2}, {kInput, 0x001C, 1}}));
}

void TstReadings::nameAndVersion() {
    Rig r;
    r.data(kInput, 0x0200, {0xCB, 0xCE, 0xD0, 0xCA, 0x00, 0x01});  // "ЛОРК" and two control bytes
    r.data(kInput, 0x020A, {'V', '2', '.', '0', '6', ' ', ' ', ' ', ' ', ' '});
    r.w->readings().Ed_nameClick();
    r.w->readings().Ed_versionClick();
    QCOMPARE(r.get<QLineEdit>("Ed_name")->text(), QStringLiteral("ЛОРК··"));
    QCOMPARE(r.get<QLineEdit>("Ed_version")->text(), QStringLiteral("V2.06     "));
    r.silent = true;
    r.w->readings().Ed_nameClick();
    QCOMPARE(r.get<QLineEdit>("Ed_name")->text(), QStringLiteral("ЛОРК··"));
    QCOMPARE(r.lines().size(), 1);
}

// Where the ink of a widget's drawing lies across, as the middle between its
// first and last column that differ from the background, in ref's coordinates.
double inkCentre(QWidget* w, QWidget* ref) {
    const QImage img = w->grab().toImage();
    const QRgb bg = img.pixel(0, 0);
    int left = img.width(), right = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != bg) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    if (right < 0) return -1000;  // nothing drawn
    return w->mapTo(ref, QPoint(0, 0)).x() + (left + right + 1) / 2.0 / img.devicePixelRatio();
}

void TstReadings::namesStandUnderTheirPictures_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    // Two families every system has (a proportional and a fixed-width one),
    // and a large size, as a scaled screen gives.
    const QString sans = QApplication::font().family();
    const QString mono = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    QTest::newRow("proportional 9 pt") << sans << 9;
    QTest::newRow("proportional 15 pt") << sans << 15;
    QTest::newRow("fixed-width 9 pt") << mono << 9;
    QTest::newRow("fixed-width 15 pt") << mono << 15;
}

void TstReadings::namesStandUnderTheirPictures() {
    QFETCH(QString, family);
    QFETCH(int, points);
    const QFont before = QApplication::font();
    QApplication::setFont(QFont(family, points));
    {
        Rig r;
        r.w->show();
        QVERIFY(QTest::qWaitForWindowExposed(r.w.get()));
        QWidget* page = r.get<QWidget>("GB_CI")->window();
        qInfo("screen scale %g", page->devicePixelRatioF());
        const std::pair<const char*, const char*> pairs[] = {
            {"Image_svd_P_off", "Lsvd_P"}, {"Image_svd_K1_off", "Lsvd_K1"}, {"Image_svd_K2_off", "Lsvd_K2"},
            {"Image_svd_I_off", "Lsvd_I"}, {"Image_swPR", "LswPR"},        {"Image_swST", "LswST"},
            {"Image_swBL", "LswBL"},       {"Image_swZ", "LswZ"}};
        for (const auto& [picture, name] : pairs) {
            QLabel* letter = r.get<QLabel>(name);
            QVERIFY2(letter->isVisible(), name);
            const double p = inkCentre(r.get<QWidget>(picture), page);
            const double l = inkCentre(letter, page);
            QVERIFY2(std::abs(p - l) <= 4, qPrintable(QStringLiteral("%1 at %2, its picture at %3 (%4, %5 pt)")
                                                           .arg(letter->text())
                                                           .arg(l)
                                                           .arg(p)
                                                           .arg(QFontInfo(letter->font()).family())
                                                           .arg(points)));
        }
        // A lit LED keeps its name under it.
        r.get<QWidget>("Image_svd_P_off")->hide();
        r.get<QWidget>("Image_svd_P_on")->show();
        QApplication::processEvents();
        QVERIFY(std::abs(inkCentre(r.get<QWidget>("Image_svd_P_on"), page) -
                         inkCentre(r.get<QLabel>("Lsvd_P"), page)) <= 4);
    }
    QApplication::setFont(before);
}

QTEST_MAIN(TstReadings)
#include "tst_readings.moc"
