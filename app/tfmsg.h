#pragma once
// The message window the device search shows while it runs: stays on top,
// no border icons, no caption, a single border, not modal. The search
// tells what it is doing in its first line; the abort is the key Q, so the
// cancel button stays disabled. Below the labels a bar shows the address reached,
// the rate being tried and an estimate of the time left.
#include <QDialog>
#include <cstdint>
#include <memory>

#include "pages/search_progress.h"

class QLabel;
class QProgressBar;

namespace Ui {
class Fmsg;
}

class TFmsg : public QDialog, public SearchProgressView {
    Q_OBJECT
public:
    explicit TFmsg(QWidget* parent = nullptr);
    ~TFmsg() override;
    void Bmsg_cancelClick();

    // What the search is doing, in the first line (Label1).
    void setText(const QString& text) override;
    // No address bar (the rate search of one address); only the rate shows.
    void resetProgress(bool addresses) override;
    // Address n of total reached after elapsedMs of the sweep.
    void setAddressProgress(int n, int total, int64_t elapsedMs) override;
    // The rate a probe is about to try; 0 clears it.
    void setRateInProgress(int32_t rate) override;
    void showNow() override {
        show();
        repaint();
    }
    void hideNow() override { hide(); }

    QProgressBar* progressBar() const { return bar_; }
    QLabel* rateLabel() const { return rate_; }
    QLabel* timeLeftLabel() const { return left_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void fitHeight();

    std::unique_ptr<Ui::Fmsg> ui;
    QProgressBar* bar_ = nullptr;
    QLabel* rate_ = nullptr;
    QLabel* left_ = nullptr;
};
