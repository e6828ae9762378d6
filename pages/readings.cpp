// The readings page: the full query of the instrument's live state, the two
// commands it sends (brightness, indication view), periodic polling, and the
// single-value reads behind clicks on its fields.
#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPixmap>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <functional>

#include "app/tfglav.h"
#include "platform/cp1251.h"
#include "protocol/framing.h"
#include "protocol/value_formats.h"
#include "ui_page_readings.h"
#include "ui_tfglav.h"

struct TFglav::ReadingsPage : Ui::PageReadings {};

namespace {

const QColor ci_colour_start(128, 0, 0);
const QColor ci_colour_ok(0, 128, 0);
const QColor ci_colour_flag(255, 0, 0);

// Unit texts of the indication views 1..3.
const char* const v_ind_names[] = {" %", " Ом", "ступень"};

const char* const status_zapros = " Для обновления информации нажмите кнопку \"запрос\" ";
const char* const status_pusk = " Для запуска периодического опроса нажмите кнопку ПУСК";

// Labels, static texts, group boxes and read-only edits have no click or
// double-click signal of their own; this filter gives them both, with the
// toolkit's order: the first click of a double-click is a click, the second
// only a double-click.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> click, std::function<void()> dbl)
        : QObject(parent), click_(std::move(click)), dbl_(std::move(dbl)) {}

protected:
    bool eventFilter(QObject* obj, QEvent* ev) override {
        switch (ev->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(ev)->button() == Qt::LeftButton) pressed_ = true;
            break;
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(ev);
            auto* w = qobject_cast<QWidget*>(obj);
            bool inside = !w || w->rect().contains(me->position().toPoint());
            if (me->button() == Qt::LeftButton && pressed_ && inside && click_) {
                pressed_ = false;
                click_();
            }
            pressed_ = false;
            break;
        }
        case QEvent::MouseButtonDblClick:
            pressed_ = false;
            if (static_cast<QMouseEvent*>(ev)->button() == Qt::LeftButton && dbl_) dbl_();
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::function<void()> click_, dbl_;
    bool pressed_ = false;
};

void on_click(QWidget* w, std::function<void()> click, std::function<void()> dbl = {}) {
    w->installEventFilter(new ClickFilter(w, std::move(click), std::move(dbl)));
}

// printf-style texts come with '.'; the operator's locale decides the separator.
QString localised(const std::string& s) {
    QString t = QString::fromStdString(s);
    t.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
    return t;
}

void set_text_colour(QLineEdit* e, const QColor& c) {
    QPalette p = e->palette();
    p.setColor(QPalette::Text, c);
    e->setPalette(p);
}

}  // namespace

// ---------------------------------------------------------------------------
// Set-up

