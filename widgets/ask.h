#pragma once
#include <QString>

class QWidget;

namespace lork::widgets {

// A warning that asks before something the instrument may regret: "да" or
// "нет", with "нет" the default and Escape's answer, so a hasty Return
// writes nothing. True for "да".
bool askYesNo(QWidget* parent, const QString& title, const QString& question);

}  // namespace lork::widgets
