#pragma once
// The about box, shown modally from the menu.
#include <QDialog>
#include <memory>

namespace Ui {
class Fabout;
}

class TFabout : public QDialog {
    Q_OBJECT
public:
    explicit TFabout(QWidget* parent = nullptr);
    ~TFabout() override;
    std::unique_ptr<Ui::Fabout> ui;
};
