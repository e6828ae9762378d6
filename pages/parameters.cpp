// The parameters page (TabSheet2): R, N, U and the interface settings of the
// instrument, each read and written with one exchange.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/conversions.h"
#include "app/digit_key_filter.h"
#include "app/tfglav.h"
#include "app/updown.h"
#include "pages/page_values.h"
#include "ui_page_params.h"
#include "ui_tfglav.h"

using namespace lork;

namespace {
// Holding registers the page reads and writes.
constexpr uint16_t REG_ADR = 0x0800;
constexpr uint16_t REG_SCOR = 0x0801;
constexpr uint16_t REG_PARITY = 0x0802;
constexpr uint16_t REG_STOPBIT = 0x0803;
constexpr uint16_t REG_RES = 0x0A00;
constexpr uint16_t REG_KOL_STEP = 0x0A01;
constexpr uint16_t REG_POR_STEP = 0x0A02;

QString num(int v) { return QString::number(v); }

// A page value follows its edit while the edit holds a value a write would
// send. Typing goes through prefixes of what the operator means ("3" and "30"
// on the way to "300"), so when the text ends up refused the value falls
// back to the one the program last put into the edit: no prefix stays.
void follow_edit(const QLineEdit* edit, const pages::Taken& t, uint8_t& value, uint8_t& given) {
    if (t.refusal) {
        value = given;
        return;
    }
    value = uint8_t(t.value);
    if (!edit->isModified()) given = value;  // set by the program, not typed
}

// Shows a page value in its edit, unless the edit holds a refused text: that
// stays as the operator typed it.
void show_unless_refused(QLineEdit* edit, const pages::Taken& now, uint8_t value) {
    if (!now.refusal) edit->setText(num(value));
}
}  // namespace

void TFglav::Setup_page_parameters() {
    auto form = std::make_shared<Ui::PageParams>();
    auto* page = new QWidget;
    form->setupUi(page);
    pp = form.get();
    keepPagePart(form);
    addPageWidget(1, page);

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

    connect(pp->B_read_res, &QPushButton::clicked, this, [this] { B_read_resClick(); });
    connect(pp->B_read_kolstep, &QPushButton::clicked, this, [this] { B_read_kolstepClick(); });
    connect(pp->B_read_porstep, &QPushButton::clicked, this, [this] { B_read_porstepClick(); });
    connect(pp->SB_izmres, &QToolButton::clicked, this, [this] { SB_izmresClick(); });
    connect(pp->SB_izmkolstep, &QToolButton::clicked, this, [this] { SB_izmkolstepClick(); });
    connect(pp->SB_izmporstep, &QToolButton::clicked, this, [this] { SB_izmporstepClick(); });
    connect(pp->Bread_scor, &QPushButton::clicked, this, [this] { Bread_scorClick(); });
    connect(pp->Bread_parity, &QPushButton::clicked, this, [this] { Bread_parityClick(); });
    connect(pp->Bread_stopbit, &QPushButton::clicked, this, [this] { Bread_stopbitClick(); });
    connect(pp->Bread_sysnum, &QPushButton::clicked, this, [this] { Bread_sysnumClick(); });
    connect(pp->SBint_write_scor, &QToolButton::clicked, this, [this] { SBint_write_scorClick(); });
    connect(pp->SBint_write_parity, &QToolButton::clicked, this, [this] { SBint_write_parityClick(); });
    connect(pp->SBint_write_stopbit, &QToolButton::clicked, this, [this] { SBint_write_stopbitClick(); });
    connect(pp->SBint_write_sysnum, &QToolButton::clicked, this, [this] { SBint_write_sysnumClick(); });

    // An operator's choice runs the handler; a selection made from code does not.
    connect(pp->CBust_res, &QComboBox::activated, this, [this] { CBust_resChange(); });
    connect(pp->CBint_scor, &QComboBox::activated, this, [this] { CBint_scorChange(); });
    connect(pp->Eust_kol_step, &QLineEdit::textChanged, this, [this] { Eust_kol_stepChange(); });
    connect(pp->Eust_por_step, &QLineEdit::textChanged, this, [this] { Eust_por_stepChange(); });
    connect(pp->Eint_sysnum, &QLineEdit::textChanged, this, [this] { Eint_sysnumChange(); });
    connect(pp->UpDown_kolstep, &UpDown::changingEx, this,
            [this](bool& allow, int v, UpDown::Direction) { UpDown_kolstepChangingEx(allow, v); });
    connect(pp->UpDown_porstep, &UpDown::changingEx, this,
            [this](bool& allow, int v, UpDown::Direction) { UpDown_porstepChangingEx(allow, v); });
    connect(pp->UpDown_int_adr, &UpDown::changing, this, [this](bool& allow) { UpDown_int_adrChanging(allow); });
    connect(pp->UpDown_int_adr, &UpDown::changingEx, this,
            [this](bool& allow, int v, UpDown::Direction) { UpDown_int_adrChangingEx(allow, v); });

    // Eust_kol_stepKeyPress and the address edit's EsysnumKeyPress are the
    // same rule, digits and backspace only: the main window's filter.
    pp->Eust_kol_step->installEventFilter(digitKeyFilter());
    pp->Eust_por_step->installEventFilter(digitKeyFilter());
    pp->Eint_sysnum->installEventFilter(digitKeyFilter());
}

