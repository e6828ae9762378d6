// The readings page's handlers: the query and its parts, the two commands,
// the polling, the single-value reads.
#include <QButtonGroup>
#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QStringList>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <iterator>
#include <vector>


#include "pages/page_format.h"
#include "pages/page_host.h"
#include "pages/readings.h"
#include "pages/readings_look.h"
#include "platform/cp1251.h"
#include "protocol/registers.h"
#include "protocol/value_formats.h"
#include "ui_page_readings.h"
#include "widgets/accessible.h"

using lork::pages::localised;
using lork::pages::numberText;
using lork::pages::showText;
namespace reg = lork::reg;

namespace {

// Unit texts of the indication views 1..3.
const char* const v_ind_names[] = {" %", " Ом", "ступень"};

const char* const statusZapros = " Для обновления информации нажмите кнопку \"запрос\" ";
const char* const statusPusk = " Для запуска периодического опроса нажмите кнопку ПУСК";
const char* const staleSaid = "прежнее значение, прибор не ответил";

// A value the instrument did not confirm at the last try stays on the page,
// faded, so that it does not pass for a live reading.
void setStale(QWidget* w, bool stale) {
    if (!w || w->property("stale").toBool() == stale) return;
    w->setProperty("stale", stale);
    // Heard where the fading is seen.
    w->setAccessibleDescription(stale ? QString::fromUtf8(staleSaid) : QString());
    if (!stale) {
        w->setGraphicsEffect(nullptr);
        return;
    }
    auto* fade = new QGraphicsOpacityEffect(w);
    fade->setOpacity(0.35);
    w->setGraphicsEffect(fade);
}

}  // namespace

// ---------------------------------------------------------------------------
// The query and its parts

void ReadingsPage::markAllStale() {
    for (QWidget* w : std::initializer_list<QWidget*>{
             rd->LEres, rd->LEkol_step, rd->LEpor_step, rd->LEizmproc, rd->LEizmznach, rd->LEizm_imp, rd->LEstep,
             rd->LE_proc, rd->LE_te, rd->LE_procw, rd->LE_tew, rd->L_SumRes, rd->L_Procdopusk, rd->ST_v_ind,
             rd->LkluchK1, rd->LkluchK2})
        setStale(w, true);
    for (QLineEdit* e : ciFields()) setStale(e, true);
}

void ReadingsPage::Opros_all() {
    auto& core = host_.core();
    const auto& dev = core.st.dev;
    Show_dinputs();
    Show_CI();
    Show_kluchK1K2();

    const bool params = core.dev.Read_params() == 0;
    for (QWidget* w : {rd->LEres, rd->LEkol_step, rd->LEpor_step}) setStale(w, !params);
    if (params) {
        showText(rd->LEres, QString::number(dev.res));
        showText(rd->LEkol_step, QString::number(dev.kol_step));
        showText(rd->LEpor_step, QString::number(dev.por_step));
        // A brightness above 2 stands at the top (position 0), as the slider clamps it.
        rd->TrackBar_light->setValue(std::clamp(2 - int(dev.light), 0, 2));
        chooseVInd(dev.v_ind);
    }

    const bool izm = core.dev.Read_izm() == 0;
    for (QWidget* w : {rd->LEizmproc, rd->LEizmznach, rd->LEizm_imp, rd->LEstep}) setStale(w, !izm);
    if (izm) {
        showText(rd->LEizmproc, numberText(dev.izm_proc));
        showText(rd->LEizmznach, numberText(dev.izm_znach));
        showText(rd->LEizm_imp, QString::fromStdString(lork::pulseText(dev.izm_imp)));
        showText(rd->LEstep, QString::fromStdString(lork::stepText(dev.step, dev.tew, dev.res)));
    }
}

