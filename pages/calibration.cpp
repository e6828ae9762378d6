// The calibration page (TabSheet3): the stored and the newly measured pulse
// counts of the 0 % and 100 % points, their EEPROM write and the permission
// for calibration from the PC.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>
#include <cstdio>

#include "app/tfglav.h"
#include "pages/click_filter.h"
#include "pages/page_values.h"
#include "platform/cp1251.h"
#include "ui_page_calibr.h"

using namespace lork;

namespace {
constexpr uint16_t REG_CAL0 = 0x0900;    // 0x0900 high word, 0x0901 low word
constexpr uint16_t REG_CAL100 = 0x0902;  // 0x0902 high word, 0x0903 low word
constexpr uint16_t REG_CAL_ENABLE = 0x0A04;
constexpr uint16_t REG_IZM_IMP = 0x0015;  // input 0x0015 high word, 0x0016 low word
// The instrument needs this long after the stored value is read before a
// new measurement is worth taking.
constexpr int kSettleMs = 2000;

QString qs(const std::string& s) { return QString::fromStdString(s); }

// "%8.3f" with the decimal separator of the user's locale (and, unlike the
// locale's own number format, no digit grouping).
QString number8_3(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%8.3f", v);
    QString t = QString::fromLatin1(buf);
    t.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
    return t;
}
}  // namespace

// The widgets of one half of the procedure.
struct TFglav::CalHalf {
    uint16_t reg;
    QPushButton* old_btn;
    QLineEdit *dec, *hi, *lo;
    QLabel* instruction;
    QPushButton* new_btn;
    QLineEdit *new_dec, *new_hi, *new_lo;
    QToolButton* save;
    uint32_t DeviceState::*stored;
    const char* ok_text;
};

TFglav::CalHalf TFglav::Cal_half(bool hundred) {
    if (!hundred)
        return {REG_CAL0,       pc->B_cal0_old,    pc->Ecal0L,        pc->Ecal0_2b_h,    pc->Ecal0_2b_l,
                pc->L_cal0_1,   pc->B_cal0_new,    pc->Ecal0_new,     pc->Ecal0new_2b_h, pc->Ecal0new_2b_l,
                pc->SB_save_cal0, &DeviceState::cal0, "0%  OK!"};
    return {REG_CAL100,      pc->B_cal100_old,   pc->Ecal100L,      pc->Ecal100_2b_h,    pc->Ecal100_2b_l,
            pc->L_cal100_1,  pc->B_cal100_new,   pc->Ecal100_new,   pc->Ecal100new_2b_h, pc->Ecal100new_2b_l,
            pc->SB_save_cal100, &DeviceState::cal100, "100% OK!"};
}

void TFglav::Setup_page_calibration() {
    auto form = std::make_shared<Ui::PageCalibr>();
    auto* page = new QWidget;
    form->setupUi(page);
    pc = form.get();
    keepPagePart(form);
    addPageWidget(2, page);

    connect(pc->B_cal0_old, &QPushButton::clicked, this, [this] { B_cal0_oldClick(); });
    connect(pc->B_cal0_new, &QPushButton::clicked, this, [this] { B_cal0_newClick(); });
    connect(pc->SB_save_cal0, &QToolButton::clicked, this, [this] { SB_save_cal0Click(); });
    connect(pc->B_cal100_old, &QPushButton::clicked, this, [this] { B_cal100_oldClick(); });
    connect(pc->B_cal100_new, &QPushButton::clicked, this, [this] { B_cal100_newClick(); });
    connect(pc->SB_save_cal100, &QToolButton::clicked, this, [this] { SB_save_cal100Click(); });
    connect(pc->SBizm_enable, &QToolButton::clicked, this, [this] { SBizm_enableClick(); });
    pc->STcal_enable->installEventFilter(new pages::ClickFilter(this, [this] { STcal_enableClick(); }));
    // The two measured values re-read the readings page's own fields, not
    // these: the same handlers as a click there.
    for (QLineEdit* e : {pc->LEcal_proc, pc->LEcal_te})
        e->installEventFilter(
            new pages::ClickFilter(this, [this] { LEizmprocClick(); }, [this] { LEizmprocDblClick(); }));
}

void TFglav::TabSheet3Hide() {}

void TFglav::Cal_report(bool boxed) {
    const auto& ex = core().st.ex;
    const QString text = qs(Kod_text_dump(ex, ex.kod_rez));
    if (boxed)
        message(text);
    else
        addInfoLine(text);
}

void TFglav::Read_cal_enable() {
    if (Exchange(3, REG_CAL_ENABLE, 1) != 0) {
        Cal_report(false);
        return;
    }
    const int e = core().st.dev.cal_enable;
    pc->CBenable_calibr->setCurrentIndex(e < pc->CBenable_calibr->count() ? e : -1);
}

