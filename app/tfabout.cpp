#include "app/tfabout.h"

#include "ui_tfabout.h"

TFabout::TFabout(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Fabout>()) {
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TFabout::~TFabout() = default;