void TFglav::TabSheet2Hide() {}

// ---- exchanges ----

bool TFglav::Params_read(uint16_t reg) { return Report_info(Exchange(3, reg, 1)) == 0; }

bool TFglav::Params_write(uint16_t reg, uint16_t value) { return Report_info(Exchange(16, reg, 1, {value})) == 0; }

// ---- reads ----

void TFglav::B_read_resClick() {
    if (Params_read(REG_RES)) pp->Ecur_res->setText(num(core().st.dev.res));
}
void TFglav::B_read_kolstepClick() {
    if (Params_read(REG_KOL_STEP)) pp->Ecur_kolstep->setText(num(core().st.dev.kol_step));
}
void TFglav::B_read_porstepClick() {
    if (Params_read(REG_POR_STEP)) pp->Ecur_porstep->setText(num(core().st.dev.por_step));
}
void TFglav::Bread_sysnumClick() {
    if (Params_read(REG_ADR)) pp->Eint_cur_sysnum->setText(num(core().st.ls.adr));
}
void TFglav::Bread_scorClick() {
    // A code outside 1..6 selects nothing rather than a wrong rate.
    if (!Params_read(REG_SCOR)) return;
    const int code = core().st.ls.scor_code;
    pp->CBint_scor->setCurrentIndex(code >= 1 && code <= pp->CBint_scor->count() ? code - 1 : -1);
}
void TFglav::Bread_parityClick() {
    if (Params_read(REG_PARITY)) pp->Eint_cur_parity->setText(num(core().st.ls.parity));
}
void TFglav::Bread_stopbitClick() {
    if (Params_read(REG_STOPBIT)) pp->Eint_cur_stopbit->setText(num(core().st.ls.stopbit));
}

// ---- writes ----

// A value refused for a write: its message, and nothing is sent.
bool TFglav::Params_refused(const char* refusal) {
    if (!refusal) return false;
    message(QString::fromUtf8(refusal));
    return true;
}

void TFglav::SB_izmresClick() {
    const int i = pp->CBust_res->currentIndex();
    if (i < 0) {
        message(QString::fromUtf8(pages::msg_not_number));
        return;
    }
    const auto v = Str_to_int(pp->CBust_res->itemText(i));
    if (!v) return;
    if (!Params_write(REG_RES, uint16_t(*v))) return;
    ust_res = uint8_t(*v);  // the item's number, whatever path selected it
    core().st.dev.res = ust_res;
    pp->Ecur_res->setText(num(core().st.dev.res));
    if (auto* le = findChild<QLineEdit*>(QStringLiteral("LEres"))) le->setText(num(core().st.dev.res));
}

void TFglav::SB_izmkolstepClick() {
    const pages::Taken t = pages::take_byte(Str_to_int(pp->Eust_kol_step->text()));
    if (Params_refused(t.refusal)) return;
    ust_kol_step = uint8_t(t.value);
    if (!Params_write(REG_KOL_STEP, t.value)) return;
    pp->Eust_kol_step->setText(num(ust_kol_step));
    pp->Ecur_kolstep->setText(num(ust_kol_step));
}

void TFglav::SB_izmporstepClick() {
    const pages::Taken t = pages::take_byte(Str_to_int(pp->Eust_por_step->text()));
    if (Params_refused(t.refusal)) return;
    ust_por_step = uint8_t(t.value);
    if (!Params_write(REG_POR_STEP, t.value)) return;
    pp->Ecur_porstep->setText(num(ust_por_step));
    pp->Eust_por_step->setText(num(ust_por_step));
}

void TFglav::SBint_write_sysnumClick() {
    const pages::Taken t = pages::take_address(Str_to_int(pp->Eint_sysnum->text()));
    if (Params_refused(t.refusal)) return;
    int_sysnum = uint8_t(t.value);
    if (!Params_write(REG_ADR, int_sysnum)) return;
    core().st.ls.adr = int_sysnum;
    pp->Eint_cur_sysnum->setText(num(core().st.ls.adr));
    ui->Esysnum->setText(num(core().st.ls.adr));
}

