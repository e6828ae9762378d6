// What the window tells a screen reader beyond the names of its controls:
// the results of commands, spoken without moving the focus, and the choices
// of its combo boxes as they change.
#include <QComboBox>

#include "app/tfglav.h"
#include "widgets/accessible.h"
#include "widgets/announcer.h"

void TFglav::announce(const QString& text) {
    if (auto* a = lork::widgets::Announcer::of(this)) a->announce(text);
}

void TFglav::announceProgress(const QString& text) {
    if (auto* a = lork::widgets::Announcer::of(this)) a->progress(text);
}

void TFglav::setupSpeech() {
    for (QComboBox* box : findChildren<QComboBox*>()) lork::widgets::speakChoices(box);
}
