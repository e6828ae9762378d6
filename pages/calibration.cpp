// The calibration page (TabSheet3): the stored and the newly measured pulse
// counts of the 0 % and 100 % points, their EEPROM write and the permission
// for calibration from the PC.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>

#include <QDateTime>

#include "records/calibration_log.h"
#include "pages/calibration.h"
#include "pages/accessible_names.h"
#include "widgets/ask.h"
#include "widgets/accessible.h"
#include "pages/page_format.h"
#include "pages/page_host.h"
#include "protocol/value_rules.h"
#include "platform/cp1251.h"
#include "protocol/registers.h"
#include "ui_page_calibr.h"

using namespace lork;

namespace {
// The instrument needs this long after the stored value is read before a
// new measurement is worth taking.
constexpr int kSettleMs = 2000;

QString qs(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

// The widgets of one half of the procedure.
struct CalibrationPage::CalHalf {
    uint16_t reg;
    QPushButton* oldBtn;
    QLineEdit *dec, *hi, *lo;
    QLabel* instruction;
    QPushButton* newBtn;
    QLineEdit *newDec, *newHi, *newLo;
    QToolButton* save;
    uint32_t DeviceState::*stored;
    const char* okText;
};

CalibrationPage::CalHalf CalibrationPage::calHalf(bool hundred) const {
    if (!hundred)
        return {reg::cal0,      pc->B_cal0_old,    pc->Ecal0L,        pc->Ecal0_2b_h,    pc->Ecal0_2b_l,
                pc->L_cal0_1,   pc->B_cal0_new,    pc->Ecal0_new,     pc->Ecal0new_2b_h, pc->Ecal0new_2b_l,
                pc->SB_save_cal0, &DeviceState::cal0, "0%  OK!"};
    return {reg::cal100,     pc->B_cal100_old,   pc->Ecal100L,      pc->Ecal100_2b_h,    pc->Ecal100_2b_l,
            pc->L_cal100_1,  pc->B_cal100_new,   pc->Ecal100_new,   pc->Ecal100new_2b_h, pc->Ecal100new_2b_l,
            pc->SB_save_cal100, &DeviceState::cal100, "100% OK!"};
}

CalibrationPage::CalibrationPage(PageHost& host, QWidget* sheet, ReadingsCalls readings, QObject* parent)
    : QObject(parent), host_(host), pc(std::make_unique<Ui::PageCalibr>()), readings_(readings) {
    setObjectName(QStringLiteral("CalibrationPage"));
    auto* page = new QWidget;
    pc->setupUi(page);
    sheet->layout()->addWidget(page);
    pages::nameControls(*pc);

    connect(pc->B_cal0_old, &QPushButton::clicked, this, &CalibrationPage::B_cal0_oldClick);
    connect(pc->B_cal0_new, &QPushButton::clicked, this, &CalibrationPage::B_cal0_newClick);
    connect(pc->SB_save_cal0, &QToolButton::clicked, this, &CalibrationPage::SB_save_cal0Click);
    connect(pc->B_cal100_old, &QPushButton::clicked, this, &CalibrationPage::B_cal100_oldClick);
    connect(pc->B_cal100_new, &QPushButton::clicked, this, &CalibrationPage::B_cal100_newClick);
    connect(pc->SB_save_cal100, &QToolButton::clicked, this, &CalibrationPage::SB_save_cal100Click);
    connect(pc->SBizm_enable, &QToolButton::clicked, this, &CalibrationPage::SBizm_enableClick);
    dialogs_ = realDialogs();
    connect(pc->Button_otchet, &QPushButton::clicked, this, &CalibrationPage::Button_otchetClick);
    connect(pc->Button_pechat, &QPushButton::clicked, this, &CalibrationPage::Button_pechatClick);
    widgets::onRead(pc->STcal_enable, [this] { STcal_enableClick(); });
    // The two measured values re-read the readings page's own fields, not
    // these: the same handlers as a click there.
    for (QLineEdit* e : {pc->LEcal_proc, pc->LEcal_te})
        widgets::onRead(e, readings.izmprocClick, readings.izmprocDblClick);
}

CalibrationPage::~CalibrationPage() = default;

void CalibrationPage::TabSheet3Hide() {}

void CalibrationPage::Read_cal_enable() {
    if (host_.exchange(reg::ReadHoldingRegisters, reg::cal_enable, 1) != 0) return;
    const int e = host_.core().st.dev.cal_enable;
    pc->CBenable_calibr->setCurrentIndex(e < pc->CBenable_calibr->count() ? e : -1);
}

void CalibrationPage::Show_cal_CI() {
    if (host_.exchange(reg::ReadInputRegisters, reg::ciText, reg::ciCount, {}, FailureReport::Box) != 0) return;
    const auto pairs = lork::ciPairs(host_.core().st.dev.reg_text);
    QLineEdit* fields[] = {pc->Ecal_CI4, pc->Ecal_CI3, pc->Ecal_CI2, pc->Ecal_CI1};
    for (size_t i = 0; i < 4; ++i) fields[i]->setText(qs(cp1251ToDisplay(pairs[i])));
}

void CalibrationPage::calReadStored(bool hundred) {
    const CalHalf h = calHalf(hundred);
    if (host_.exchange(reg::ReadHoldingRegisters, h.reg, 2) != 0) return;
    const uint32_t v = host_.core().st.dev.*h.stored;
    stored_[hundred] = v;
    const lork::CalViews views = lork::calViews(v);
    h.hi->setText(qs(views.hi));
    h.lo->setText(qs(views.lo));
    h.dec->setText(qs(views.dec));
    h.instruction->setEnabled(true);
    h.dec->repaint();
    // Blocks the window on purpose: nothing may be pressed while the
    // instrument settles.
    host_.core().link.clock().sleepMs(kSettleMs);
    h.newBtn->setEnabled(true);
}

void CalibrationPage::calMeasure(bool hundred) {
    const CalHalf h = calHalf(hundred);
    const auto& dev = host_.core().st.dev;
    if (host_.exchange(reg::ReadInputRegisters, reg::izm_imp, 2) == 0) {
        const lork::CalViews views = lork::calViews(dev.izm_imp);
        h.newDec->setText(qs(lork::pulsesText(dev.izm_imp)));
        h.newHi->setText(qs(views.hi));
        h.newLo->setText(qs(views.lo));
        measured_[hundred] = host_.core().dev.Read_izm() == 0;
        if (measured_[hundred]) {
            pc->LEcal_proc->setText(pages::numberText(dev.izm_proc));
            pc->LEcal_te->setText(pages::numberText(dev.izm_znach));
        }
        h.save->setEnabled(true);
    }
    Show_cal_CI();
}

void CalibrationPage::calSave(bool hundred) {
    const CalHalf h = calHalf(hundred);
    const auto& dev = host_.core().st.dev;
    // The count current now, which the measurement block read last; taken
    // before the question, whose box lets a polling tick read anew.
    const uint32_t imp = dev.izm_imp;
    const float proc = dev.izm_proc, znach = dev.izm_znach;
    const QString point = QLocale::system().decimalPoint();
    const char decimal = point.size() == 1 && point[0].unicode() < 0x80 ? char(point[0].unicode()) : ',';
    const std::string doubt =
        calib::joined(calib::implausible(hundred ? 100 : 0, imp, measured_[hundred] ? std::optional(proc) : std::nullopt,
                                         stored_[!hundred], decimal));
    if (!doubt.empty()) {
        const QString question = qs(doubt) + QStringLiteral(" Записать всё равно?");
        const bool yes = writeAnyway_ ? writeAnyway_(question)
                                      : widgets::askYesNo(pc->SB_save_cal0->window(), QStringLiteral("калибровка"), question);
        if (!yes) return;
    }
    Read_cal_enable();
    const std::vector<uint16_t> values{lork::highWord(imp), lork::lowWord(imp)};
    if (host_.exchange(reg::WriteMultipleRegisters, h.reg, 2, values, FailureReport::Box) == 0) {
        pc->ST_otvet->setText(QString::fromUtf8(h.okText));
        logWrite(hundred, imp, proc, znach, doubt);
    }
    Show_cal_CI();
}

void CalibrationPage::logWrite(bool hundred, uint32_t written, float proc, float znach, const std::string& doubt) {
    const auto& st = host_.core().st;
    calib::Record r;
    r.when = calib::isoLocal(std::time_t(host_.wallNow().toSecsSinceEpoch()));
    r.port = st.ls.port_name;
    r.adr = st.ls.adr;
    if (readings_.name) r.name = calib::trimmed(readings_.name().toStdString());
    if (readings_.version) r.version = calib::trimmed(readings_.version().toStdString());
    r.point = hundred ? 100 : 0;
    // Steps 4 and 8 open only after steps 1 and 5 read the stored value.
    r.before = stored_[hundred].value_or(0);
    r.written = written;
    r.izm_proc = proc;
    r.izm_znach = znach;
    r.doubt = doubt;
    stored_[hundred] = written;
    // The instrument holds the new value whatever becomes of the record.
    if (const std::string err = calib::append(calib::defaultPath(), r); !err.empty())
        host_.addInfoLine(QString::fromStdString(err));
}

void CalibrationPage::B_cal0_oldClick() { calReadStored(false); }
void CalibrationPage::B_cal100_oldClick() { calReadStored(true); }
void CalibrationPage::B_cal0_newClick() { calMeasure(false); }
void CalibrationPage::B_cal100_newClick() { calMeasure(true); }
void CalibrationPage::SB_save_cal0Click() { calSave(false); }
void CalibrationPage::SB_save_cal100Click() { calSave(true); }
void CalibrationPage::STcal_enableClick() { Read_cal_enable(); }

void CalibrationPage::SBizm_enableClick() {
    const int i = host_.chosenItem(pc->CBenable_calibr);
    if (i < 0) return;
    host_.exchange(reg::WriteMultipleRegisters, reg::cal_enable, 1, {uint16_t(i)});
}

void CalibrationPage::TabSheet3Show() {
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
    stored_ = {};
    measured_ = {};
    Read_cal_enable();
    host_.setStatusMessage(QStringLiteral(" Здесь можем откалибровать прибор заново "));
}