void TFglav::Setup_page_readings() {
    // The page's pictures live in the static GUI library: register them.
    Q_INIT_RESOURCE(readings);
    auto* host = new QWidget;
    rd = std::make_shared<ReadingsPage>();
    rd->setupUi(host);
    addPageWidget(0, host);

    // The indicator looks like the instrument's: big bold digits on a dark glass.
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setBold(true);
    digits.setPointSize(26);
    for (QLineEdit* e : CI_fields()) {
        e->setFont(digits);
        e->setFrame(false);
        QPalette p = e->palette();
        p.setColor(QPalette::Base, QColor(28, 28, 28));
        e->setPalette(p);
        e->setFixedWidth(QFontMetrics(digits).horizontalAdvance(QStringLiteral("88")) + 14);
        set_text_colour(e, ci_colour_start);
        e->setFocusPolicy(Qt::NoFocus);
    }
    rd->indicator_panel->setAutoFillBackground(true);
    QPalette panel = rd->indicator_panel->palette();
    panel.setColor(QPalette::Window, QColor(12, 12, 12));
    panel.setColor(QPalette::WindowText, QColor(200, 200, 200));
    rd->indicator_panel->setPalette(panel);
    QFont unit = rd->ST_v_ind->font();
    unit.setPointSize(14);
    unit.setBold(true);
    rd->ST_v_ind->setFont(unit);
    rd->ST_v_ind->setMinimumWidth(QFontMetrics(unit).horizontalAdvance(QStringLiteral("ступень ")));
    Align_pictures_to_captions();

    // Radio groups with ids = item index; no view chosen until the first reading.
    RGv_ind_group = new QButtonGroup(this);
    RGv_ind_group->setObjectName(QStringLiteral("RGv_ind_group"));
    RGv_ind_group->addButton(rd->RGv_ind_0, 0);
    RGv_ind_group->addButton(rd->RGv_ind_1, 1);
    RGv_ind_group->addButton(rd->RGv_ind_2, 2);
    RGtyp_opros_group = new QButtonGroup(this);
    RGtyp_opros_group->setObjectName(QStringLiteral("RGtyp_opros_group"));
    RGtyp_opros_group->addButton(rd->RGtyp_opros_0, 0);
    RGtyp_opros_group->addButton(rd->RGtyp_opros_1, 1);
    rd->RGtyp_opros_1->setChecked(true);

    // Changes made from code fire these exactly as the operator's would.
    connect(RGv_ind_group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) RGv_indClick();
    });
    connect(RGtyp_opros_group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) RGtyp_oprosClick();
    });
    connect(rd->TrackBar_light, &QSlider::valueChanged, this, [this] { TrackBar_lightChange(); });
    connect(rd->Bzapros, &QPushButton::clicked, this, [this] { BzaprosClick(); });

    auto* tb = toolButton(1);
    tb->setCheckable(true);
    tb->setIcon(QIcon(QStringLiteral(":/icons/pusk.png")));
    connect(tb, &QToolButton::clicked, this, [this] { ToolButton1Click(); });
    auto* cb = ui->CBtime_opros;
    connect(cb, &QComboBox::activated, this, [this] { CBtime_oprosChange(); });
    connect(Timer_opros, &QTimer::timeout, this, [this] { Timer_oprosTimer(); });

    // Clicks and double-clicks that re-read single values.
    on_click(rd->GB_CI, [this] { GB_CIClick(); });
    on_click(rd->STkluchK1K2, [this] { STkluchK1K2Click(); });
    on_click(rd->STdinputs, [this] { STdinputsClick(); });
    on_click(rd->LEres, {}, [this] { LEresDblClick(); });
    on_click(rd->LEkol_step, {}, [this] { LEkol_stepDblClick(); });
    on_click(rd->LEpor_step, {}, [this] { LEpor_stepDblClick(); });
    on_click(rd->LEstep, [this] { LEstepClick(); });
    on_click(rd->LEizmproc, [this] { LEizmprocClick(); }, [this] { LEizmprocDblClick(); });
    on_click(rd->LEizmznach, [this] { LEizmznachClick(); }, [this] { LEizmznachDblClick(); });
    on_click(rd->LEizm_imp, [this] { LEizm_impClick(); });
    on_click(rd->LE_proc, [this] { LE_procClick(); });
    on_click(rd->LE_te, [this] { LE_teClick(); });
    on_click(rd->LE_procw, [this] { LE_procwClick(); });
    on_click(rd->LE_tew, [this] { LE_tewClick(); });
    on_click(rd->L_SumRes, [this] { L_SumResClick(); });
    on_click(rd->L_Procdopusk, [this] { L_ProcdopuskClick(); });
    on_click(rd->Lvind, [this] { LvindClick(); });
    on_click(ui->Ed_name, [this] { Ed_nameClick(); });
    on_click(ui->Ed_version, [this] { Ed_versionClick(); });

    // A blinking LED really blinks: its picture alternates twice a second.
    svd_mig_timer = new QTimer(this);
    svd_mig_timer->setObjectName(QStringLiteral("svd_mig_timer"));
    const QPixmap lit(QStringLiteral(":/readings/led_on.png"));
    const QPixmap dark(QStringLiteral(":/readings/led_off.png"));
    connect(svd_mig_timer, &QTimer::timeout, this, [this, lit, dark] {
        svd_mig_lit = !svd_mig_lit;
        rd->Image_svd_P_mig->setPixmap(svd_mig_lit ? lit : dark);
        rd->Image_svd_I_mig->setPixmap(svd_mig_lit ? lit : dark);
    });
    svd_mig_timer->start(500);
}

