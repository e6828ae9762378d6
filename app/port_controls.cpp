#include "app/port_controls.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include "widgets/conversions.h"
#include "widgets/port_box.h"
#include "widgets/updown.h"
#include "app/window_platform.h"
#include "pages/page_host.h"
#include "platform/port_factory.h"
#include "platform/port_order.h"

PortControls::PortControls(PageHost& host, Controls controls, WindowPlatform& platform, QObject* parent)
    : QObject(parent),
      host_(host),
      c_(controls),
      portList_(std::move(platform.ports)),
      ownPorts_(std::move(platform.ownPorts)),
      listPorts_(std::move(platform.listPorts)),
      forcedPort_(std::move(platform.forcedPort)) {
    setObjectName(QStringLiteral("PortControls"));
    portList_.insert(portList_.end(), ownPorts_.begin(), ownPorts_.end());
    c_.UpDown_adr->setRange(1, 247);
    c_.UpDown_adr->setPosition(1);
    c_.UpDown_adr->setAssociate(c_.Esysnum);

    // Combo boxes act on the operator's choice only (activated), so a
    // selection made by code runs no handler.
    connect(c_.CBports, &QComboBox::activated, this, [this] { CBportsChange(); });
    connect(c_.CBports, &PortBox::aboutToShowPopup, this, &PortControls::refreshPortList);
    connect(c_.CBscor, &QComboBox::activated, this, [this] { CBscorChange(); });
    connect(c_.CBparity, &QComboBox::activated, this, [this] { CBparityChange(); });
    connect(c_.CBstopbit, &QComboBox::activated, this, [this] { CBstopbitChange(); });
    // An edit's text set by code runs its change handler, as typing does.
    connect(c_.Esysnum, &QLineEdit::textChanged, this, [this] { EsysnumChange(); });
    connect(c_.UpDown_adr, &UpDown::changingEx, this,
            [this](bool& allow, int v, UpDown::Direction) { UpDown_adrChangingEx(allow, v); });
}

void PortControls::fillPortBox() {
    for (const std::string& p : portList_) c_.CBports->addItem(QString::fromStdString(p));
    // No entry is chosen until the settings say which; the box shows the
    // design-time name meanwhile.
    c_.CBports->setPlaceholderText(QStringLiteral("COM1"));
    c_.CBports->setCurrentIndex(-1);
    // "COM1" is a name of another system; where there is none, the built-in
    // port is one this system has, and a new settings file records it.
    host_.core().st.ls.port_name = lork::defaultPortName(portList_);
}

void PortControls::showLineSettings(int portEntry) {
    const auto& s = host_.core().st.ls;
    // An unlisted port selects nothing; the box keeps showing its own text.
    c_.CBports->setCurrentIndex(portEntry);
    c_.Esysnum->setText(QString::number(s.adr));
    c_.UpDown_adr->setPosition(s.adr);
    c_.CBscor->setCurrentIndex(s.scor_code >= 1 && s.scor_code <= 6 ? s.scor_code - 1 : -1);
    c_.CBparity->setCurrentIndex(s.parity <= 2 ? s.parity : -1);
    c_.CBstopbit->setCurrentIndex(s.stopbit == 1 || s.stopbit == 2 ? s.stopbit - 1 : -1);
    applyForcedPort();
}

void PortControls::applyForcedPort() {
    if (forcedPort_.empty()) return;
    host_.core().st.ls.port_name = forcedPort_;
    const int i = c_.CBports->findText(QString::fromStdString(forcedPort_), Qt::MatchExactly);
    if (i >= 0) c_.CBports->setCurrentIndex(i);
}

void PortControls::refreshPortList() {
    if (!listPorts_) return;
    QComboBox* box = c_.CBports;
    // The entry chosen, not the settings' name: an unlisted port chose none.
    const std::string inUse = box->currentIndex() >= 0 ? box->currentText().toStdString() : std::string();
    std::vector<std::string> now = lork::portListNow(listPorts_(), ownPorts_, inUse);
    if (now == portList_) return;
    portList_ = std::move(now);
    const QSignalBlocker quiet(box);
    box->clear();
    for (const std::string& p : portList_) box->addItem(QString::fromStdString(p));
    box->setCurrentIndex(inUse.empty() ? -1 : box->findText(QString::fromStdString(inUse), Qt::MatchExactly));
}

void PortControls::portReconfigure() {
    auto& link = host_.core().link;
    const auto& s = host_.core().st.ls;
    link.Port_setup(s.scor_code);
    link.Port_open(s.port_name, s.scor, s.parity, s.stopbit, s.bytesize);
    host_.lineChanged();
}

void PortControls::CBportsChange() {
    auto& ls = host_.core().st.ls;
    const QString name = c_.CBports->currentText();
    ls.port_name = name.toStdString();
    // The number check is for serial port names; a gateway's host name may
    // hold "com" anywhere ("tcp://gw.example.com:4001").
    const bool serial = lork::portKind(ls.port_name) == lork::PortKind::Tty;
    if (serial && (name.contains(QLatin1String("COM")) || name.contains(QLatin1String("com"))) && name.size() > 3) {
        if (!strToInt(name.mid(3))) host_.message(QStringLiteral("ошибка номера порта"));
    }
    portReconfigure();
}

void PortControls::CBscorChange() {
    auto& ls = host_.core().st.ls;
    const int i = c_.CBscor->currentIndex();
    if (i < 0) return;
    if (auto v = strToInt(c_.CBscor->currentText())) ls.scor = *v;
    ls.scor_code = uint8_t(i + 1);
    portReconfigure();
}

void PortControls::CBparityChange() {
    const int i = c_.CBparity->currentIndex();
    if (i < 0) return;
    host_.core().st.ls.parity = uint8_t(i);
    portReconfigure();
}

void PortControls::CBstopbitChange() {
    const int i = c_.CBstopbit->currentIndex();
    if (i < 0) return;
    host_.core().st.ls.stopbit = uint8_t(i + 1);
    portReconfigure();
}

void PortControls::EsysnumChange() {
    const QString text = c_.Esysnum->text();
    if (auto v = strToInt(text)) {
        host_.core().st.ls.adr = uint8_t(uint32_t(*v) & 0xFFu);
        host_.lineChanged();
        return;
    }
    host_.message(notIntegerMessage(text));
}

void PortControls::UpDown_adrChangingEx(bool& /*allow*/, int newValue) {
    if (newValue >= c_.UpDown_adr->minimum() && newValue <= c_.UpDown_adr->maximum()) {
        host_.core().st.ls.adr = uint8_t(newValue);
        host_.lineChanged();
    }
}