// Chooses the view's item, which writes the view back when the item changes.
// A view outside 1..3 has no item: the choice is cleared and nothing is written.
void ReadingsPage::chooseVInd(uint8_t v_ind) {
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
    const bool ok = host_.exchange(reg::ReadInputRegisters, reg::ciText, reg::ciCount) == 0;
    for (QLineEdit* e : ciFields()) setStale(e, !ok);
    if (ok) {
        // Eight characters, two per digit position, shown as the instrument
        // sent them; bytes without a glyph get a visible placeholder.
        std::string t = dev.reg_text;
        t.resize(std::max<size_t>(t.size(), 8), ' ');
        auto fields = ciFields();
        for (size_t i = 0; i < 4; ++i)
            showText(fields[i], QString::fromStdString(lork::cp1251ToDisplay(t.substr(2 * i, 2))));
        const QColor& c = dev.ci_flag == 0 ? lork::pages::ciColourOk : lork::pages::ciColourFlag;
        for (QLineEdit* e : fields) lork::pages::setTextColour(e, c);
    }
    Show_v_ind();
    describeIndicator();
}

void ReadingsPage::describeIndicator() {
    // Each position is a character and its decimal point or a blank: side
    // by side without the blanks they read as the glass shows them.
    QString digits;
    for (QLineEdit* e : ciFields()) digits += e->text().remove(QLatin1Char(' '));
    const QString text = digits.simplified() + QLatin1Char(' ') + rd->ST_v_ind->text().simplified();
    lork::widgets::setState(rd->indicator_panel, text.trimmed());
    describeReadout();
}

// The readout as one sentence, for the group that takes the focus for it:
// the indicator, then every LED, key and switch.
void ReadingsPage::describeReadout() {
    const QString shown = rd->indicator_panel->accessibleDescription();
    QString reading = QStringLiteral("показание ");
    if (rd->E_CI1->text().trimmed().isEmpty() && rd->E_CI4->text().trimmed().isEmpty())
        reading += QStringLiteral("не прочитано");
    else
        reading += shown;
    if (rd->E_CI1->property("stale").toBool()) reading += QStringLiteral(" (") + QString::fromUtf8(staleSaid) + ')';
    lork::widgets::setState(rd->GB_CI, lightsSaid_.isEmpty() ? reading : reading + QStringLiteral(", ") + lightsSaid_);
}

QString ReadingsPage::readoutText() const { return rd->GB_CI->accessibleDescription(); }

// Each LED, key and switch is two or three pictures, one shown at a time:
// every picture of it carries the name and the state of the one shown.
void ReadingsPage::describeLights() {
    struct Picture {
        QLabel* image;
        const char* state;
    };
    struct Light {
        const char* name;
        std::vector<Picture> pictures;
    };
    const char* const dark = "не горит";
    const char* const lit = "горит";
    const char* const blinking = "мигает";
    const char* const off = "выключен";
    const char* const on = "включен";
    const Light lights[] = {
        {"P", {{rd->Image_svd_P_off, dark}, {rd->Image_svd_P_on, lit}, {rd->Image_svd_P_mig, blinking}}},
        {"K1", {{rd->Image_svd_K1_off, dark}, {rd->Image_svd_K1_on, lit}}},
        {"K2", {{rd->Image_svd_K2_off, dark}, {rd->Image_svd_K2_on, lit}}},
        {"I", {{rd->Image_svd_I_off, dark}, {rd->Image_svd_I_on, lit}, {rd->Image_svd_I_mig, blinking}}},
        {"ключ K1", {{rd->Image_K1_off, off}, {rd->Image_K1_on, on}}},
        {"ключ K2", {{rd->Image_K2_off, off}, {rd->Image_K2_on, on}}},
        {"PR", {{rd->Image_swPR, off}, {rd->Image_swPR_on, on}}},
        {"ST", {{rd->Image_swST, off}, {rd->Image_swST_on, on}}},
        {"BL", {{rd->Image_swBL, off}, {rd->Image_swBL_on, on}}},
        {"Z", {{rd->Image_swZ, off}, {rd->Image_swZ_on, on}}},
    };
    QStringList said;
    for (const Light& l : lights) {
        const auto shown = std::find_if(l.pictures.begin(), l.pictures.end(),
                                        [](const Picture& p) { return !p.image->isHidden(); });
        const QString state = QString::fromUtf8(shown == l.pictures.end() ? "" : shown->state);
        for (const Picture& p : l.pictures) {
            // Qt announces every naming, the same name too.
            if (p.image->accessibleName() != QString::fromUtf8(l.name)) p.image->setAccessibleName(QString::fromUtf8(l.name));
            lork::widgets::setState(p.image, state);
        }
        said << QString::fromUtf8(l.name) + QLatin1Char(' ') + state;
    }
    // LEDs 0..3, keys 4..5, switches 6..9: the keys and the switches are
    // also heard on their own captions, which re-read them.
    // A reader reads a label's name, not its description: the states follow the caption.
    const auto nameWith = [](QLabel* caption, const QStringList& states) {
        const QString name = lork::widgets::captionName(caption->text()) + QStringLiteral(": ") +
                             states.join(QStringLiteral(", "));
        if (caption->accessibleName() != name) caption->setAccessibleName(name);
    };
    nameWith(rd->STkluchK1K2, said.mid(4, 2));
    nameWith(rd->STdinputs, said.mid(6));
    lightsSaid_ = said.join(QStringLiteral(", "));
    describeReadout();
}

