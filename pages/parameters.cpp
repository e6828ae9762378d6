// The parameters page (TabSheet2): R, N, U and the interface settings of the
// instrument, each read and written with one exchange.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "widgets/conversions.h"
#include "widgets/updown.h"
#include "pages/accessible_names.h"
#include "widgets/ask.h"
#include "pages/page_host.h"
#include "protocol/value_rules.h"
#include "pages/parameters.h"
#include "protocol/framing.h"
#include "protocol/registers.h"
#include "ui_page_params.h"

using namespace lork;

namespace {
QString num(int v) { return QString::number(v); }

// A page value follows its edit while the edit holds a value a write would
// send. Typing goes through prefixes of what the operator means ("3" and "30"
// on the way to "300"), so when the text ends up refused the value falls
// back to the one the program last put into the edit: no prefix stays.
void followEdit(const QLineEdit* edit, const lork::Taken& t, uint8_t& value, uint8_t& given) {
    if (t.refusal) {
        value = given;
        return;
    }
    value = uint8_t(t.value);
    if (!edit->isModified()) given = value;  // set by the program, not typed
}

// Shows a page value in its edit, unless the edit holds a refused text: that
// stays as the operator typed it.
void showUnlessRefused(QLineEdit* edit, const lork::Taken& now, uint8_t value) {
    if (!now.refusal) edit->setText(num(value));
}
}  // namespace

ParametersPage::ParametersPage(PageHost& host, QWidget* sheet, Links links, QObject* parent)
    : QObject(parent), host_(host), links_(std::move(links)), pp(std::make_unique<Ui::PageParams>()) {
    setObjectName(QStringLiteral("ParametersPage"));
    auto* page = new QWidget;
    pp->setupUi(page);
    sheet->layout()->addWidget(page);
    lork::pages::nameControls(*pp);

    // Range first, then the position, which the bound edit then shows.
    pp->UpDown_kolstep->setRange(2, 99);
    pp->UpDown_kolstep->setAssociate(pp->Eust_kol_step);
    pp->UpDown_kolstep->setPosition(2);
    pp->UpDown_porstep->setRange(2, 99);
    pp->UpDown_porstep->setAssociate(pp->Eust_por_step);
    pp->UpDown_porstep->setPosition(2);
    pp->UpDown_int_adr->setRange(1, 247);
    pp->UpDown_int_adr->setAssociate(pp->Eint_sysnum);
    pp->UpDown_int_adr->setPosition(1);
    connectHandlers();

    // Eust_kol_stepKeyPress and the address edit's EsysnumKeyPress are the
    // same rule, digits and backspace only: the main window's filter.
    pp->Eust_kol_step->installEventFilter(host_.digitKeyFilter());
    pp->Eust_por_step->installEventFilter(host_.digitKeyFilter());
    pp->Eint_sysnum->installEventFilter(host_.digitKeyFilter());

    // The core lives as long as the window that owns this page, and no
    // exchange runs once the window is going: no unsubscribe is needed.
    host_.core().feed.subscribe([this](const ExchangeRecord& rec) { paramsNote(rec); });
}

ParametersPage::~ParametersPage() = default;

