#include "app/monitor_tool.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <chrono>

#include "app/beside_window.h"
#include "app/tool_host.h"
#include "device/device.h"
#include "app/tool_button.h"
#include "pages/page_format.h"
#include "platform/port_factory.h"
#include "protocol/state.h"
#include "widgets/accessible.h"
#include "widgets/frame_table.h"

namespace mon = lork::monitor;
namespace cap = lork::capture;

namespace {

// How the system names a device for the port's own opening: a bare name is
// under /dev; a link counts as what it points to.
QString deviceOf(const std::string& name) {
    QString path = QString::fromStdString(name).trimmed();
    if (lork::portKind(name) != lork::PortKind::Tty) return path;
    if (!path.contains(QLatin1Char('/'))) path = QStringLiteral("/dev/") + path;
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? path : real;
}

}  // namespace

bool MonitorWindow::samePort(const std::string& a, const std::string& b) {
    return !a.empty() && !b.empty() && deviceOf(a) == deviceOf(b);
}

MonitorWindow::MonitorWindow(Hooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("Fmonitor"));
    setWindowTitle(QStringLiteral("монитор линии"));
    askSaveFile = [this](const QString& title, const QString& filter) {
        return QFileDialog::getSaveFileName(this, title, lork::pages::saveStart(), filter);
    };
    auto named = [](auto* w, const char* name, const char* tip = nullptr) {
        w->setObjectName(QString::fromLatin1(name));
        if (tip) w->setToolTip(QString::fromUtf8(tip));
        return w;
    };
    port_ = named(new QLineEdit(this), "Emon_port",
                  "второй адаптер на той же паре A/B: ttyUSB1, /dev/ttyS1, tcp://УЗЕЛ:ПОРТ, rfc2217://УЗЕЛ:ПОРТ");
    port_->setPlaceholderText(QStringLiteral("ttyUSB1, tcp://узел:порт ..."));
    rate_ = named(new QComboBox(this), "CBmon_scor", "скорость линии, бод");
    for (size_t c = 1; c < lork::scor_table.size(); ++c) rate_->addItem(QString::number(lork::scor_table[c]));
    parity_ = named(new QComboBox(this), "CBmon_parity");
    parity_->addItems({QStringLiteral("нет"), QStringLiteral("чёт"), QStringLiteral("нечёт")});
    stopbits_ = named(new QComboBox(this), "CBmon_stopbit");
    stopbits_->addItems({QStringLiteral("1"), QStringLiteral("2")});
    gap_ = named(new QLineEdit(this), "Emon_gap", "тишина, которая завершает кадр, мс; пусто — 3,5 символа на скорости линии");
    gap_->setPlaceholderText(QStringLiteral("по скорости"));
    startStop_ = named(new QPushButton(QStringLiteral("слушать"), this), "Bmon_start");
    clear_ = named(new QPushButton(QStringLiteral("очистить"), this), "Bmon_clear");
    pcap_ = named(new QPushButton(QStringLiteral("сохранить pcap..."), this), "Bmon_pcap", "кадры для Wireshark");
    csv_ = named(new QPushButton(QStringLiteral("сохранить CSV..."), this), "Bmon_csv");
    table_ = new FrameTable(this);
    view_ = named(new QTableView(this), "TBframes");
    view_->setModel(table_);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setWordWrap(false);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view_->horizontalHeader()->setStretchLastSection(true);
    const int digit = view_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[FrameTable::ColCount] = {10, 16, 6, 8, 60, 30};
    for (int c = 0; c < FrameTable::ColCount; ++c) view_->setColumnWidth(c, widths[c] * digit + 12);
    state_ = named(new QLabel(this), "Lmon_state");
    state_->setWordWrap(true);
    state_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Each caption is its field's buddy, which names the field for a screen reader.
    auto caption = [this](const char* text, QWidget* field) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        lork::widgets::nameAfter(label, field);
        return label;
    };
    lork::widgets::nameControl(view_, QStringLiteral("кадры линии"),
                        QStringLiteral("время, вид, адрес, функция, расшифровка и байты каждого кадра"));
    lork::widgets::nameControl(state_, QStringLiteral("состояние монитора"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(caption("порт", port_), 0, 0);
    grid->addWidget(port_, 0, 1, 1, 3);
    grid->addWidget(caption("скорость", rate_), 0, 4);
    grid->addWidget(rate_, 0, 5);
    grid->addWidget(caption("паритет", parity_), 0, 6);
    grid->addWidget(parity_, 0, 7);
    grid->addWidget(caption("стопбит", stopbits_), 0, 8);
    grid->addWidget(stopbits_, 0, 9);
    grid->addWidget(caption("тишина, мс", gap_), 0, 10);
    grid->addWidget(gap_, 0, 11);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {startStop_, clear_, pcap_, csv_}) buttons->addWidget(b);
    buttons->addSpacing(12);
    // The legend: what each colour of the rows means.
    for (int k = 0; k < mon::kindCount; ++k) {
        auto* chip = new QLabel(QString::fromUtf8(mon::kindText(mon::Kind(k))), this);
        chip->setObjectName(QStringLiteral("Lmon_legend%1").arg(k));
        chip->setStyleSheet(QStringLiteral("background: %1; color: black; padding: 1px 6px; border: 1px solid #999")
                                .arg(FrameTable::colour(mon::Kind(k)).name()));
        buttons->addWidget(chip);
    }
    buttons->addStretch(1);
    grid->addLayout(buttons, 1, 0, 1, 12);
    grid->addWidget(view_, 2, 0, 1, 12);
    grid->addWidget(state_, 3, 0, 1, 12);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    resize(1180, 560);

    connect(startStop_, &QPushButton::clicked, this, &MonitorWindow::startStop);
    connect(clear_, &QPushButton::clicked, this, &MonitorWindow::clear);
    connect(pcap_, &QPushButton::clicked, this, [this] {
        const QString f = askSaveFile(QStringLiteral("кадры линии для Wireshark"), QStringLiteral("pcap (*.pcap)"));
        if (!f.isEmpty()) savePcap(f);
    });
    connect(csv_, &QPushButton::clicked, this, [this] {
        const QString f = askSaveFile(QStringLiteral("кадры линии"), QStringLiteral("CSV (*.csv)"));
        if (!f.isEmpty()) saveCsv(f);
    });
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &MonitorWindow::takeFrames);

    // The line the window talks on is the likeliest one to listen to.
    if (hooks_.windowLine) {
        const lork::LineConfig l = hooks_.windowLine();
        const int code = lork::Scor_to_code(l.baud);
        if (code > 0) rate_->setCurrentIndex(code - 1);
        parity_->setCurrentIndex(l.parity <= 2 ? l.parity : 0);
        stopbits_->setCurrentIndex(l.stopbits == 2 ? 1 : 0);
    }
    note_ = QStringLiteral("Порт окна монитор не открывает: к линии подключается второй адаптер на той же паре A/B.");
    showState();
}

