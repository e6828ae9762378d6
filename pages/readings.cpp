// The readings page's handlers: the query and its parts, the two commands,
// the polling, the single-value reads.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "pages/page_format.h"
#include "pages/page_host.h"
#include "pages/readings.h"
#include "pages/readings_look.h"
#include "platform/cp1251.h"
#include "protocol/value_formats.h"
#include "ui_page_readings.h"

using lork::pages::Localised;
using lork::pages::Number_text;
using lork::pages::Show_text;

namespace {

// Unit texts of the indication views 1..3.
const char* const v_ind_names[] = {" %", " Ом", "ступень"};

const char* const status_zapros = " Для обновления информации нажмите кнопку \"запрос\" ";
const char* const status_pusk = " Для запуска периодического опроса нажмите кнопку ПУСК";

constexpr uint16_t REG_CI = 0x0214;  // the indicator's text and flag, 5 input registers

}  // namespace

// ---------------------------------------------------------------------------
// The query and its parts

void ReadingsPage::Opros_all() {
    auto& core = host_.core();
    const auto& dev = core.st.dev;
    Show_dinputs();
    Show_CI();
    Show_kluchK1K2();

    if (core.dev.Read_params() == 0) {
        Show_text(rd->LEres, QString::number(dev.res));
        Show_text(rd->LEkol_step, QString::number(dev.kol_step));
        Show_text(rd->LEpor_step, QString::number(dev.por_step));
        // A brightness above 2 stands at the top (position 0), as the slider clamps it.
        rd->TrackBar_light->setValue(std::clamp(2 - int(dev.light), 0, 2));
        Choose_v_ind(dev.v_ind);
    }

    if (core.dev.Read_izm() == 0) {
        Show_text(rd->LEizmproc, Number_text(dev.izm_proc));
        Show_text(rd->LEizmznach, Number_text(dev.izm_znach));
        Show_text(rd->LEizm_imp, QString::fromStdString(lork::Pulse_text(dev.izm_imp)));
        Show_text(rd->LEstep, QString::fromStdString(lork::Step_text(dev.step, dev.tew, dev.res)));
    }
}

