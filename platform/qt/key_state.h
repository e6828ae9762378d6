#pragma once
// The asynchronous key state the device search asks for: whether Q or X was
// pressed since the last question, whatever window of the program had the
// focus.
//
// An application-wide event filter records the presses. A long operation
// blocks the event loop, so a question first lets the pending window-system
// events through; while it does, every user-input event and every timer tick
// is swallowed, so no handler of the program runs inside the blocked one
// (only painting and the like go through, which keeps the progress visible).
#include <QObject>
#include <set>

namespace lork {

// The system's own record of a press of vk since the last question, where it
// keeps one (GetAsyncKeyState on Windows); false elsewhere.
bool systemKeyPressedSince(int vk);

// Whether a long operation is letting pending events through right now (the
// key state's question, the screen reader's answers). Whatever runs there
// runs inside the operation: it may not start a command of its own, and no
// input or timer reaches the program's handlers.
bool insideEventPump();

// Marks such a pump for as long as it lives.
class EventPump {
public:
    EventPump();
    ~EventPump();
    EventPump(const EventPump&) = delete;
    EventPump& operator=(const EventPump&) = delete;
};

class KeyState : public QObject {
public:
    explicit KeyState(QObject* parent = nullptr);
    ~KeyState() override;

    // Installs the filter on the application.
    void install();
    // Virtual-key codes 0x51 (Q) and 0x58 (X); true when pressed since the
    // last question about that key; the question clears it.
    bool keyPressedSince(int vk);

    // The virtual-key code a key event stands for (0 for none we track).
    // The Russian layout's letters on the same keys count too.
    static int virtualKeyOf(int qtKey, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::set<int> pressed_;
    bool installed_ = false;
};

}  // namespace lork