void ParametersPage::connectHandlers() {
    connect(pp->B_read_res, &QPushButton::clicked, this, &ParametersPage::B_read_resClick);
    connect(pp->B_read_kolstep, &QPushButton::clicked, this, &ParametersPage::B_read_kolstepClick);
    connect(pp->B_read_porstep, &QPushButton::clicked, this, &ParametersPage::B_read_porstepClick);
    connect(pp->SB_izmres, &QToolButton::clicked, this, &ParametersPage::SB_izmresClick);
    connect(pp->SB_izmkolstep, &QToolButton::clicked, this, &ParametersPage::SB_izmkolstepClick);
    connect(pp->SB_izmporstep, &QToolButton::clicked, this, &ParametersPage::SB_izmporstepClick);
    connect(pp->Bread_scor, &QPushButton::clicked, this, &ParametersPage::Bread_scorClick);
    connect(pp->Bread_parity, &QPushButton::clicked, this, &ParametersPage::Bread_parityClick);
    connect(pp->Bread_stopbit, &QPushButton::clicked, this, &ParametersPage::Bread_stopbitClick);
    connect(pp->Bread_sysnum, &QPushButton::clicked, this, &ParametersPage::Bread_sysnumClick);
    connect(pp->SBint_write_scor, &QToolButton::clicked, this, &ParametersPage::SBint_write_scorClick);
    connect(pp->SBint_write_parity, &QToolButton::clicked, this, &ParametersPage::SBint_write_parityClick);
    connect(pp->SBint_write_stopbit, &QToolButton::clicked, this, &ParametersPage::SBint_write_stopbitClick);
    connect(pp->SBint_write_sysnum, &QToolButton::clicked, this, &ParametersPage::SBint_write_sysnumClick);

    // An operator's choice runs the handler; a selection made from code does not.
    connect(pp->CBust_res, &QComboBox::activated, this, &ParametersPage::CBust_resChange);
    connect(pp->CBint_scor, &QComboBox::activated, this, &ParametersPage::CBint_scorChange);
    connect(pp->Eust_kol_step, &QLineEdit::textChanged, this, &ParametersPage::Eust_kol_stepChange);
    connect(pp->Eust_por_step, &QLineEdit::textChanged, this, &ParametersPage::Eust_por_stepChange);
    connect(pp->Eint_sysnum, &QLineEdit::textChanged, this, &ParametersPage::Eint_sysnumChange);
    connect(pp->UpDown_kolstep, &UpDown::changingEx, this,
            [this](bool& allow, int v, UpDown::Direction) { UpDown_kolstepChangingEx(allow, v); });
    connect(pp->UpDown_porstep, &UpDown::changingEx, this,
            [this](bool& allow, int v, UpDown::Direction) { UpDown_porstepChangingEx(allow, v); });
    connect(pp->UpDown_int_adr, &UpDown::changing, this, [this](bool& allow) { UpDown_int_adrChanging(allow); });
    connect(pp->UpDown_int_adr, &UpDown::changingEx, this,
            [this](bool& allow, int v, UpDown::Direction) { UpDown_int_adrChangingEx(allow, v); });
}

void ParametersPage::TabSheet2Hide() {}

// ---- exchanges ----

bool ParametersPage::paramsRead(uint16_t address) {
    return host_.exchange(reg::ReadHoldingRegisters, address, 1) == 0;
}

bool ParametersPage::paramsWrite(uint16_t address, uint16_t value) {
    const uint8_t kod = host_.exchange(reg::WriteMultipleRegisters, address, 1, {value});
    // The outcome is heard wherever the focus is: only a field would show it.
    const QString what = writtenText(address, value);
    host_.announce(kod == 0 ? QStringLiteral("записано: ") + what
                            : QStringLiteral("не записано: ") + what + QStringLiteral(", ") +
                                  QString::fromStdString(Kod_text(kod)));
    return kod == 0;
}

// "N = 60", "скорость = 19200", "паритет = чет": the value as the page names it.
QString ParametersPage::writtenText(uint16_t address, uint16_t value) const {
    switch (address) {
    case reg::res: return QStringLiteral("R = %1").arg(value);
    case reg::kol_step: return QStringLiteral("N = %1").arg(value);
    case reg::por_step: return QStringLiteral("U = %1").arg(value);
    case reg::adr: return QStringLiteral("адрес = %1").arg(value);
    case reg::scor_code: return QStringLiteral("скорость = %1").arg(lork::rateOf(uint8_t(value)));
    case reg::parity:
        return QStringLiteral("паритет = ") +
               (value < pp->CBint_parity->count() ? pp->CBint_parity->itemText(value) : QString::number(value));
    case reg::stopbit: return QStringLiteral("стопбит = %1").arg(value);
    default: return QStringLiteral("%1 = %2").arg(address, 4, 16, QLatin1Char('0')).arg(value);
    }
}

