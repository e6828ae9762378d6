#pragma once
// The port box: a combo box that says when its list is about to open, so
// that the list can be read anew from the system first.
#include <QComboBox>

class PortBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override {
        emit aboutToShowPopup();
        QComboBox::showPopup();
    }

signals:
    void aboutToShowPopup();
};