MonitorWindow::~MonitorWindow() { stop(); }

bool MonitorWindow::listening() const { return listener_ && listener_->listening(); }

void MonitorWindow::startStop() {
    if (listener_ && listener_->running()) stop();
    else start();
}

void MonitorWindow::start() {
    stop();
    const std::string name = port_->text().trimmed().toStdString();
    if (name.empty()) {
        note_ = QStringLiteral("укажите порт, через который слушать линию");
        showState();
        return;
    }
    const std::string own = hooks_.windowPort ? hooks_.windowPort() : std::string();
    if (samePort(name, own)) {
        note_ = QStringLiteral("порт %1 — порт окна: окно само ведёт через него обмен (он открыт только для окна, "
                               "и два читателя одного порта получали бы каждый лишь часть байтов). "
                               "Обмен окна виден в журнале обмена; чужой обмен слушайте через второй адаптер "
                               "на той же паре A/B.")
                    .arg(QString::fromStdString(name));
        showState();
        return;
    }
    int64_t gapUs = 0;
    if (const QString g = gap_->text().trimmed(); !g.isEmpty()) {
        bool ok = false;
        const double ms = QString(g).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok || ms < 0.1 || ms > 1000) {
            note_ = QStringLiteral("тишина между кадрами — от 0,1 до 1000 мс, или пусто: по скорости линии");
            showState();
            return;
        }
        gapUs = int64_t(ms * 1000 + 0.5);
    }
    const lork::LineConfig cfg{lork::scor_table[size_t(rate_->currentIndex() + 1)], 8, uint8_t(parity_->currentIndex()),
                               uint8_t(stopbits_->currentIndex() + 1), 0};
    listener_ = std::make_unique<mon::BackgroundListener>(hooks_.makePort(name), clock_);
    base_.monoStartUs = clock_.nowUs();
    base_.wallStartUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    if (const std::string why = listener_->start(name, cfg, gapUs); !why.empty()) {
        listener_.reset();
        note_ = QString::fromStdString(why);
        showState();
        return;
    }
    // The time column counts from the first start after a clearing.
    if (table_->frames().empty()) table_->setOrigin(base_.monoStartUs);
    listeningTo_ = name;
    note_.clear();
    startStop_->setText(QStringLiteral("остановить"));
    timer_.start();
    showState();
}

