#pragma once
// What the core needs from the program around it: modal messages, lines of
// the information window and the asynchronous key state. The window
// implements them; tests record them.
#include <string>

namespace lork {

// Virtual-key codes the search asks for.
constexpr int VK_Q = 0x51;
constexpr int VK_X = 0x58;

class Host {
public:
    virtual ~Host() = default;
    // A modal message box with one OK button (UTF-8 text).
    virtual void messageBox(const std::string& text) = 0;
    // GetAsyncKeyState bit 0: true when the key was pressed since the last
    // question about it; asking clears that state.
    virtual bool keyPressedSince(int vk) = 0;
    // One line into the information window (UTF-8 text), such as why a port
    // failed. A host without such a window ignores it.
    virtual void infoLine(const std::string& text) { (void)text; }
};

// The silent abort of a probe read (key X): unwinds the current operator
// command to its top, where it is caught without any message.
struct ProbeAborted {};

}  // namespace lork