void TFglav::Show_cal_CI() {
    auto& ex = core().st.ex;
    ex.kod_rez = Read_CI();
    if (ex.kod_rez != 0) {
        Cal_report(true);
        return;
    }
    const auto pairs = pages::ci_pairs(core().st.dev.reg_text);
    QLineEdit* fields[] = {pc->Ecal_CI4, pc->Ecal_CI3, pc->Ecal_CI2, pc->Ecal_CI1};
    for (size_t i = 0; i < 4; ++i) fields[i]->setText(qs(cp1251_to_display(pairs[i])));
}

void TFglav::Cal_read_stored(bool hundred) {
    const CalHalf h = Cal_half(hundred);
    if (Exchange(3, h.reg, 2) != 0) {
        Cal_report(false);
        return;
    }
    const uint32_t v = core().st.dev.*h.stored;
    const pages::CalViews views = pages::cal_views(v);
    h.hi->setText(qs(views.hi));
    h.lo->setText(qs(views.lo));
    h.dec->setText(qs(views.dec));
    h.instruction->setEnabled(true);
    h.dec->repaint();
    // Blocks the window on purpose: nothing may be pressed while the
    // instrument settles.
    core().link.clock().sleepMs(kSettleMs);
    h.new_btn->setEnabled(true);
}

void TFglav::Cal_measure(bool hundred) {
    const CalHalf h = Cal_half(hundred);
    auto& ex = core().st.ex;
    auto& dev = core().st.dev;
    if (Exchange(4, REG_IZM_IMP, 2) != 0) {
        Cal_report(false);
    } else {
        const pages::CalViews views = pages::cal_views(dev.izm_imp);
        h.new_dec->setText(qs(pages::pulses_text(dev.izm_imp)));
        h.new_hi->setText(qs(views.hi));
        h.new_lo->setText(qs(views.lo));
        ex.kod_rez = core().dev.Read_izm();
        Show_tuda_suda();
        if (ex.kod_rez != 0) {
            Cal_report(false);
        } else {
            pc->LEcal_proc->setText(number8_3(dev.izm_proc));
            pc->LEcal_te->setText(number8_3(dev.izm_znach));
        }
        h.save->setEnabled(true);
    }
    Show_cal_CI();
}

void TFglav::Cal_save(bool hundred) {
    const CalHalf h = Cal_half(hundred);
    Read_cal_enable();
    // The count current now, which the measurement block read last.
    const uint32_t imp = core().st.dev.izm_imp;
    const std::vector<uint16_t> values{pages::high_word(imp), pages::low_word(imp)};
    if (Exchange(16, h.reg, 2, values) != 0)
        Cal_report(true);
    else
        pc->ST_otvet->setText(QString::fromUtf8(h.ok_text));
    Show_cal_CI();
}

void TFglav::B_cal0_oldClick() { Cal_read_stored(false); }
void TFglav::B_cal100_oldClick() { Cal_read_stored(true); }
void TFglav::B_cal0_newClick() { Cal_measure(false); }
void TFglav::B_cal100_newClick() { Cal_measure(true); }
void TFglav::SB_save_cal0Click() { Cal_save(false); }
void TFglav::SB_save_cal100Click() { Cal_save(true); }
void TFglav::STcal_enableClick() { Read_cal_enable(); }

void TFglav::SBizm_enableClick() {
    const int i = pc->CBenable_calibr->currentIndex();
    if (i < 0) {
        message(QString::fromUtf8(pages::msg_not_number));
        return;
    }
    if (Exchange(16, REG_CAL_ENABLE, 1, {uint16_t(i)}) != 0) Cal_report(false);
}

void TFglav::TabSheet3Show() {
    pc->L_cal0_1->setEnabled(false);
    pc->L_cal100_1->setEnabled(false);
    pc->B_cal0_old->setEnabled(true);
    pc->B_cal100_old->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(pc->B_cal0_new), static_cast<QWidget*>(pc->SB_save_cal0),
                       static_cast<QWidget*>(pc->B_cal100_new), static_cast<QWidget*>(pc->SB_save_cal100)})
        w->setEnabled(false);
    for (QLineEdit* e : {pc->Ecal0L, pc->Ecal0_2b_h, pc->Ecal0_2b_l, pc->Ecal0_new, pc->Ecal100L, pc->Ecal100_2b_h,
                         pc->Ecal100_2b_l, pc->Ecal100_new, pc->Ecal_CI1, pc->Ecal_CI2, pc->Ecal_CI3, pc->Ecal_CI4,
                         pc->Ecal0new_2b_h, pc->Ecal0new_2b_l, pc->Ecal100new_2b_h, pc->Ecal100new_2b_l,
                         pc->LEcal_proc, pc->LEcal_te})
        e->clear();
    Read_cal_enable();
    setStatusMessage(QStringLiteral(" Здесь можем откалибровать прибор заново "));
}