// The LED and switch captions are blank-padded texts; in a fixed-width font
// each picture is put under its own name.
void TFglav::Align_pictures_to_captions() {
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const int cw = QFontMetrics(mono).horizontalAdvance(QLatin1Char('M'));
    rd->StaticText2->setFont(mono);
    rd->ST_allsw->setFont(mono);

    // "P         K1        K2        I": names ten characters apart.
    const int led_w = QPixmap(QStringLiteral(":/readings/led_off.png")).width();
    rd->leds_lay->setSpacing(std::max(2, 10 * cw - led_w));

    // "PR    ST      BL       Z ": name centres at 1, 7, 15 and 23.5 characters.
    const int sw_w = QPixmap(QStringLiteral(":/readings/switch_off.png")).width();
    const int indent = std::max(0, sw_w / 2 - cw);
    rd->ST_allsw->setIndent(indent);
    const double centres[] = {1.0, 7.0, 15.0, 23.5};
    const std::pair<QLabel*, QLabel*> sw_slot[] = {{rd->Image_swPR, rd->Image_swPR_on},
                                                 {rd->Image_swST, rd->Image_swST_on},
                                                 {rd->Image_swBL, rd->Image_swBL_on},
                                                 {rd->Image_swZ, rd->Image_swZ_on}};
    rd->sw_images_lay->setSpacing(0);
    rd->sw_images_lay->addStretch(1);
    int left = 0;
    for (size_t i = 0; i < 4; ++i) {
        const int centre = indent + int(centres[i] * cw);
        const int width = std::max(sw_w, 2 * (centre - left));
        sw_slot[i].first->setFixedWidth(width);
        sw_slot[i].second->setFixedWidth(width);
        left += width;
    }
}

std::array<QLineEdit*, 4> TFglav::CI_fields() const {
    return {rd->E_CI4, rd->E_CI3, rd->E_CI2, rd->E_CI1};
}

// ---------------------------------------------------------------------------
// One exchange

// ---------------------------------------------------------------------------
// The query and its parts

void TFglav::Opros_all() {
    auto& dev = core_.st.dev;
    Show_dinputs();
    Show_CI();
    Show_kluchK1K2();

    uint8_t kod = core_.dev.Read_params();
    Show_tuda_suda();
    if (Report_info(kod) == 0) {
        rd->LEres->setText(QString::number(dev.res));
        rd->LEkol_step->setText(QString::number(dev.kol_step));
        rd->LEpor_step->setText(QString::number(dev.por_step));
        // A brightness above 2 stands at the top (position 0), as the slider clamps it.
        rd->TrackBar_light->setValue(std::clamp(2 - int(dev.light), 0, 2));
        Choose_v_ind(dev.v_ind);
    }

    kod = core_.dev.Read_izm();
    Show_tuda_suda();
    if (Report_info(kod) == 0) {
        rd->LEizmproc->setText(localised(lork::Number_format(dev.izm_proc, '.')));
        rd->LEizmznach->setText(localised(lork::Number_format(dev.izm_znach, '.')));
        rd->LEizm_imp->setText(QString::fromStdString(lork::Pulse_text(dev.izm_imp)));
        rd->LEstep->setText(QString::fromStdString(lork::Step_text(dev.step, dev.tew, dev.res)));
    }
}

// Chooses the view's item, which writes the view back when the item changes.
// A view outside 1..3 has no item: the choice is cleared and nothing is written.
void TFglav::Choose_v_ind(uint8_t v_ind) {
    if (v_ind >= 1 && v_ind <= 3) {
        RGv_ind_group->button(v_ind - 1)->setChecked(true);
        return;
    }
    if (QAbstractButton* b = RGv_ind_group->checkedButton()) {
        RGv_ind_group->setExclusive(false);
        b->setChecked(false);
        RGv_ind_group->setExclusive(true);
    }
}

uint8_t TFglav::Read_CI() {
    return Exchange(4, 0x0214, 5);
}

