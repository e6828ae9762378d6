#pragma once
// A main window on the test doubles: FakePort and VirtualClock under the
// core, messages and key questions recorded, a fixed wall-clock time.
#include <QComboBox>
#include <QDateTime>
#include <QStringList>
#include <QTest>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/tfglav.h"
#include "platform/port_factory.h"
#include "platform/base/system_clock.h"
#include "support/fake_port.h"

namespace lork::test {

struct GuiRig {
    explicit GuiRig(std::vector<std::string> ports = {"COM1", "COM2", "COM7"}, std::string forcedPort = {});
    ~GuiRig();

    VirtualClock clock;
    FakePort port{clock};
    QStringList messages;            // every modal message, in order
    QStringList questions;           // the calibration and parameters pages' "write all the same?" questions
    bool answerYes = true;           // their answer
    std::map<int, int> key_questions;
    std::function<bool(int)> keyHook;
    QDateTime now{QDate(2026, 3, 9), QTime(7, 5, 4)};
    std::vector<std::string> system_ports;  // what the system lists when the port box opens
    std::unique_ptr<TFglav> w;

    template <class T>
    T* find(const char* name) const {
        return w->findChild<T*>(QString::fromLatin1(name));
    }
    // Chooses entry i of a combo box as the operator does (runs its handler).
    static void choose(QComboBox* box, int i);
};

// The window as the program builds it: on the port chosen by its name and
// the system's clock, after its first activation; message boxes recorded.
// response_ms, when not 0, is the wait for a reply from that activation on:
// a test whose subject is not the timing gives a busy machine room with it.
struct ProgramWindow {
    lork::PortByName port;
    lork::SystemClock clock;
    QStringList messages;
    std::unique_ptr<TFglav> w;

    explicit ProgramWindow(const std::string& name, uint32_t response_ms = 0) {
        TFglav::Platform p{port, clock, {name}, {}, {}, {}, name, {}, {name}};
        p.message = [this](const QString& text) { messages << text; };
        w = std::make_unique<TFglav>(std::move(p));
        w->core().link.responseTimeoutMs = response_ms;
        w->FormActivate();
    }
    template <class T>
    T* get(const char* name) const {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
};

// Compares text with the record in file, line by line; empty when they
// agree, else where they part. With the environment variable env set to a
// path, writes text there instead (a new record) and agrees.
QString compareWithRecord(const QString& text, const char* env, const QString& file);

}  // namespace lork::test