// Chooses the view's item, which writes the view back when the item changes.
// A view outside 1..3 has no item: the choice is cleared and nothing is written.
void ReadingsPage::Choose_v_ind(uint8_t v_ind) {
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

void ReadingsPage::Show_CI() {
    const auto& dev = host_.core().st.dev;
    if (host_.exchange(4, REG_CI, 5) == 0) {
        // Eight characters, two per digit position, shown as the instrument
        // sent them; bytes without a glyph get a visible placeholder.
        std::string t = dev.reg_text;
        t.resize(std::max<size_t>(t.size(), 8), ' ');
        auto fields = CI_fields();
        for (size_t i = 0; i < 4; ++i)
            Show_text(fields[i], QString::fromStdString(lork::cp1251_to_display(t.substr(2 * i, 2))));
        const QColor& c = dev.ci_flag == 0 ? lork::pages::ci_colour_ok : lork::pages::ci_colour_flag;
        for (QLineEdit* e : fields) lork::pages::Set_text_colour(e, c);
    }
    Show_v_ind();
}

void ReadingsPage::Show_v_ind() {
    if (host_.exchange(3, 0x0A05, 1) != 0) return;
    const uint8_t v = host_.core().st.dev.v_ind;
    if (v >= 1 && v <= 3)
        rd->ST_v_ind->setText(QString::fromUtf8(v_ind_names[v - 1]));
    else
        rd->ST_v_ind->setText(QStringLiteral("вид %1?").arg(v));
}

void ReadingsPage::Show_kluchK1K2() {
    if (host_.exchange(1, 0, 8) != 0) return;
    const auto& d = host_.core().st.dev;
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

void ReadingsPage::Show_dinputs() {
    if (host_.exchange(2, 0, 4) != 0) return;
    const auto& d = host_.core().st.dev;
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

void ReadingsPage::GB_CIClick() { Show_CI(); }
void ReadingsPage::STkluchK1K2Click() { Show_kluchK1K2(); }
void ReadingsPage::STdinputsClick() { Show_dinputs(); }

// ---------------------------------------------------------------------------
// Commands

void ReadingsPage::TrackBar_lightChange() {
    host_.exchange(16, 0x0A03, 1, {uint16_t(rd->TrackBar_light->maximum() - rd->TrackBar_light->value())});
}

void ReadingsPage::RGv_indClick() {
    const int item = RGv_ind_group->checkedId();
    if (item < 0) return;
    host_.exchange(16, 0x0A05, 1, {uint16_t(item + 1)});
}

// ---------------------------------------------------------------------------
// Polling

void ReadingsPage::Opros_timer_on(bool on) {
    QTimer* t = host_.pollTimer();
    if (!on)
        t->stop();
    else if (!t->isActive())
        t->start();
}

// Setting the interval it already has leaves a running countdown alone;
// another interval restarts it from now.
void ReadingsPage::Opros_interval(int ms) {
    QTimer* t = host_.pollTimer();
    if (t->interval() != ms) t->setInterval(ms);
}

void ReadingsPage::Timer_oprosTimer() {
    lork::ExchangeFeed::CommandScope polling(host_.core().feed, lork::Command::Polling);
    auto& st = host_.core().st;
    host_.showInfo();
    // An address outside 1..247 has no entry: it counts as one that never answered.
    if (lork::found_scor_at(st.found_scor, st.ls.adr) == 0) {
        host_.addInfoLine(QStringLiteral("scor=0 а скорость-то потерялась"));
        host_.setStatusMessage(QStringLiteral("  сброшен ПЕРИОДИЧЕСКИЙ опрос (перестал отвечать ) "));
        Opros_timer_on(false);
    } else {
        if (host_.core().dev.Read_adr() == 0) {
            Opros_all();
            host_.setStatusMessage(QStringLiteral(" Запущен ПЕРИОДИЧЕСКИЙ опрос (Т= %1c)").arg(st.ls.time_opros));
        } else {
            host_.addInfoLine(
                QStringLiteral("sys_num=%1 перестал отвечать на  scor=%2").arg(st.ls.adr).arg(st.ls.scor));
            rd->RGtyp_opros_1->setChecked(true);
            Opros_timer_on(false);
        }
        host_.infoWindow()->hide();
    }
    Opros_interval(st.ls.time_opros * 1000);
}

void ReadingsPage::RGtyp_oprosClick() {
    if (RGtyp_opros_group->checkedId() == 0) {
        periodic_opros_ = 1;
        host_.setStatusMessage(QString::fromUtf8(status_pusk));
    } else {
        host_.setStatusMessage(QString::fromUtf8(status_zapros));
        periodic_opros_ = 0;
        opros_active_ = 0;
        Opros_timer_on(false);
        wc_.pusk->setChecked(false);
        Apply_pusk_stop();
    }
    rd->Bzapros->setVisible(periodic_opros_ == 0);
}

void ReadingsPage::ToolButton1Click() {
    if (periodic_opros_ == 1)
        Apply_pusk_stop();
    else
        wc_.pusk->setChecked(false);
}

void ReadingsPage::Apply_pusk_stop() {
    QToolButton* tb = wc_.pusk;
    if (tb->isChecked()) {
        tb->setText(QStringLiteral("стоп"));
        tb->setIcon(QIcon(QStringLiteral(":/icons/stop.png")));
        Opros_interval(1000);
        Opros_timer_on(true);
        opros_active_ = 1;
    } else {
        tb->setText(QStringLiteral("пуск"));
        tb->setIcon(QIcon(QStringLiteral(":/icons/pusk.png")));
        Opros_timer_on(false);
        opros_active_ = 0;
    }
    tb->update();
}

void ReadingsPage::CBtime_oprosChange() {
    const int i = wc_.time_opros->currentIndex();
    if (i < 0 || i >= int(lork::period_table.size())) return;
    auto& ls = host_.core().st.ls;
    ls.time_opros_index = uint8_t(i);
    ls.time_opros = lork::period_table[size_t(i)];
    Opros_interval(ls.time_opros * 1000);
}

void ReadingsPage::BzaprosClick() {
    lork::ExchangeFeed::CommandScope query(host_.core().feed, lork::Command::Query);
    host_.showInfo();
    Opros_all();
}

void ReadingsPage::TabSheet1Show() {
    host_.setStatusMessage(QString::fromUtf8(status_zapros));
    if (opros_active_ == 1) {
        Opros_timer_on(true);
        host_.setStatusMessage(
            QStringLiteral(" Идет периодический опрос каждые %1c").arg(host_.core().st.ls.time_opros));
    } else {
        Opros_timer_on(false);
    }
}

void ReadingsPage::TabSheet1Hide() { Opros_timer_on(false); }

// ---------------------------------------------------------------------------
// Single-value reads

void ReadingsPage::Show_res(uint8_t res) { rd->LEres->setText(QString::number(res)); }

void ReadingsPage::LEresDblClick() {
    if (host_.exchange(3, 0x0A00, 1) == 0) Show_res(host_.core().st.dev.res);
}

void ReadingsPage::LEkol_stepDblClick() {
    if (host_.exchange(3, 0x0A01, 1) == 0) rd->LEkol_step->setText(QString::number(host_.core().st.dev.kol_step));
}

void ReadingsPage::LEpor_stepDblClick() {
    if (host_.exchange(3, 0x0A02, 1) == 0) rd->LEpor_step->setText(QString::number(host_.core().st.dev.por_step));
}

void ReadingsPage::LEstepClick() {
    const auto& d = host_.core().st.dev;
    if (host_.exchange(4, 0x0010, 1) == 0)
        rd->LEstep->setText(QString::fromStdString(lork::Step_text_click(d.step, d.tew, d.res)));
}

void ReadingsPage::LEizmprocClick() {
    if (host_.exchange(4, 0x0011, 2) == 0) rd->LEizmproc->setText(Number_text(host_.core().st.dev.izm_proc));
}

void ReadingsPage::LEizmznachClick() {
    if (host_.exchange(4, 0x0013, 2) == 0) rd->LEizmznach->setText(Number_text(host_.core().st.dev.izm_znach));
}

void ReadingsPage::LEizm_impClick() {
    if (host_.exchange(4, 0x0015, 2) == 0)
        rd->LEizm_imp->setText(QString::fromStdString(lork::Pulse_text(host_.core().st.dev.izm_imp)));
}

void ReadingsPage::LE_procClick() {
    if (host_.exchange(4, 0x0017, 2) == 0) rd->LE_proc->setText(Number_text(host_.core().st.dev.proc));
}

void ReadingsPage::LE_teClick() {
    if (host_.exchange(4, 0x0019, 2) == 0) rd->LE_te->setText(Number_text(host_.core().st.dev.te));
}

void ReadingsPage::LE_procwClick() {
    if (host_.exchange(4, 0x001B, 1) == 0)
        rd->LE_procw->setText(Localised(lork::Decimal_float(host_.core().st.dev.procw, '.')));
}

void ReadingsPage::LE_tewClick() {
    if (host_.exchange(4, 0x001C, 1) == 0)
        rd->LE_tew->setText(Localised(lork::Decimal_float(host_.core().st.dev.tew, '.')));
}

void ReadingsPage::Ed_nameClick() {
    if (host_.exchange(4, 0x0200, 3) == 0)
        wc_.name->setText(QString::fromStdString(lork::cp1251_to_display(host_.core().st.dev.reg_text)));
    wc_.name->repaint();
}

void ReadingsPage::Ed_versionClick() {
    if (host_.exchange(4, 0x020A, 5) == 0)
        wc_.version->setText(QString::fromStdString(lork::cp1251_to_display(host_.core().st.dev.reg_text)));
    wc_.version->repaint();
}

void ReadingsPage::L_SumResClick() {
    if (host_.exchange(3, 0x0A06, 1) == 0) rd->L_SumRes->setText(QString::number(host_.core().st.dev.sum_res));
}

void ReadingsPage::L_ProcdopuskClick() {
    if (host_.exchange(3, 0x0A07, 1) == 0)
        rd->L_Procdopusk->setText(QString::number(host_.core().st.dev.proc_dopusk));
}

void ReadingsPage::LvindClick() {
    if (host_.exchange(3, 0x0A05, 1) == 0) Choose_v_ind(host_.core().st.dev.v_ind);
}

void ReadingsPage::LEizmznachDblClick() {
    LEizmznachClick();
    LE_teClick();
    LE_tewClick();
}

void ReadingsPage::LEizmprocDblClick() {
    LEizmprocClick();
    LE_procClick();
    LE_procwClick();
}
