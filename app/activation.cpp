// Activation, deactivation and close of the main window.
#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "app/tfglav_parts.h"
#include "app/tfmsetup.h"
#include "pages/readings.h"
#include "pages/timeouts.h"
#include "platform/port_factory.h"
#include "ui_tfglav.h"

// Every activation brings the port in line with the settings, probes the
// instrument and, when it answers, reads it again; the operator sees the
// instrument as it is whenever he comes back to the window.
void TFglav::FormActivate() {
    auto& ls = this->ls();
    parts_->activation.begin();
    lork::ExchangeFeed::CommandScope activation(core_.feed, lork::Command::Activation);
    try {
        ui->Esysnum->setText(QString::number(ls.adr));
        if (ls.time_opros_index < ui->CBtime_opros->count()) ui->CBtime_opros->setCurrentIndex(ls.time_opros_index);
        parts_->timeouts->showLinePauses();
        core().link.Port_setup(ls.scor_code);
        parts_->timeouts->Show_timeouts();
        core().link.port_setup_error =
            int32_t(core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize));
        if (core().dev.Read_adr() == 0) {
            // An address outside the table has no entry to record (the polling
            // tick then treats it as one with no known rate).
            lork::setFoundScor(st().found_scor, ls.adr, ls.scor_code);
            parts_->readings->Opros_all();
            parts_->readings->Ed_nameClick();
            parts_->readings->Ed_versionClick();
        }
        parts_->timeouts->Show_timeouts();
        showLinePanels();
        parts_->Timer_opros->setInterval(1000);
    } catch (const lork::ProbeAborted&) {
    }
    // Inside the activation: the box's closing must not run it again.
    showHeldMessages();
    parts_->activation.end();
}

// The port panels name the port and line the program talks on; besides
// each activation, every change of the port controls rewrites them, so they
// never name a port the program has left.
void TFglav::showLinePanels() {
    const auto& ls = this->ls();
    parts_->linePanelsShown = true;
    setStatusPanelText(0, " Порт: " + QString::fromStdString(lork::portShown(ls.port_name)));
    setStatusPanelText(1, " Адрес: " + QString::number(ls.adr));
    setStatusPanelText(2, " Скорость: " + QString::number(ls.scor));
    setStatusPanelText(3, " паритет: " + QString::fromUtf8(ls.parity < lork::parityTexts.size()
                                                                ? lork::parityTexts[ls.parity]
                                                                : ""));
    setStatusPanelText(4, " стопбит:" + QString::number(ls.stopbit));
}

// Until the first activation the panels keep their design-time texts.
void TFglav::lineChanged() {
    if (parts_->linePanelsShown) showLinePanels();
}

// Another window of the program took the activation: polling pauses (the
// flags stay, so showing the readings page again resumes it).
void TFglav::FormDeactivate() { parts_->Timer_opros->stop(); }

void TFglav::FormClose() {
    if (parts_->FMsetup) parts_->FMsetup->Save_settings(true);
}

namespace {
// The windows added beside the main window's own (the journal, the plot) are
// for watching while polling runs: going to one of them counts as going to
// another program, so polling goes on and coming back re-probes nothing.
bool outsideMain(const QWidget* w) { return !w || w->property(kBesideProperty).toBool(); }
}  // namespace

void TFglav::activationEvent(bool active) {
    if (!active) {
        const bool outside = outsideMain(QApplication::activeWindow());
        parts_->activation.deactivated(outside);
        if (!outside) FormDeactivate();
        return;
    }
    if (parts_->activation.admit()) FormActivate();
}

void TFglav::firstShown() {
    if (!parts_->activation.firstShowing()) return;
    // A window manager activates a new window within milliseconds; without
    // one (a bare X server, a kiosk) the activation never comes and the port
    // would stay closed, so the first showing stands in for it.
    QTimer::singleShot(300, this, [this] {
        if (!parts_->activation.activatedOnce()) activationEvent(true);
    });
}
