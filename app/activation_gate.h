#pragma once
// Which activations of the main window run FormActivate. A message box
// raised by the activation itself (a port that cannot be opened, say) gives
// the activation back when it closes; running the steps again would raise it
// again, without end. So the activation that follows the activation's own
// messages is skipped, and so is a nested one. The re-activation comes from
// the window system soon after the box closes; one that comes later is the
// operator's own and runs. Coming back from another program is not an
// activation of the program's own windows and does not re-probe either.
#include <QElapsedTimer>
#include <utility>

// Set true on a window beside the main window's own (the journal, the plot).
inline constexpr const char* kBesideProperty = "besideMainWindow";

class ActivationGate {
public:
    bool running() const { return running_; }
    void begin() { running_ = true; }
    void end() {
        running_ = false;
        ended_.start();
    }
    void messageShown() {
        if (running_) raisedMessage_ = true;
    }
    // outside: the activation went to another program or a window beside the main one.
    void deactivated(bool outside) { deactivatedOutside_ = outside; }
    bool activatedOnce() const { return activatedOnce_; }
    // True only the first time.
    bool firstShowing() { return !std::exchange(shownOnce_, true); }

    // An activation came: whether FormActivate runs for it.
    bool admit() {
        if (running_) return false;
        if (std::exchange(raisedMessage_, false) && ended_.isValid() && ended_.elapsed() < 1000) return false;
        if (deactivatedOutside_ && activatedOnce_) {
            deactivatedOutside_ = false;
            return false;
        }
        activatedOnce_ = true;
        return true;
    }

private:
    bool running_ = false;
    bool raisedMessage_ = false;
    bool deactivatedOutside_ = false;
    bool activatedOnce_ = false;
    bool shownOnce_ = false;
    QElapsedTimer ended_;  // since the last FormActivate ended
};