void ParametersPage::paramsNote(const ExchangeRecord& rec) {
    const std::vector<uint8_t>& q = rec.request;
    if (rec.kod_rez != 0 || rec.probe || q.size() < 8 || q[0] == 0) return;
    if (q[0] != knownAdr_) {
        known_ = {};  // another instrument
        knownAdr_ = q[0];
    }
    const unsigned start = unsigned(q[2] << 8 | q[3]), kol = unsigned(q[4] << 8 | q[5]);
    auto covers = [&](unsigned r) { return r >= start && r - start < kol; };
    if (q[1] == reg::ReadHoldingRegisters) {
        // Decoded into the device state before the record goes out.
        const auto& dev = host_.core().st.dev;
        if (covers(reg::res)) known_.res = dev.res;
        if (covers(reg::kol_step)) known_.kol_step = dev.kol_step;
        if (covers(reg::por_step)) known_.por_step = dev.por_step;
    } else if (q[1] == reg::WriteMultipleRegisters) {
        auto written = [&](unsigned r) -> std::optional<long> {
            const size_t i = 7 + 2 * size_t(r - start);
            if (i + 1 >= q.size()) return std::nullopt;
            return long(q[i] << 8 | q[i + 1]);
        };
        if (covers(reg::res)) known_.res = written(reg::res);
        if (covers(reg::kol_step)) known_.kol_step = written(reg::kol_step);
        if (covers(reg::por_step)) known_.por_step = written(reg::por_step);
        // The instrument took its new address with what it holds.
        if (covers(reg::adr))
            if (const auto a = written(reg::adr)) knownAdr_ = unsigned(*a);
    }
}

bool ParametersPage::paramsRulesKept(unsigned written, long value) {
    lork::StepParams after;
    if (host_.core().st.ls.adr == knownAdr_) after = known_;
    if (written == lork::STEP_RES) after.res = value;
    if (written == lork::STEP_KOL_STEP) after.kol_step = value;
    if (written == lork::STEP_POR_STEP) after.por_step = value;
    std::string broken;
    for (const std::string& b : lork::brokenRules(after, written)) broken += (broken.empty() ? "" : " ") + b;
    if (broken.empty()) return true;
    const QString question = QString::fromStdString(broken) + QStringLiteral(" Записать всё равно?");
    if (writeAnyway_) return writeAnyway_(question);
    return widgets::askYesNo(pp->SB_izmres->window(), QStringLiteral("параметры"), question);
}

// ---- reads ----

void ParametersPage::B_read_resClick() {
    if (paramsRead(reg::res)) pp->Ecur_res->setText(num(host_.core().st.dev.res));
}
void ParametersPage::B_read_kolstepClick() {
    if (paramsRead(reg::kol_step)) pp->Ecur_kolstep->setText(num(host_.core().st.dev.kol_step));
}
void ParametersPage::B_read_porstepClick() {
    if (paramsRead(reg::por_step)) pp->Ecur_porstep->setText(num(host_.core().st.dev.por_step));
}
void ParametersPage::Bread_sysnumClick() {
    if (paramsRead(reg::adr)) pp->Eint_cur_sysnum->setText(num(host_.core().st.ls.adr));
}
void ParametersPage::Bread_scorClick() {
    // A code outside 1..6 selects nothing rather than a wrong rate.
    if (!paramsRead(reg::scor_code)) return;
    const int code = host_.core().st.ls.scor_code;
    pp->CBint_scor->setCurrentIndex(code >= 1 && code <= pp->CBint_scor->count() ? code - 1 : -1);
}
void ParametersPage::Bread_parityClick() {
    if (paramsRead(reg::parity)) pp->Eint_cur_parity->setText(num(host_.core().st.ls.parity));
}
void ParametersPage::Bread_stopbitClick() {
    if (paramsRead(reg::stopbit)) pp->Eint_cur_stopbit->setText(num(host_.core().st.ls.stopbit));
}