void ReadingsPage::Show_v_ind() { readSingle(rd->ST_v_ind); }

void ReadingsPage::Show_kluchK1K2() {
    const bool ok = host_.exchange(reg::ReadCoils, reg::kluch_K1, reg::coilCount) == 0;
    setStale(rd->LkluchK1, !ok);
    setStale(rd->LkluchK2, !ok);
    if (!ok) return;
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
    describeLights();
}

void ReadingsPage::Show_dinputs() {
    if (host_.exchange(reg::ReadDiscreteInputs, reg::sw_PR, reg::inputCount) != 0) return;
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
    describeLights();
}

// A re-read by Enter on the readout is heard as the readout.
void ReadingsPage::GB_CIClick() {
    Show_CI();
    host_.announce(readoutText());
}
void ReadingsPage::STkluchK1K2Click() {
    Show_kluchK1K2();
    host_.announce(rd->STkluchK1K2->accessibleDescription());
}
void ReadingsPage::STdinputsClick() {
    Show_dinputs();
    host_.announce(rd->STdinputs->accessibleDescription());
}

// ---------------------------------------------------------------------------
// Commands

void ReadingsPage::TrackBar_lightChange() {
    const auto light = uint16_t(rd->TrackBar_light->maximum() - rd->TrackBar_light->value());
    host_.exchange(reg::WriteMultipleRegisters, reg::light, 1, {light});
}

void ReadingsPage::RGv_indClick() {
    const int item = RGv_ind_group->checkedId();
    if (item < 0) return;
    host_.exchange(reg::WriteMultipleRegisters, reg::v_ind, 1, {uint16_t(item + 1)});
}

// ---------------------------------------------------------------------------
// Polling

void ReadingsPage::oprosTimerOn(bool on) {
    QTimer* t = host_.pollTimer();
    if (!on)
        t->stop();
    else if (!t->isActive())
        t->start();
}

// Setting the interval it already has leaves a running countdown alone;
// another interval restarts it from now.
void ReadingsPage::oprosInterval(int ms) {
    QTimer* t = host_.pollTimer();
    if (t->interval() != ms) t->setInterval(ms);
}

void ReadingsPage::Timer_oprosTimer() {
    lork::ExchangeFeed::CommandScope polling(host_.core().feed, lork::Command::Polling);
    auto& st = host_.core().st;
    host_.showInfo();
    // An address outside 1..247 has no entry: it counts as one that never answered.
    if (lork::foundScorAt(st.found_scor, st.ls.adr) == 0) {
        host_.addInfoLine(QStringLiteral("scor=0 а скорость-то потерялась"));
        host_.setStatusMessage(QStringLiteral("  сброшен ПЕРИОДИЧЕСКИЙ опрос (перестал отвечать ) "));
        oprosTimerOn(false);
    } else {
        if (host_.core().dev.Read_adr() == 0) {
            const QString before = readoutText();
            Opros_all();
            // A reader drops a Qt object's change of description: the
            // focused readout's change is announced.
            if (rd->GB_CI->hasFocus() && readoutText() != before) host_.announce(readoutText());
            host_.setStatusMessage(QStringLiteral(" Запущен ПЕРИОДИЧЕСКИЙ опрос (Т= %1c)").arg(st.ls.time_opros));
        } else {
            host_.addInfoLine(
                QStringLiteral("sys_num=%1 перестал отвечать на  scor=%2").arg(st.ls.adr).arg(st.ls.scor));
            // Kept on by the operator's choice, polling rides out a glitch: the
            // values fade and the next good tick brings them back.
            if (!st.ls.keepPolling) {
                rd->RGtyp_opros_1->setChecked(true);
                oprosTimerOn(false);
            }
            markAllStale();
        }
        host_.infoWindow()->hide();
    }
    oprosInterval(st.ls.time_opros * 1000);
}