void TFglav::SBint_write_scorClick() {
    const int i = pp->CBint_scor->currentIndex();
    if (i < 0) {
        message(QString::fromUtf8(pages::msg_not_number));
        return;
    }
    int_scor = uint8_t(i + 1);
    if (!Params_write(REG_SCOR, int_scor)) return;
    auto& ls = core().st.ls;
    ls.scor = scor_table[int_scor];
    // The code follows the rate, so the reply wait and the page's current
    // rate agree with the line the port now runs at.
    ls.scor_code = int_scor;
    // The time-outs and pauses in force are kept; the port only changes rate.
    core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
    ui->CBscor->setCurrentIndex(int_scor - 1);
}

void TFglav::SBint_write_parityClick() {
    const int i = pp->CBint_parity->currentIndex();
    if (i < 0) {
        message(QString::fromUtf8(pages::msg_not_number));
        return;
    }
    int_parity = uint8_t(i);
    Params_write(REG_PARITY, int_parity);
}

void TFglav::SBint_write_stopbitClick() {
    const int i = pp->CBint_stopbit->currentIndex();
    if (i < 0) {
        message(QString::fromUtf8(pages::msg_not_number));
        return;
    }
    int_stopbit = uint8_t(i + 1);
    Params_write(REG_STOPBIT, int_stopbit);
}

// ---- the page's own values ----

void TFglav::CBust_resChange() {
    const auto v = Str_to_int(pp->CBust_res->currentText());
    if (v) ust_res = uint8_t(*v);
}

void TFglav::Eust_kol_stepChange() {
    follow_edit(pp->Eust_kol_step, pages::take_byte(Str_to_int(pp->Eust_kol_step->text())), ust_kol_step,
                ust_kol_step_given);
}
void TFglav::Eust_por_stepChange() {
    follow_edit(pp->Eust_por_step, pages::take_byte(Str_to_int(pp->Eust_por_step->text())), ust_por_step,
                ust_por_step_given);
}
void TFglav::Eint_sysnumChange() {
    follow_edit(pp->Eint_sysnum, pages::take_address(Str_to_int(pp->Eint_sysnum->text())), int_sysnum,
                int_sysnum_given);
}

void TFglav::UpDown_kolstepChangingEx(bool&, int newValue) {
    if (newValue >= pp->UpDown_kolstep->minimum() && newValue <= pp->UpDown_kolstep->maximum())
        ust_kol_step = uint8_t(newValue);
}
void TFglav::UpDown_porstepChangingEx(bool&, int newValue) {
    if (newValue >= pp->UpDown_porstep->minimum() && newValue <= pp->UpDown_porstep->maximum())
        ust_por_step = uint8_t(newValue);
}
void TFglav::UpDown_int_adrChanging(bool&) {
    Eint_sysnumChange();
}
void TFglav::UpDown_int_adrChangingEx(bool&, int newValue) {
    if (newValue >= 1 && newValue <= 247) int_sysnum = uint8_t(newValue);
}

void TFglav::Params_show_pauses(uint8_t code) {
    const pages::Pauses p = pages::pauses_for(code);
    pp->Enastr_tout_bytes->setText(num(int(p.bytes)));
    pp->Enastr_tout_before->setText(num(int(p.before)));
    pp->Enastr_tout_after->setText(num(int(p.after)));
}

void TFglav::CBint_scorChange() {
    const int i = pp->CBint_scor->currentIndex();
    if (i < 0) return;
    int_scor = uint8_t(i + 1);
    Params_show_pauses(int_scor);
}

void TFglav::TabSheet2Show() {
    const auto& ls = core().st.ls;
    const auto& dev = core().st.dev;
    setStatusMessage(QStringLiteral(" Здесь можем менять параметры интерфейса и уставки"));
    pp->Ecur_res->setText(num(dev.res));
    pp->Ecur_kolstep->setText(num(dev.kol_step));
    pp->Ecur_porstep->setText(num(dev.por_step));
    pp->CBust_res->setCurrentIndex(ust_res - 5);
    show_unless_refused(pp->Eust_kol_step, pages::take_byte(Str_to_int(pp->Eust_kol_step->text())), ust_kol_step);
    show_unless_refused(pp->Eust_por_step, pages::take_byte(Str_to_int(pp->Eust_por_step->text())), ust_por_step);
    pp->CBint_scor->setCurrentIndex(int_scor - 1);
    pp->CBint_parity->setCurrentIndex(int_parity);
    pp->CBint_stopbit->setCurrentIndex(int_stopbit - 1);
    show_unless_refused(pp->Eint_sysnum, pages::take_address(Str_to_int(pp->Eint_sysnum->text())), int_sysnum);
    pp->Eint_cur_parity->setText(num(ls.parity));
    pp->Eint_cur_stopbit->setText(num(ls.stopbit));
    pp->Eint_cur_scor->setText(num(pages::rate_of(ls.scor_code)));
    pp->Eint_cur_sysnum->setText(num(ls.adr));
    Params_show_pauses(ls.scor_code);
    showInfo();
}
