#include "gui_fixture.h"

#include <QFile>
#include <algorithm>

#include "pages/calibration.h"
#include "pages/parameters.h"

namespace lork::test {

GuiRig::GuiRig(std::vector<std::string> ports, std::string forcedPort) : system_ports(ports) {
    TFglav::Platform p{port, clock, std::move(ports), {}, {}, {}, std::move(forcedPort), {}, {}};
    p.message = [this](const QString& text) { messages << text; };
    p.keys = [this](int vk) {
        ++key_questions[vk];
        return keyHook ? keyHook(vk) : false;
    };
    p.now = [this] { return now; };
    p.listPorts = [this] { return system_ports; };
    w = std::make_unique<TFglav>(std::move(p));
    const auto ask = [this](const QString& q) {
        questions << q;
        return answerYes;
    };
    w->calibration().setWriteAnyway(ask);
    w->parameters().setWriteAnyway(ask);
}

GuiRig::~GuiRig() = default;

void GuiRig::choose(QComboBox* box, int i) {
    box->setCurrentIndex(i);
    emit box->activated(i);
}

QString compareWithRecord(const QString& text, const char* env, const QString& file) {
    if (const QByteArray out = qgetenv(env); !out.isEmpty()) {
        QFile f(QString::fromLocal8Bit(out));
        if (!f.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write ") + f.fileName();
        f.write(text.toUtf8());
        return {};
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("cannot read ") + file;
    const QStringList want = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    const QStringList have = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::min(want.size(), have.size()); ++i)
        if (want[i] != have[i])
            return QStringLiteral("line %1: want '%2', have '%3'").arg(i + 1).arg(want[i], have[i]);
    if (have.size() != want.size()) return QStringLiteral("%1 lines, want %2").arg(have.size()).arg(want.size());
    return {};
}

}  // namespace lork::test