void ReadingsPage::RGtyp_oprosClick() {
    if (RGtyp_opros_group->checkedId() == 0) {
        periodic_opros_ = 1;
        host_.setStatusMessage(QString::fromUtf8(statusPusk));
    } else {
        const uint8_t wasActive = opros_active_;
        host_.setStatusMessage(QString::fromUtf8(statusZapros));
        periodic_opros_ = 0;
        opros_active_ = 0;
        oprosTimerOn(false);
        wc_.pusk->setChecked(false);
        Apply_pusk_stop();
        if (wasActive) host_.announce(QStringLiteral("периодический опрос остановлен"));
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
    const uint8_t wasActive = opros_active_;
    QToolButton* tb = wc_.pusk;
    if (tb->isChecked()) {
        tb->setText(QStringLiteral("стоп"));
        tb->setIcon(QIcon(QStringLiteral(":/icons/stop.png")));
        oprosInterval(1000);
        oprosTimerOn(true);
        opros_active_ = 1;
    } else {
        tb->setText(QStringLiteral("пуск"));
        tb->setIcon(QIcon(QStringLiteral(":/icons/pusk.png")));
        oprosTimerOn(false);
        opros_active_ = 0;
    }
    tb->update();
    if (opros_active_ != wasActive)
        host_.announce(opros_active_ ? QStringLiteral("периодический опрос запущен, каждые %1 с")
                                           .arg(host_.core().st.ls.time_opros)
                                     : QStringLiteral("периодический опрос остановлен"));
}

void ReadingsPage::CBtime_oprosChange() {
    const int i = wc_.time_opros->currentIndex();
    if (i < 0 || i >= int(lork::periodTable.size())) return;
    auto& ls = host_.core().st.ls;
    ls.time_opros_index = uint8_t(i);
    ls.time_opros = lork::periodTable[size_t(i)];
    oprosInterval(ls.time_opros * 1000);
}

void ReadingsPage::BzaprosClick() {
    lork::ExchangeFeed::CommandScope query(host_.core().feed, lork::Command::Query);
    host_.showInfo();
    Opros_all();
    // A silent instrument is told by the link's state instead.
    if (!rd->E_CI1->property("stale").toBool()) host_.announce(readoutText());
}

void ReadingsPage::TabSheet1Show() {
    host_.setStatusMessage(QString::fromUtf8(statusZapros));
    if (opros_active_ == 1) {
        oprosTimerOn(true);
        host_.setStatusMessage(
            QStringLiteral(" Идет периодический опрос каждые %1c").arg(host_.core().st.ls.time_opros));
    } else {
        oprosTimerOn(false);
    }
}

void ReadingsPage::TabSheet1Hide() { oprosTimerOn(false); }

// ---------------------------------------------------------------------------
// Single-value reads

namespace {

void setFieldText(QWidget* field, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(field))
        e->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(field))
        l->setText(text);
}

QString number(long v) { return QString::number(v); }
QString fromCp1251(const std::string& cp1251) { return QString::fromStdString(lork::cp1251ToDisplay(cp1251)); }

}  // namespace

