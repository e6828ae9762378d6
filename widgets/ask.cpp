#include "widgets/ask.h"

#include <QMessageBox>
#include <QPushButton>

namespace lork::widgets {

bool askYesNo(QWidget* parent, const QString& title, const QString& question) {
    QMessageBox box(QMessageBox::Warning, title, question, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("нет"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace lork::widgets
