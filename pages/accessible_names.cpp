#include "pages/accessible_names.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include "protocol/register_table.h"
#include "ui_page_calibr.h"
#include "ui_page_params.h"
#include "ui_page_readings.h"
#include "ui_page_timeouts.h"
#include "widgets/accessible.h"
#include "widgets/updown.h"

using lork::widgets::captionName;
using lork::widgets::nameControl;
using lork::widgets::nameAfter;
using lork::widgets::nameArrows;

namespace lork::pages {

namespace {

const QString inDevice = QStringLiteral("в приборе");
const QString offered = QStringLiteral("новое значение");

// The indicator's four positions, left to right.
void namePositions(std::initializer_list<QLineEdit*> fields) {
    int n = 0;
    for (QLineEdit* e : fields) nameControl(e, QStringLiteral("индикатор, разряд %1").arg(++n));
}

}  // namespace

void nameControls(Ui::PageReadings& rd) {
    nameControl(rd.indicator_panel, QStringLiteral("индикатор"));
    namePositions({rd.E_CI4, rd.E_CI3, rd.E_CI2, rd.E_CI1});
    nameControl(rd.Image_swRS485, QStringLiteral("RS485"));
    nameAfter(rd.Llight, rd.TrackBar_light);
    // The LEDs, keys and switches get their states from the page's reads.
}

void nameControls(Ui::PageParams& pp) {
    // One row per value: its caption, the value in the instrument, the
    // offered value, the read and the change; the buttons' texts repeat
    // from row to row, so their names say which value they act on.
    struct Row {
        QLabel* caption;
        QLineEdit* current;
        QWidget* offer;
        UpDown* arrows;
        QPushButton* read;
        QToolButton* write;
        uint16_t reg;  // the holding register the row shows
    };
    const Row rows[] = {
        {pp.L_res, pp.Ecur_res, pp.CBust_res, nullptr, pp.B_read_res, pp.SB_izmres, lork::reg::res},
        {pp.L_kolstep, pp.Ecur_kolstep, pp.Eust_kol_step, pp.UpDown_kolstep, pp.B_read_kolstep, pp.SB_izmkolstep,
         lork::reg::kol_step},
        {pp.L_porstep, pp.Ecur_porstep, pp.Eust_por_step, pp.UpDown_porstep, pp.B_read_porstep, pp.SB_izmporstep,
         lork::reg::por_step},
        {pp.Lintscor, pp.Eint_cur_scor, pp.CBint_scor, nullptr, pp.Bread_scor, pp.SBint_write_scor,
         lork::reg::scor_code},
        {pp.Lintparity, pp.Eint_cur_parity, pp.CBint_parity, nullptr, pp.Bread_parity, pp.SBint_write_parity,
         lork::reg::parity},
        {pp.Lintstopbit, pp.Eint_cur_stopbit, pp.CBint_stopbit, nullptr, pp.Bread_stopbit, pp.SBint_write_stopbit,
         lork::reg::stopbit},
        {pp.Lintsysnum, pp.Eint_cur_sysnum, pp.Eint_sysnum, pp.UpDown_int_adr, pp.Bread_sysnum, pp.SBint_write_sysnum,
         lork::reg::adr},
    };
    for (const Row& r : rows) {
        // The buttons say the value as a decoded line does ("R"), or by
        // its caption where it has no symbol ("скорость").
        const lork::reg::Register* g = lork::reg::registerAt(lork::reg::Space::Holding, r.reg);
        const std::string_view word = g->symbol.empty() ? g->caption : g->symbol;
        const QString what = QString::fromUtf8(word.data(), qsizetype(word.size()));
        nameAfter(r.caption, r.current, inDevice);
        nameAfter(r.caption, r.offer, offered);
        if (r.arrows) nameArrows(r.arrows, r.offer->accessibleName());
        nameControl(r.read, QStringLiteral("читать ") + what);
        nameControl(r.write, QStringLiteral("изменить ") + what);
    }
    nameAfter(pp.Ltout_bytes, pp.Enastr_tout_bytes);
    nameAfter(pp.Ltout_before, pp.Enastr_tout_before);
    nameAfter(pp.Ltout_after, pp.Enastr_tout_after);
}

void nameControls(Ui::PageCalibr& pc) {
    struct Point {
        const char* point;
        QLineEdit *stored, *storedHi, *storedLo, *measured, *measuredHi, *measuredLo;
    };
    const Point points[] = {
        {"0 %", pc.Ecal0L, pc.Ecal0_2b_h, pc.Ecal0_2b_l, pc.Ecal0_new, pc.Ecal0new_2b_h, pc.Ecal0new_2b_l},
        {"100 %", pc.Ecal100L, pc.Ecal100_2b_h, pc.Ecal100_2b_l, pc.Ecal100_new, pc.Ecal100new_2b_h,
         pc.Ecal100new_2b_l},
    };
    for (const Point& p : points) {
        const QString stored = QStringLiteral("калибровка %1 в приборе").arg(QString::fromUtf8(p.point));
        const QString measured = QStringLiteral("калибровка %1 измерена").arg(QString::fromUtf8(p.point));
        nameControl(p.stored, stored);
        nameControl(p.storedHi, stored + QStringLiteral(", старшее слово"));
        nameControl(p.storedLo, stored + QStringLiteral(", младшее слово"));
        nameControl(p.measured, measured);
        nameControl(p.measuredHi, measured + QStringLiteral(", старшее слово"));
        nameControl(p.measuredLo, measured + QStringLiteral(", младшее слово"));
    }
    nameControl(pc.LEcal_proc, QStringLiteral("измеренное сопротивление в %"));
    nameControl(pc.LEcal_te, QStringLiteral("измеренное сопротивление в Ом"));
    namePositions({pc.Ecal_CI4, pc.Ecal_CI3, pc.Ecal_CI2, pc.Ecal_CI1});
    nameControl(pc.CBenable_calibr, captionName(pc.STcal_enable->text()), QStringLiteral("разрешение калибровки"));
    nameControl(pc.SBizm_enable, QStringLiteral("изменить разрешение калибровки"));
    lork::widgets::nameValueLabel(pc.ST_otvet, QStringLiteral("ответ прибора на запись калибровки"));
    // The instructions between the steps are read in their turn, by Tab.
    for (QLabel* l : {pc.L_cal0_1, pc.L_cal0_2, pc.L_cal100_1, pc.L_cal100_2}) l->setFocusPolicy(Qt::TabFocus);
}

void nameControls(Ui::PageTimeouts& pt) {
    // The port's time-outs: the value in use (named by its caption, its
    // buddy) and the value edited beside it.
    const std::pair<QLineEdit*, UpDown*> edited[] = {{pt.E_RTI, pt.UpDown_RTI},
                                                      {pt.E_RTTM, pt.UpDown_RTTM},
                                                      {pt.E_RTTC, pt.UpDown_RTTC},
                                                      {pt.E_WTTM, pt.UpDown_WTTM},
                                                      {pt.E_WTTC, pt.UpDown_WTTC}};
    QLabel* captions[] = {pt.LE_RTI_label, pt.LE_RTTM_label, pt.LE_RTTC_label, pt.LE_WTTM_label,
                                pt.LE_WTTC_label};
    QLineEdit* inUse[] = {pt.LE_RTI, pt.LE_RTTM, pt.LE_RTTC, pt.LE_WTTM, pt.LE_WTTC};
    // The captions are the port's own field names, in English: the names
    // say them in Russian.
    const char* const russian[] = {"таймаут между байтами при чтении, мс", "множитель таймаута чтения, мс",
                                   "постоянная таймаута чтения, мс", "множитель таймаута записи, мс",
                                   "постоянная таймаута записи, мс"};
    for (size_t i = 0; i < std::size(edited); ++i) {
        const QString caption = QString::fromUtf8(russian[i]);
        captions[i]->setAccessibleName(caption);
        inUse[i]->setAccessibleName(caption);
        nameControl(edited[i].first, caption + QStringLiteral(", ") + offered);
        nameArrows(edited[i].second, edited[i].first->accessibleName());
    }
    nameAfter(pt.Ltoutbyte, pt.E_tout_byte);
    nameArrows(pt.UpDown_Tout_byte, pt.E_tout_byte->accessibleName());
    nameAfter(pt.Ltoutpause, pt.E_tout_pause);
    nameArrows(pt.UpDown_Tout_pause, pt.E_tout_pause->accessibleName());
}

}  // namespace lork::pages