// ---- writes ----

// A value refused for a write: its message, and nothing is sent.
bool ParametersPage::paramsRefused(const char* refusal) {
    if (!refusal) return false;
    host_.message(QString::fromUtf8(refusal));
    return true;
}

void ParametersPage::SB_izmresClick() {
    const int i = host_.chosenItem(pp->CBust_res);
    if (i < 0) return;
    const auto v = strToInt(pp->CBust_res->itemText(i));
    if (!v) return;
    if (!paramsRulesKept(lork::STEP_RES, *v)) return;
    if (!paramsWrite(reg::res, uint16_t(*v))) return;
    ust_res_ = uint8_t(*v);  // the item's number, whatever path selected it
    host_.core().st.dev.res = ust_res_;
    pp->Ecur_res->setText(num(host_.core().st.dev.res));
    if (links_.showRes) links_.showRes(host_.core().st.dev.res);
}

void ParametersPage::SB_izmkolstepClick() {
    const lork::Taken t = lork::takeByte(strToInt(pp->Eust_kol_step->text()));
    if (paramsRefused(t.refusal)) return;
    if (!paramsRulesKept(lork::STEP_KOL_STEP, t.value)) return;
    ust_kol_step_ = uint8_t(t.value);
    if (!paramsWrite(reg::kol_step, t.value)) return;
    pp->Eust_kol_step->setText(num(ust_kol_step_));
    pp->Ecur_kolstep->setText(num(ust_kol_step_));
}

void ParametersPage::SB_izmporstepClick() {
    const lork::Taken t = lork::takeByte(strToInt(pp->Eust_por_step->text()));
    if (paramsRefused(t.refusal)) return;
    if (!paramsRulesKept(lork::STEP_POR_STEP, t.value)) return;
    ust_por_step_ = uint8_t(t.value);
    if (!paramsWrite(reg::por_step, t.value)) return;
    pp->Ecur_porstep->setText(num(ust_por_step_));
    pp->Eust_por_step->setText(num(ust_por_step_));
}

void ParametersPage::SBint_write_sysnumClick() {
    const lork::Taken t = lork::takeAddress(strToInt(pp->Eint_sysnum->text()));
    if (paramsRefused(t.refusal)) return;
    int_sysnum_ = uint8_t(t.value);
    if (!paramsWrite(reg::adr, int_sysnum_)) return;
    host_.core().st.ls.adr = int_sysnum_;
    pp->Eint_cur_sysnum->setText(num(host_.core().st.ls.adr));
    links_.Esysnum->setText(num(host_.core().st.ls.adr));
}

void ParametersPage::SBint_write_scorClick() {
    const int i = host_.chosenItem(pp->CBint_scor);
    if (i < 0) return;
    int_scor_ = uint8_t(i + 1);
    if (!paramsWrite(reg::scor_code, int_scor_)) return;
    auto& ls = host_.core().st.ls;
    ls.scor = scor_table[int_scor_];
    // The code follows the rate, so the reply wait and the page's current
    // rate agree with the line the port now runs at.
    ls.scor_code = int_scor_;
    // The time-outs and pauses in force are kept; the port only changes rate.
    host_.core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
    links_.CBscor->setCurrentIndex(int_scor_ - 1);
    host_.lineChanged();
}

void ParametersPage::SBint_write_parityClick() {
    const int i = host_.chosenItem(pp->CBint_parity);
    if (i < 0) return;
    int_parity_ = uint8_t(i);
    paramsWrite(reg::parity, int_parity_);
}

void ParametersPage::SBint_write_stopbitClick() {
    const int i = host_.chosenItem(pp->CBint_stopbit);
    if (i < 0) return;
    int_stopbit_ = uint8_t(i + 1);
    paramsWrite(reg::stopbit, int_stopbit_);
}

