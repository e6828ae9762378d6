#include "gui_fixture.h"

namespace lork::test {

GuiRig::GuiRig(std::vector<std::string> ports, std::string forced_port) : system_ports(ports) {
    TFglav::Platform p{port, clock, std::move(ports), {}, {}, {}, std::move(forced_port), {}, {}};
    p.message = [this](const QString& text) { messages << text; };
    p.keys = [this](int vk) {
        ++key_questions[vk];
        return keyHook ? keyHook(vk) : false;
    };
    p.now = [this] { return now; };
    p.list_ports = [this] { return system_ports; };
    w = std::make_unique<TFglav>(std::move(p));
}

GuiRig::~GuiRig() = default;

void GuiRig::choose(QComboBox* box, int i) {
    box->setCurrentIndex(i);
    emit box->activated(i);
}

}  // namespace lork::test
