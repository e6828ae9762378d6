#include <windows.h>

#include <QGuiApplication>

#include "platform/qt/key_state.h"

namespace lork {

bool systemKeyPressedSince(int vk) {
    // Asked always, so that a press made while another program had the
    // focus is forgotten; it counts only while one of our windows has it.
    const bool pressed = (GetAsyncKeyState(vk) & 1) != 0;
    return pressed && QGuiApplication::applicationState() == Qt::ApplicationActive;
}

}  // namespace lork
