#include "platform/qt/key_state.h"

namespace lork {

// The window system keeps no such record here: the event filter is all.
bool systemKeyPressedSince(int) { return false; }

}  // namespace lork