void MonitorWindow::stop() {
    if (!listener_) return;
    listener_->stop();
    takeFrames();
    listener_.reset();
    timer_.stop();
    startStop_->setText(QStringLiteral("слушать"));
    showState();
}

void MonitorWindow::clear() {
    table_->clearAll();
    for (auto& c : counts_) c = 0;
    table_->setOrigin(clock_.nowUs());
    showState();
}

void MonitorWindow::takeFrames() {
    if (!listener_) return;
    std::vector<mon::Frame> frames = listener_->take();
    for (const mon::Frame& f : frames) ++counts_[int(f.kind)];
    // Follow the newest rows only while the operator is at the end.
    QScrollBar* bar = view_->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum() - 2;
    table_->append(std::move(frames));
    if (atEnd) view_->scrollToBottom();
    if (!listener_->listening() && listener_->running()) {
        note_ = QString::fromStdString(listener_->failure());
        listener_->stop();
        timer_.stop();
        startStop_->setText(QStringLiteral("слушать"));
    }
    showState();
}

void MonitorWindow::showState() {
    QString s;
    if (listening())
        s = QStringLiteral("слушаю %1, %2 бод, тишина %3 мс. ")
                .arg(QString::fromStdString(listeningTo_), rate_->currentText())
                .arg(double(listener_->timing().gapUs) / 1000.0, 0, 'f', 2);
    const uint64_t frames = counts_[0] + counts_[1] + counts_[2] + counts_[3] + counts_[4];
    s += QStringLiteral("Кадров %1: запросов %2, ответов %3, исключений %4, с ошибкой КС %5, посторонних %6; "
                        "без ответа %7; в окне %8.")
             .arg(frames)
             .arg(counts_[int(mon::Kind::Request)])
             .arg(counts_[int(mon::Kind::Reply)])
             .arg(counts_[int(mon::Kind::Exception)])
             .arg(counts_[int(mon::Kind::CrcError)])
             .arg(counts_[int(mon::Kind::Stray)])
             .arg(counts_[int(mon::Kind::NoReply)])
             .arg(table_->rowCount());
    if (listener_ && listener_->dropped())
        s += QStringLiteral(" Пропущено окном: %1.").arg(listener_->dropped());
    if (!note_.isEmpty()) s += QLatin1Char(' ') + note_;
    state_->setText(s);
}

bool MonitorWindow::save(const QString& path, const QString& what, bool pcap) {
    QFile f(path);
    std::string bytes = pcap ? cap::pcapHeader() : cap::csvHeader() + "\n";
    for (const mon::Frame& fr : table_->frames()) bytes += pcap ? cap::pcapRecord(fr, base_) : cap::csvLine(fr, base_) + "\n";
    const bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) && f.flush();
    note_ = ok ? QStringLiteral("%1 сохранены: %2 (%3 строк).").arg(what, path).arg(table_->rowCount())
               : QStringLiteral("%1 не сохранены: %2: %3").arg(what, path, f.errorString());
    showState();
    return ok;
}

bool MonitorWindow::savePcap(const QString& path) { return save(path, QStringLiteral("кадры (pcap)"), true); }
bool MonitorWindow::saveCsv(const QString& path) { return save(path, QStringLiteral("кадры (CSV)"), false); }

MonitorTool::MonitorTool(ToolHost& host)
    : window_(std::make_unique<MonitorWindow>(
          MonitorWindow::Hooks{[&host] { return host.core().st.ls.port_name; },
                               [&host] {
                                   const lork::LineSettings& l = host.core().st.ls;
                                   return lork::LineConfig{l.scor, l.bytesize, l.parity, l.stopbit, 0};
                               },
                               [](const std::string& name) { return lork::makePort(name); }},
          host.mainWindow())) {
    setObjectName(QStringLiteral("MonitorTool"));
    markBeside(window_.get());
    showItem_.reset(host.toolMenu()->addAction(QStringLiteral("монитор линии")));
    showItem_->setObjectName(QStringLiteral("N_monitor"));
    connect(showItem_.get(), &QAction::triggered, this, &MonitorTool::showWindow);
    button_.reset(makeToolButton(host.toolBar(),
                                 {18, QStringLiteral("монитор"), QStringLiteral("монитор линии: слушает чужой обмен"),
                                  host.mainWindow()->style()->standardIcon(QStyle::SP_DriveNetIcon)},
                                 showItem_.get()));
}

MonitorTool::~MonitorTool() = default;

void MonitorTool::showWindow() { showBeside(window_.get()); }