void TFglav::Show_CI() {
    auto& dev = core_.st.dev;
    if (Report_info(Read_CI()) == 0) {
        // Eight characters, two per digit position, shown as the instrument
        // sent them; bytes without a glyph get a visible placeholder.
        std::string t = dev.reg_text;
        t.resize(std::max<size_t>(t.size(), 8), ' ');
        auto fields = CI_fields();
        for (size_t i = 0; i < 4; ++i)
            fields[i]->setText(QString::fromStdString(lork::cp1251_to_display(t.substr(2 * i, 2))));
        const QColor& c = dev.ci_flag == 0 ? ci_colour_ok : ci_colour_flag;
        for (QLineEdit* e : fields) set_text_colour(e, c);
    }
    Show_v_ind();
}

void TFglav::Show_v_ind() {
    if (Report_info(Exchange(3, 0x0A05, 1)) != 0) return;
    uint8_t v = core_.st.dev.v_ind;
    if (v >= 1 && v <= 3)
        rd->ST_v_ind->setText(QString::fromUtf8(v_ind_names[v - 1]));
    else
        rd->ST_v_ind->setText(QStringLiteral("вид %1?").arg(v));
}

void TFglav::Show_kluchK1K2() {
    auto& ex = core_.st.ex;
    ex.zapros_func = 1;
    ex.zapros_start = 0;
    ex.zapros_kol = 8;
    core_.dev.Zapros_fn1(0, 8);
    Show_tuda_suda();
    if (Report_info(core_.dev.Otvet_fn1()) != 0) return;
    const auto& d = core_.st.dev;
    rd->LkluchK1->setText(d.kluch_K1 ? QStringLiteral("K1 включен") : QStringLiteral("K1 выключен"));
    rd->Image_K1_off->setVisible(!d.kluch_K1);
    rd->Image_K1_on->setVisible(d.kluch_K1);
    rd->LkluchK2->setText(d.kluch_K2 ? QStringLiteral("K2 включен") : QStringLiteral("K2 выключен"));
    rd->Image_K2_off->setVisible(!d.kluch_K2);
    rd->Image_K2_on->setVisible(d.kluch_K2);
    rd->Image_svd_K1_off->setVisible(!d.svd_K1);
    rd->Image_svd_K1_on->setVisible(d.svd_K1);
    rd->Image_svd_K2_off->setVisible(!d.svd_K2);
    rd->Image_svd_K2_on->setVisible(d.svd_K2);
    // The blinking flag counts only while its LED is lit.
    rd->Image_svd_P_off->setVisible(!d.svd_P);
    rd->Image_svd_P_on->setVisible(d.svd_P && !d.svd_P_mig);
    rd->Image_svd_P_mig->setVisible(d.svd_P && d.svd_P_mig);
    rd->Image_svd_I_off->setVisible(!d.svd_I);
    rd->Image_svd_I_on->setVisible(d.svd_I && !d.svd_I_mig);
    rd->Image_svd_I_mig->setVisible(d.svd_I && d.svd_I_mig);
}

void TFglav::Show_dinputs() {
    auto& ex = core_.st.ex;
    ex.zapros_func = 2;
    ex.zapros_start = 0;
    ex.zapros_kol = 4;
    core_.dev.Zapros_fn2(0, 4);
    uint8_t kod = core_.dev.Otvet_fn2();
    Show_tuda_suda();
    if (Report_info(kod) != 0) return;
    const auto& d = core_.st.dev;
    const std::pair<QLabel*, QLabel*> sw[] = {{rd->Image_swPR, rd->Image_swPR_on},
                                              {rd->Image_swST, rd->Image_swST_on},
                                              {rd->Image_swZ, rd->Image_swZ_on},
                                              {rd->Image_swBL, rd->Image_swBL_on}};
    const bool on[] = {d.sw_PR != 0, d.sw_ST != 0, d.sw_Z != 0, d.sw_BL != 0};
    for (size_t i = 0; i < 4; ++i) {
        sw[i].first->setVisible(!on[i]);
        sw[i].second->setVisible(on[i]);
    }
}

void TFglav::GB_CIClick() { Show_CI(); }
void TFglav::STkluchK1K2Click() { Show_kluchK1K2(); }
void TFglav::STdinputsClick() { Show_dinputs(); }

