#pragma once
// The message window the device search shows while it runs: stays on top,
// no border icons, no caption, a single border, not modal. The search
// rewrites Label1 with its progress; the abort is the key Q, so the cancel
// button stays disabled.
#include <QDialog>
#include <memory>

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

protected:
    void paintEvent(QPaintEvent* e) override;
};
