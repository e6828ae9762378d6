// The port time-out page "таймауты" (TabSheet4): the time-outs the serial
// port is configured with, plus a byte time-out and a packet pause that the
// operator may keep here.
#include <QLineEdit>
#include <algorithm>

#include "widgets/conversions.h"
#include "widgets/updown.h"
#include "pages/accessible_names.h"
#include "pages/page_host.h"
#include "pages/timeouts.h"
#include "ui_page_timeouts.h"

namespace {

// The editable time-outs: edit, its up-down, range and step.
struct EditedTimeout {
    QLineEdit* Ui_PageTimeouts::*edit;
    UpDown* Ui_PageTimeouts::*updown;
    int min, max, step;
};

const EditedTimeout kEditedTimeouts[] = {
    {&Ui_PageTimeouts::E_RTI, &Ui_PageTimeouts::UpDown_RTI, 0, 30, 1},
    {&Ui_PageTimeouts::E_RTTM, &Ui_PageTimeouts::UpDown_RTTM, 0, 100, 10},
    {&Ui_PageTimeouts::E_RTTC, &Ui_PageTimeouts::UpDown_RTTC, 50, 1000, 50},
    {&Ui_PageTimeouts::E_WTTM, &Ui_PageTimeouts::UpDown_WTTM, 0, 500, 10},
    {&Ui_PageTimeouts::E_WTTC, &Ui_PageTimeouts::UpDown_WTTC, 0, 100, 10},
};

// The number typed into an edit as its low 8 bits; text that is no number
// leaves the value as it was and shows the standard message.
void takeLowByte(PageHost& w, const QLineEdit* edit, uint8_t& value) {
    const QString text = edit->text();
    if (auto v = strToInt(text)) {
        value = uint8_t(uint32_t(*v) & 0xFFu);
        return;
    }
    w.message(notIntegerMessage(text));
}

}  // namespace

TimeoutsPage::TimeoutsPage(PageHost& host, QWidget* sheet, QObject* parent)
    : QObject(parent), host_(host), f_(std::make_unique<Ui::PageTimeouts>()) {
    setObjectName(QStringLiteral("TimeoutsPage"));
    auto* page = new QWidget;
    f_->setupUi(page);
    sheet->layout()->addWidget(page);
    lork::pages::nameControls(*f_);

    Ui_PageTimeouts& f = *f_;
    for (const EditedTimeout& t : kEditedTimeouts) {
        UpDown* ud = f.*t.updown;
        ud->setRange(t.min, t.max);
        ud->setIncrement(t.step);
        // Positioned before binding, so the edit keeps its form text ("0", "50").
        ud->setPosition(t.min);
        ud->setAssociate(f.*t.edit);
    }
    // These two are not bound to their edits: a press only takes the edit's
    // number again.
    for (UpDown* ud : {f.UpDown_Tout_byte, f.UpDown_Tout_pause}) ud->setRange(0, 100);

    connect(f.E_tout_byte, &QLineEdit::textChanged, this, &TimeoutsPage::E_tout_byteChange);
    connect(f.E_tout_pause, &QLineEdit::textChanged, this, &TimeoutsPage::E_tout_pauseChange);
    connect(f.UpDown_Tout_byte, &UpDown::changing, this, [this](bool&) { UpDown_Tout_byteChanging(); });
    connect(f.UpDown_Tout_pause, &UpDown::changing, this, [this](bool&) { UpDown_Tout_pauseChanging(); });
}

TimeoutsPage::~TimeoutsPage() = default;

void TimeoutsPage::showLinePauses() {
    const auto& s = host_.core().st.ls;
    f_->E_tout_byte->setText(QString::number(s.tout_byte));
    f_->E_tout_pause->setText(QString::number(s.tout_pause));
}

void TimeoutsPage::Show_timeouts() {
    const auto& s = host_.core().st.ls;
    Ui_PageTimeouts& f = *f_;
    f.LE_RTI->setText(QString::number(s.RIT));
    f.LE_RTTM->setText(QString::number(s.RTTM));
    f.LE_RTTC->setText(QString::number(s.RTTC));
    f.LE_WTTM->setText(QString::number(s.WTTM));
    f.LE_WTTC->setText(QString::number(s.WTTC));
    // The exchanges that follow an activation block the event loop.
    for (QLineEdit* e : {f.LE_RTI, f.LE_RTTM, f.LE_RTTC, f.LE_WTTM, f.LE_WTTC}) e->repaint();
}

void TimeoutsPage::TabSheet4Show() {
    Show_timeouts();
    host_.setStatusMessage(QStringLiteral(" таймауты для СОМпорта - ! лучше не трогать !"));
}

void TimeoutsPage::TabSheet4Hide() {}

void TimeoutsPage::E_tout_byteChange() { takeLowByte(host_, f_->E_tout_byte, host_.core().st.ls.tout_byte); }

void TimeoutsPage::E_tout_pauseChange() { takeLowByte(host_, f_->E_tout_pause, host_.core().st.ls.tout_pause); }

void TimeoutsPage::UpDown_Tout_byteChanging() { E_tout_byteChange(); }

void TimeoutsPage::UpDown_Tout_pauseChanging() { E_tout_pauseChange(); }

std::array<uint16_t, 5> TimeoutsPage::editedTimeouts() const {
    std::array<uint16_t, 5> out{};
    size_t i = 0;
    for (const EditedTimeout& t : kEditedTimeouts) {
        const UpDown* ud = f_.get()->*t.updown;
        // The edit takes any typing; what is saved is its number kept within
        // the up-down's range, or the up-down's last position for no number.
        int v = ud->position();
        if (auto typed = strToInt((f_.get()->*t.edit)->text()))
            v = std::clamp(int(*typed), ud->minimum(), ud->maximum());
        out[i++] = uint16_t(v);
    }
    return out;
}