// ---------------------------------------------------------------------------
// Commands

void TFglav::TrackBar_lightChange() {
    Report_info(Exchange(16, 0x0A03, 1, {uint16_t(rd->TrackBar_light->maximum() - rd->TrackBar_light->value())}));
}

void TFglav::RGv_indClick() {
    int item = RGv_ind_group->checkedId();
    if (item < 0) return;
    Report_info(Exchange(16, 0x0A05, 1, {uint16_t(item + 1)}));
}

// ---------------------------------------------------------------------------
// Polling

void TFglav::Opros_timer_on(bool on) {
    if (!on)
        Timer_opros->stop();
    else if (!Timer_opros->isActive())
        Timer_opros->start();
}

// Setting the interval it already has leaves a running countdown alone;
// another interval restarts it from now.
void TFglav::Opros_interval(int ms) {
    if (Timer_opros->interval() != ms) Timer_opros->setInterval(ms);
}

void TFglav::Timer_oprosTimer() {
    auto& st = core_.st;
    showInfo();
    // An address outside 1..247 has no entry: it counts as one that never answered.
    if (lork::found_scor_at(st.found_scor, st.ls.adr) == 0) {
        addInfoLine(QStringLiteral("scor=0 а скорость-то потерялась"));
        setStatusMessage(QStringLiteral("  сброшен ПЕРИОДИЧЕСКИЙ опрос (перестал отвечать ) "));
        Opros_timer_on(false);
    } else {
        if (core_.dev.Read_adr() == 0) {
            Opros_all();
            setStatusMessage(QStringLiteral(" Запущен ПЕРИОДИЧЕСКИЙ опрос (Т= %1c)").arg(st.ls.time_opros));
        } else {
            addInfoLine(QStringLiteral("sys_num=%1 перестал отвечать на  scor=%2")
                            .arg(st.ls.adr)
                            .arg(st.ls.scor));
            rd->RGtyp_opros_1->setChecked(true);
            Opros_timer_on(false);
        }
        ui->ListBox1->hide();
    }
    Opros_interval(st.ls.time_opros * 1000);
}

void TFglav::RGtyp_oprosClick() {
    if (RGtyp_opros_group->checkedId() == 0) {
        periodic_opros = 1;
        setStatusMessage(QString::fromUtf8(status_pusk));
    } else {
        setStatusMessage(QString::fromUtf8(status_zapros));
        periodic_opros = 0;
        opros_active = 0;
        Opros_timer_on(false);
        toolButton(1)->setChecked(false);
        Apply_pusk_stop();
    }
    rd->Bzapros->setVisible(periodic_opros == 0);
}

void TFglav::ToolButton1Click() {
    if (periodic_opros == 1)
        Apply_pusk_stop();
    else
        toolButton(1)->setChecked(false);
}

void TFglav::Apply_pusk_stop() {
    auto* tb = toolButton(1);
    if (tb->isChecked()) {
        tb->setText(QStringLiteral("стоп"));
        tb->setIcon(QIcon(QStringLiteral(":/icons/stop.png")));
        Opros_interval(1000);
        Opros_timer_on(true);
        opros_active = 1;
    } else {
        tb->setText(QStringLiteral("пуск"));
        tb->setIcon(QIcon(QStringLiteral(":/icons/pusk.png")));
        Opros_timer_on(false);
        opros_active = 0;
    }
    tb->update();
}

void TFglav::CBtime_oprosChange() {
    auto* cb = ui->CBtime_opros;
    int i = cb->currentIndex();
    if (i < 0 || i >= int(lork::period_table.size())) return;
    auto& ls = core_.st.ls;
    ls.time_opros_index = uint8_t(i);
    ls.time_opros = lork::period_table[size_t(i)];
    Opros_interval(ls.time_opros * 1000);
}

void TFglav::BzaprosClick() {
    showInfo();
    Opros_all();
}

void TFglav::TabSheet1Show() {
    setStatusMessage(QString::fromUtf8(status_zapros));
    if (opros_active == 1) {
        Opros_timer_on(true);
        setStatusMessage(QStringLiteral(" Идет периодический опрос каждые %1c").arg(core_.st.ls.time_opros));
    } else {
        Opros_timer_on(false);
    }
}