// ---- the page's own values ----

void ParametersPage::CBust_resChange() {
    const auto v = strToInt(pp->CBust_res->currentText());
    if (v) ust_res_ = uint8_t(*v);
}

void ParametersPage::Eust_kol_stepChange() {
    followEdit(pp->Eust_kol_step, lork::takeByte(strToInt(pp->Eust_kol_step->text())), ust_kol_step_,
                ust_kol_stepGiven_);
}
void ParametersPage::Eust_por_stepChange() {
    followEdit(pp->Eust_por_step, lork::takeByte(strToInt(pp->Eust_por_step->text())), ust_por_step_,
                ust_por_stepGiven_);
}
void ParametersPage::Eint_sysnumChange() {
    followEdit(pp->Eint_sysnum, lork::takeAddress(strToInt(pp->Eint_sysnum->text())), int_sysnum_,
                int_sysnumGiven_);
}

void ParametersPage::UpDown_kolstepChangingEx(bool&, int newValue) {
    if (newValue >= pp->UpDown_kolstep->minimum() && newValue <= pp->UpDown_kolstep->maximum())
        ust_kol_step_ = uint8_t(newValue);
}
void ParametersPage::UpDown_porstepChangingEx(bool&, int newValue) {
    if (newValue >= pp->UpDown_porstep->minimum() && newValue <= pp->UpDown_porstep->maximum())
        ust_por_step_ = uint8_t(newValue);
}
void ParametersPage::UpDown_int_adrChanging(bool&) {
    Eint_sysnumChange();
}
void ParametersPage::UpDown_int_adrChangingEx(bool&, int newValue) {
    if (newValue >= 1 && newValue <= 247) int_sysnum_ = uint8_t(newValue);
}

void ParametersPage::paramsShowPauses(uint8_t code) {
    const lork::Pauses p = lork::pausesFor(code);
    pp->Enastr_tout_bytes->setText(num(int(p.bytes)));
    pp->Enastr_tout_before->setText(num(int(p.before)));
    pp->Enastr_tout_after->setText(num(int(p.after)));
}

void ParametersPage::CBint_scorChange() {
    const int i = pp->CBint_scor->currentIndex();
    if (i < 0) return;
    int_scor_ = uint8_t(i + 1);
    paramsShowPauses(int_scor_);
}

void ParametersPage::TabSheet2Show() {
    const auto& ls = host_.core().st.ls;
    const auto& dev = host_.core().st.dev;
    host_.setStatusMessage(QStringLiteral(" Здесь можем менять параметры интерфейса и уставки"));
    pp->Ecur_res->setText(num(dev.res));
    pp->Ecur_kolstep->setText(num(dev.kol_step));
    pp->Ecur_porstep->setText(num(dev.por_step));
    pp->CBust_res->setCurrentIndex(ust_res_ - 5);
    showUnlessRefused(pp->Eust_kol_step, lork::takeByte(strToInt(pp->Eust_kol_step->text())), ust_kol_step_);
    showUnlessRefused(pp->Eust_por_step, lork::takeByte(strToInt(pp->Eust_por_step->text())), ust_por_step_);
    pp->CBint_scor->setCurrentIndex(int_scor_ - 1);
    pp->CBint_parity->setCurrentIndex(int_parity_);
    pp->CBint_stopbit->setCurrentIndex(int_stopbit_ - 1);
    showUnlessRefused(pp->Eint_sysnum, lork::takeAddress(strToInt(pp->Eint_sysnum->text())), int_sysnum_);
    pp->Eint_cur_parity->setText(num(ls.parity));
    pp->Eint_cur_stopbit->setText(num(ls.stopbit));
    pp->Eint_cur_scor->setText(num(lork::rateOf(ls.scor_code)));
    pp->Eint_cur_sysnum->setText(num(ls.adr));
    paramsShowPauses(ls.scor_code);
    host_.showInfo();
}
