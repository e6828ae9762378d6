#include "app/tfmsg.h"

#include "ui_tfmsg.h"

TFmsg::TFmsg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Fmsg>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(false);
    connect(ui->Bmsg_cancel, &QPushButton::clicked, this, [this] { Bmsg_cancelClick(); });
}

TFmsg::~TFmsg() = default;

void TFmsg::Bmsg_cancelClick() { close(); }
