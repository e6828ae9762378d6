#pragma once
// The message window the device search shows while it runs: stays on top,
// no border icons, no caption, a single border, not modal. The search
// rewrites Label1 with its progress; the abort is the key Q, so the cancel
// button stays disabled. Below the labels a bar shows the address reached,
// the rate being tried and an estimate of the time left.
#include <QDialog>
#include <cstdint>
#include <memory>

class QLabel;
class QProgressBar;

namespace Ui {
class Fmsg;
}

class TFmsg : public QDialog {
    Q_OBJECT
public:
    explicit TFmsg(QWidget* parent = nullptr);
    ~TFmsg() override;
    void Bmsg_cancelClick();
    std::unique_ptr<Ui::Fmsg> ui;

    // No address bar (the rate search of one address); only the rate shows.
    void resetProgress(bool addresses);
    // Address n of total reached after elapsed_ms of the sweep.
    void setAddressProgress(int n, int total, int64_t elapsed_ms);
    // The rate a probe is about to try; 0 clears it.
    void setRateInProgress(int32_t rate);

    QProgressBar* progressBar() const { return bar_; }
    QLabel* rateLabel() const { return rate_; }
    QLabel* timeLeftLabel() const { return left_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void fitHeight();

    QProgressBar* bar_ = nullptr;
    QLabel* rate_ = nullptr;
    QLabel* left_ = nullptr;
};