// The one exchange behind a field and the text it then shows; a failed
// exchange has been reported and leaves the field as it was.
void ReadingsPage::readSingle(QWidget* field) {
    using D = lork::DeviceState;
    struct Row {
        QWidget* field;
        uint8_t func;
        uint16_t start;
        uint16_t kol;
        QString (*format)(const D&);
        bool repaint;  // the window's own fields are shown at once, read or not
    };
    constexpr uint8_t holding = reg::ReadHoldingRegisters, input = reg::ReadInputRegisters;
    const Row rows[] = {
        {rd->LEres, holding, reg::res, 1, [](const D& d) { return number(d.res); }, false},
        {rd->LEkol_step, holding, reg::kol_step, 1, [](const D& d) { return number(d.kol_step); }, false},
        {rd->LEpor_step, holding, reg::por_step, 1, [](const D& d) { return number(d.por_step); }, false},
        {rd->L_SumRes, holding, reg::sum_res, 1, [](const D& d) { return number(d.sum_res); }, false},
        {rd->L_Procdopusk, holding, reg::proc_dopusk, 1, [](const D& d) { return number(d.proc_dopusk); }, false},
        {rd->ST_v_ind, holding, reg::v_ind, 1,
         [](const D& d) {
             return d.v_ind >= 1 && d.v_ind <= 3 ? QString::fromUtf8(v_ind_names[d.v_ind - 1])
                                                 : QStringLiteral("вид %1?").arg(d.v_ind);
         },
         false},
        {rd->LEstep, input, reg::step, 1,
         [](const D& d) { return QString::fromStdString(lork::stepTextClick(d.step, d.tew, d.res)); }, false},
        {rd->LEizmproc, input, reg::izm_proc, 2, [](const D& d) { return numberText(d.izm_proc); }, false},
        {rd->LEizmznach, input, reg::izm_znach, 2, [](const D& d) { return numberText(d.izm_znach); }, false},
        {rd->LEizm_imp, input, reg::izm_imp, 2,
         [](const D& d) { return QString::fromStdString(lork::pulseText(d.izm_imp)); }, false},
        {rd->LE_proc, input, reg::proc, 2, [](const D& d) { return numberText(d.proc); }, false},
        {rd->LE_te, input, reg::te, 2, [](const D& d) { return numberText(d.te); }, false},
        {rd->LE_procw, input, reg::procw, 1, [](const D& d) { return localised(lork::decimalFloat(d.procw, '.')); },
         false},
        {rd->LE_tew, input, reg::tew, 1, [](const D& d) { return localised(lork::decimalFloat(d.tew, '.')); }, false},
        {wc_.name, input, reg::name, reg::nameCount, [](const D& d) { return fromCp1251(d.reg_text); }, true},
        {wc_.version, input, reg::version, reg::versionCount, [](const D& d) { return fromCp1251(d.reg_text); }, true},
    };
    const auto row = std::find_if(std::begin(rows), std::end(rows), [field](const Row& r) { return r.field == field; });
    if (row == std::end(rows)) return;
    const bool ok = host_.exchange(row->func, row->start, row->kol) == 0;
    setStale(field, !ok);
    if (ok) setFieldText(field, row->format(host_.core().st.dev));
    if (row->repaint) field->repaint();
}

void ReadingsPage::showRes(uint8_t res) { rd->LEres->setText(QString::number(res)); }

void ReadingsPage::LEresDblClick() { readSingle(rd->LEres); }
void ReadingsPage::LEkol_stepDblClick() { readSingle(rd->LEkol_step); }
void ReadingsPage::LEpor_stepDblClick() { readSingle(rd->LEpor_step); }
void ReadingsPage::LEstepClick() { readSingle(rd->LEstep); }
void ReadingsPage::LEizmprocClick() { readSingle(rd->LEizmproc); }
void ReadingsPage::LEizmznachClick() { readSingle(rd->LEizmznach); }
void ReadingsPage::LEizm_impClick() { readSingle(rd->LEizm_imp); }
void ReadingsPage::LE_procClick() { readSingle(rd->LE_proc); }
void ReadingsPage::LE_teClick() { readSingle(rd->LE_te); }
void ReadingsPage::LE_procwClick() { readSingle(rd->LE_procw); }
void ReadingsPage::LE_tewClick() { readSingle(rd->LE_tew); }
void ReadingsPage::Ed_nameClick() { readSingle(wc_.name); }
void ReadingsPage::Ed_versionClick() { readSingle(wc_.version); }
void ReadingsPage::L_SumResClick() { readSingle(rd->L_SumRes); }
void ReadingsPage::L_ProcdopuskClick() { readSingle(rd->L_Procdopusk); }

void ReadingsPage::LvindClick() {
    if (host_.exchange(reg::ReadHoldingRegisters, reg::v_ind, 1) == 0) chooseVInd(host_.core().st.dev.v_ind);
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
