// Activation, deactivation and close of the main window.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include "app/tfglav.h"
#include "app/tfmsetup.h"
#include "pages/readings.h"
#include "pages/timeouts.h"
#include "ui_tfglav.h"

// Every activation brings the port in line with the settings, probes the
// instrument and, when it answers, reads it again; the operator sees the
// instrument as it is whenever he comes back to the window.
void TFglav::FormActivate() {
    auto& ls = this->ls();
    in_activation_ = true;
    lork::ExchangeFeed::CommandScope activation(core_.feed, lork::Command::Activation);
    try {
        ui->Esysnum->setText(QString::number(ls.adr));
        if (ls.time_opros_index < ui->CBtime_opros->count()) ui->CBtime_opros->setCurrentIndex(ls.time_opros_index);
        timeouts_->Show_line_pauses();
        core().link.Port_setup(ls.scor_code);
        timeouts_->Show_timeouts();
        core().link.port_setup_error =
            int32_t(core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize));
        if (core().dev.Read_adr() == 0) {
            // An address outside the table has no entry to record (the polling
            // tick then treats it as one with no known rate).
            lork::set_found_scor(st().found_scor, ls.adr, ls.scor_code);
            readings_->Opros_all();
            readings_->Ed_nameClick();
            readings_->Ed_versionClick();
        }
        timeouts_->Show_timeouts();
        setStatusPanelText(0, " Порт: " + QString::fromStdString(ls.port_name));
        setStatusPanelText(1, " Адрес: " + QString::number(ls.adr));
        setStatusPanelText(2, " Скорость: " + QString::number(ls.scor));
        setStatusPanelText(3, " паритет: " + QString::fromUtf8(ls.parity < lork::parity_texts.size()
                                                                    ? lork::parity_texts[ls.parity]
                                                                    : ""));
        setStatusPanelText(4, " стопбит:" + QString::number(ls.stopbit));
        Timer_opros->setInterval(1000);
    } catch (const lork::ProbeAborted&) {
    }
    in_activation_ = false;
    activation_ended_.start();
}

// Another window of the program took the activation: polling pauses (the
// flags stay, so showing the readings page again resumes it).
void TFglav::FormDeactivate() { Timer_opros->stop(); }

void TFglav::FormClose() {
    if (FMsetup) FMsetup->Save_settings(true);
}

namespace {
// The windows added beside the main window's own (the journal, the plot) are
// for watching while polling runs: going to one of them counts as going to
// another program, so polling goes on and coming back re-probes nothing.
bool Outside(const QWidget* w) { return !w || w->property(TFglav::kBesideProperty).toBool(); }
}  // namespace

// Which activations run FormActivate. A message box raised by the activation
// itself (a port that cannot be opened, say) gives the activation back when
// it closes; running the steps again would raise it again, without end. So
// the activation that follows the activation's own messages is skipped, and
// so is a nested one. The re-activation comes from the window system soon
// after the box closes; one that comes later is the operator's own and runs.
// Coming back from another program is not an activation
// of the program's own windows and does not re-probe either.
void TFglav::activationEvent(bool active) {
    if (!active) {
        deactivated_outside_ = Outside(QApplication::activeWindow());
        if (!deactivated_outside_) FormDeactivate();
        return;
    }
    if (in_activation_) return;
    if (activation_raised_message_) {
        activation_raised_message_ = false;
        if (activation_ended_.isValid() && activation_ended_.elapsed() < 1000) return;
    }
    if (deactivated_outside_ && activated_once_) {
        deactivated_outside_ = false;
        return;
    }
    activated_once_ = true;
    FormActivate();
}

void TFglav::firstShown() {
    if (shown_once_) return;
    shown_once_ = true;
    // A window manager activates a new window within milliseconds; without
    // one (a bare X server, a kiosk) the activation never comes and the port
    // would stay closed, so the first showing stands in for it.
    QTimer::singleShot(300, this, [this] {
        if (!activated_once_) activationEvent(true);
    });
}
