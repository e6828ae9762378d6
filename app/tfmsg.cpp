#include "app/tfmsg.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

#include "ui_tfmsg.h"

TFmsg::TFmsg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Fmsg>()) {
    ui->setupUi(this);
    // No frame from the window manager: one that draws a title bar would show
    // a caption (the program's name stands in for an empty one) and its own
    // buttons whatever the hints say. The window draws its single border.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setModal(false);
    // Its caption stays empty; a screen reader names it all the same.
    setAccessibleName(QStringLiteral("поиск приборов"));
    connect(ui->Bmsg_cancel, &QPushButton::clicked, this, [this] { Bmsg_cancelClick(); });

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("Progress"));
    bar_->setFormat(QStringLiteral("адрес %v из %m"));
    rate_ = new QLabel(this);
    rate_->setObjectName(QStringLiteral("RateInProgress"));
    left_ = new QLabel(this);
    left_->setObjectName(QStringLiteral("TimeLeft"));
    auto* row = new QHBoxLayout;
    row->addWidget(rate_);
    row->addStretch();
    row->addWidget(left_);
    // Below the two labels, above the buttons.
    ui->msgLayout->insertWidget(2, bar_);
    ui->msgLayout->insertLayout(3, row);
    resetProgress(false);
}

TFmsg::~TFmsg() = default;

void TFmsg::Bmsg_cancelClick() { close(); }

void TFmsg::setText(const QString& text) { ui->Label1->setText(text); }

void TFmsg::resetProgress(bool addresses) {
    bar_->setRange(0, 247);
    bar_->setValue(0);
    bar_->setVisible(addresses);
    left_->clear();
    rate_->clear();
    fitHeight();
}

void TFmsg::fitHeight() {
    // The search's wrapped first line and the bar under it would otherwise
    // be squeezed into the design height; the width stays as designed.
    QLayout* lay = layout();
    lay->invalidate();
    lay->activate();
    const int need = lay->hasHeightForWidth() ? lay->totalHeightForWidth(width()) : lay->totalSizeHint().height();
    if (need > 0 && need != height()) resize(width(), need);
}

void TFmsg::setAddressProgress(int n, int total, int64_t elapsedMs) {
    bar_->setRange(0, total);
    bar_->setValue(n);
    if (bar_->isHidden()) {
        bar_->show();
        fitHeight();
    }
    if (n <= 0 || elapsedMs <= 0) {
        left_->clear();
    } else {
        // The addresses so far set the pace: a silent one costs all its probes.
        const int64_t leftSeconds = (elapsedMs * (total - n) / n + 999) / 1000;
        left_->setText(QStringLiteral("осталось около %1:%2")
                           .arg(leftSeconds / 60)
                           .arg(leftSeconds % 60, 2, 10, QLatin1Char('0')));
    }
    repaint();
}

void TFmsg::setRateInProgress(int32_t rate) {
    rate_->setText(rate > 0 ? QStringLiteral("скорость %1").arg(rate) : QString());
    repaint();
}

void TFmsg::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