void TFglav::TabSheet1Hide() {
    Opros_timer_on(false);
}

// ---------------------------------------------------------------------------
// Single-value reads

void TFglav::LEresDblClick() {
    if (Report_info(Exchange(3, 0x0A00, 1)) == 0) rd->LEres->setText(QString::number(core_.st.dev.res));
}

void TFglav::LEkol_stepDblClick() {
    if (Report_info(Exchange(3, 0x0A01, 1)) == 0) rd->LEkol_step->setText(QString::number(core_.st.dev.kol_step));
}

void TFglav::LEpor_stepDblClick() {
    if (Report_info(Exchange(3, 0x0A02, 1)) == 0) rd->LEpor_step->setText(QString::number(core_.st.dev.por_step));
}

void TFglav::LEstepClick() {
    const auto& d = core_.st.dev;
    if (Report_info(Exchange(4, 0x0010, 1)) == 0)
        rd->LEstep->setText(QString::fromStdString(lork::Step_text_click(d.step, d.tew, d.res)));
}

void TFglav::LEizmprocClick() {
    if (Report_info(Exchange(4, 0x0011, 2)) == 0)
        rd->LEizmproc->setText(localised(lork::Number_format(core_.st.dev.izm_proc, '.')));
}

void TFglav::LEizmznachClick() {
    if (Report_info(Exchange(4, 0x0013, 2)) == 0)
        rd->LEizmznach->setText(localised(lork::Number_format(core_.st.dev.izm_znach, '.')));
}

void TFglav::LEizm_impClick() {
    if (Report_info(Exchange(4, 0x0015, 2)) == 0)
        rd->LEizm_imp->setText(QString::fromStdString(lork::Pulse_text(core_.st.dev.izm_imp)));
}

void TFglav::LE_procClick() {
    if (Report_info(Exchange(4, 0x0017, 2)) == 0)
        rd->LE_proc->setText(localised(lork::Number_format(core_.st.dev.proc, '.')));
}

void TFglav::LE_teClick() {
    if (Report_info(Exchange(4, 0x0019, 2)) == 0)
        rd->LE_te->setText(localised(lork::Number_format(core_.st.dev.te, '.')));
}

void TFglav::LE_procwClick() {
    if (Report_info(Exchange(4, 0x001B, 1)) == 0)
        rd->LE_procw->setText(localised(lork::Decimal_float(core_.st.dev.procw, '.')));
}

void TFglav::LE_tewClick() {
    if (Report_info(Exchange(4, 0x001C, 1)) == 0)
        rd->LE_tew->setText(localised(lork::Decimal_float(core_.st.dev.tew, '.')));
}

void TFglav::Ed_nameClick() {
    auto* e = ui->Ed_name;
    if (Report_info(Exchange(4, 0x0200, 3)) == 0)
        e->setText(QString::fromStdString(lork::cp1251_to_display(core_.st.dev.reg_text)));
    e->repaint();
}

void TFglav::Ed_versionClick() {
    auto* e = ui->Ed_version;
    if (Report_info(Exchange(4, 0x020A, 5)) == 0)
        e->setText(QString::fromStdString(lork::cp1251_to_display(core_.st.dev.reg_text)));
    e->repaint();
}

void TFglav::L_SumResClick() {
    if (Report_info(Exchange(3, 0x0A06, 1)) == 0) rd->L_SumRes->setText(QString::number(core_.st.dev.sum_res));
}

void TFglav::L_ProcdopuskClick() {
    if (Report_info(Exchange(3, 0x0A07, 1)) == 0)
        rd->L_Procdopusk->setText(QString::number(core_.st.dev.proc_dopusk));
}

void TFglav::LvindClick() {
    if (Report_info(Exchange(3, 0x0A05, 1)) == 0) Choose_v_ind(core_.st.dev.v_ind);
}

void TFglav::LEizmznachDblClick() {
    LEizmznachClick();
    LE_teClick();
    LE_tewClick();
}

void TFglav::LEizmprocDblClick() {
    LEizmprocClick();
    LE_procClick();
    LE_procwClick();
}
