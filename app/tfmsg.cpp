#include "app/tfmsg.h"

#include <QPainter>

#include "ui_tfmsg.h"

TFmsg::TFmsg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Fmsg>()) {
    ui->setupUi(this);
    // No frame from the window manager: one that draws a title bar would show
    // a caption (the program's name stands in for an empty one) and its own
    // buttons whatever the hints say. The window draws its single border.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setModal(false);
    connect(ui->Bmsg_cancel, &QPushButton::clicked, this, [this] { Bmsg_cancelClick(); });
}

TFmsg::~TFmsg() = default;

void TFmsg::Bmsg_cancelClick() { close(); }

void TFmsg::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
