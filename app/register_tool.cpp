#include "app/register_tool.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <optional>

#include "app/beside_window.h"
#include "app/tool_host.h"
#include "app/tool_button.h"
#include "platform/cp1251.h"
#include "device/device.h"
#include "protocol/register_table.h"
#include "protocol/rtu_frame.h"
#include "widgets/accessible.h"

namespace reg = lork::reg;
namespace rtu = lork::rtu;

namespace {

// Decimal, or hexadecimal after 0x; nothing when it is neither or out of range.
std::optional<long> number(const QString& text, long hi) {
    const QString t = text.trimmed();
    bool ok = false;
    const long v = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toLong(&ok, 16) : t.toLong(&ok, 10);
    if (!ok || v < 0 || v > hi) return std::nullopt;
    return v;
}

// The register of the table a word belongs to: its name ("res (R)"), the
// word's place after the first in a longer value ("cal0 +1"), and its caption.
struct WordName {
    QString name;
    QString caption;
    bool text = false;
};

WordName wordName(uint8_t func, long address) {
    const auto space = reg::spaceOfFunction(func);
    const reg::Register* r = space ? reg::registerCovering(*space, uint16_t(address)) : nullptr;
    if (!r) return {};
    QString name = QString::fromUtf8(r->name.data(), qsizetype(r->name.size()));
    if (!r->symbol.empty()) name += QStringLiteral(" (%1)").arg(QString::fromUtf8(r->symbol.data(), qsizetype(r->symbol.size())));
    if (address > r->address) name += QStringLiteral(" +%1").arg(address - r->address);
    return {name, QString::fromUtf8(r->caption.data(), qsizetype(r->caption.size())), r->form == reg::Form::Text};
}

QString hex4(long v) { return QStringLiteral("0x") + QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

RegisterWindow::RegisterWindow(lork::Core& core, std::function<bool()> idle, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(core), idle_(std::move(idle)), fx_(core.link.port(), core.link.clock()) {
    setObjectName(QStringLiteral("Fregisters"));
    setWindowTitle(QStringLiteral("регистры"));
    confirm = [this](const QString& question) {
        QMessageBox box(QMessageBox::Question, windowTitle(), question, QMessageBox::NoButton, this);
        QPushButton* yes = box.addButton(QStringLiteral("да"), QMessageBox::YesRole);
        box.setDefaultButton(box.addButton(QStringLiteral("нет"), QMessageBox::NoRole));
        box.exec();
        return box.clickedButton() == yes;
    };

    auto named = [](auto* w, const char* name, const char* tip = nullptr) {
        w->setObjectName(QString::fromLatin1(name));
        if (tip) w->setToolTip(QString::fromUtf8(tip));
        return w;
    };
    func_ = named(new QComboBox(this), "CBfunc", "функция чтения");
    func_->addItems({QStringLiteral("1: катушки"), QStringLiteral("2: дискретные входы"),
                     QStringLiteral("3: регистры хранения"), QStringLiteral("4: входные регистры")});
    func_->setCurrentIndex(2);
    start_ = named(new QLineEdit(QStringLiteral("0x0A00"), this), "Estart", "первый адрес: десятичный или 0x...");
    count_ = named(new QSpinBox(this), "SBcount", "сколько прочитать");
    count_->setRange(1, rtu::maxReadRegisters);
    count_->setValue(8);
    read_ = named(new QPushButton(QStringLiteral("прочитать"), this), "Bread");
    every_ = named(new QCheckBox(QStringLiteral("каждые, с"), this), "CBevery", "читать снова через период");
    period_ = named(new QSpinBox(this), "SBperiod", "период чтения, с");
    period_->setRange(1, 3600);
    period_->setValue(2);
    table_ = named(new QTableWidget(0, 5, this), "TBvalues");
    table_->setHorizontalHeaderLabels({QStringLiteral("адрес"), QStringLiteral("дес."), QStringLiteral("hex"),
                                       QStringLiteral("текст"), QStringLiteral("имя")});
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    writeAddress_ = named(new QLineEdit(this), "Ewrite_adr", "регистр хранения: десятичный или 0x...");
    writeValue_ = named(new QLineEdit(this), "Ewrite_value", "значение 0..65535 или 0x...");
    write_ = named(new QPushButton(QStringLiteral("записать"), this), "Bwrite");
    result_ = named(new QLabel(this), "Lresult");
    result_->setWordWrap(true);

    // Each caption is its field's buddy, which names the field for a screen
    // reader as the operator reads it.
    auto caption = [this](const char* text, QWidget* field) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        lork::widgets::nameAfter(label, field);
        return label;
    };
    lork::widgets::nameControl(period_, QStringLiteral("период чтения, с"));
    lork::widgets::nameControl(table_, QStringLiteral("значения регистров"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(caption("функция", func_), 0, 0);
    grid->addWidget(func_, 0, 1, 1, 3);
    grid->addWidget(caption("начало", start_), 1, 0);
    grid->addWidget(start_, 1, 1);
    grid->addWidget(caption("количество", count_), 1, 2);
    grid->addWidget(count_, 1, 3);
    grid->addWidget(read_, 2, 0, 1, 2);
    grid->addWidget(every_, 2, 2);
    grid->addWidget(period_, 2, 3);
    grid->addWidget(table_, 3, 0, 1, 4);
    grid->addWidget(caption("записать в регистр", writeAddress_), 4, 0);
    grid->addWidget(writeAddress_, 4, 1);
    grid->addWidget(caption("значение", writeValue_), 4, 2);
    grid->addWidget(writeValue_, 4, 3);
    grid->addWidget(write_, 5, 0, 1, 2);
    grid->addWidget(result_, 6, 0, 1, 4);
    resize(500, 460);

    connect(read_, &QPushButton::clicked, this, &RegisterWindow::readOnce);
    connect(write_, &QPushButton::clicked, this, &RegisterWindow::writeRegister);
    connect(every_, &QCheckBox::toggled, this, &RegisterWindow::everyToggled);
    connect(period_, &QSpinBox::valueChanged, this, [this](int s) { timer_.setInterval(s * 1000); });
    connect(&timer_, &QTimer::timeout, this, &RegisterWindow::tick);
    retry_.setSingleShot(true);
    retry_.setInterval(50);
    connect(&retry_, &QTimer::timeout, this, &RegisterWindow::tick);
}

RegisterWindow::~RegisterWindow() = default;

void RegisterWindow::everyToggled(bool on) {
    if (!on) {
        timer_.stop();
        retry_.stop();
        return;
    }
    timer_.start(period_->value() * 1000);
    tick();
}

void RegisterWindow::tick() {
    // Inside a command (its message box open, a search running) the line is
    // the command's: the read waits until the command is over.
    if (!idle_()) {
        retry_.start();
        return;
    }
    readOnce();
}

QString RegisterWindow::exchange(const std::vector<uint8_t>& request, std::vector<uint8_t>& reply) {
    const auto& ls = core_.st.ls;
    const auto r = fx_.exchange(request, lork::fixedReplyWaitUs(ls.scor_code, ls.scor));
    reply = r.bytes;
    if (r.error != 0) return QString::fromStdString(core_.link.port().describeError(ls.port_name, r.error));
    const rtu::Check check = rtu::checkReply(request, reply, r.gatewayException);
    return check.ok() ? QString() : QString::fromStdString(rtu::checkText(check)).trimmed();
}

void RegisterWindow::readOnce() {
    const auto func = uint8_t(func_->currentIndex() + 1);
    const auto start = number(start_->text(), 0xFFFF);
    const int count = count_->value();
    if (!start || *start + count > 0x10000) {
        result_->setText(QStringLiteral("начало: число 0..65535 (или 0x...), и начало + количество не больше 65536"));
        return;
    }
    const auto request = rtu::readRequest(core_.st.ls.adr, func, uint16_t(*start), uint16_t(count));
    std::vector<uint8_t> reply;
    if (const QString failure = exchange(request, reply); !failure.isEmpty()) {
        result_->setText(failure);
        return;
    }
    showValues(func, uint16_t(*start), rtu::replyValues(request, reply));
    result_->setText(QStringLiteral("прочитано: %1").arg(count));
}

void RegisterWindow::showValues(uint8_t func, uint16_t start, const std::vector<uint16_t>& values) {
    table_->setRowCount(int(values.size()));
    for (int i = 0; i < int(values.size()); ++i) {
        const long address = long(start) + i;
        const uint16_t v = values[size_t(i)];
        const WordName known = wordName(func, address);
        QString text;
        if (known.text) {
            const char bytes[2] = {char(v >> 8), char(v & 0xFF)};
            text = QString::fromStdString(lork::cp1251ToDisplay(std::string_view(bytes, 2)));
        }
        const QString cells[5] = {hex4(address), QString::number(v), hex4(v), text, known.name};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 1) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            // The caption says what the short name means, to the eye and to a screen reader.
            if (c == 4 && !known.name.isEmpty()) {
                item->setToolTip(known.caption);
                item->setData(Qt::AccessibleTextRole, known.name + QStringLiteral(", ") + known.caption);
            }
            table_->setItem(i, c, item);
        }
    }
}

void RegisterWindow::writeRegister() {
    const auto address = number(writeAddress_->text(), 0xFFFF);
    const auto value = number(writeValue_->text(), 0xFFFF);
    if (!address || !value) {
        result_->setText(QStringLiteral("запись: регистр и значение — числа 0..65535 (или 0x...)"));
        return;
    }
    const QString question = QStringLiteral("записать %1 (%2) в регистр %3 прибора %4?")
                                 .arg(*value)
                                 .arg(hex4(*value), hex4(*address))
                                 .arg(core_.st.ls.adr);
    if (!confirm(question)) {
        result_->setText(QStringLiteral("запись отменена"));
        return;
    }
    const auto request = rtu::writeRequest(core_.st.ls.adr, uint16_t(*address), {uint16_t(*value)});
    std::vector<uint8_t> reply;
    const QString failure = exchange(request, reply);
    result_->setText(failure.isEmpty() ? QStringLiteral("записано: %1 в %2").arg(*value).arg(hex4(*address)) : failure);
}

RegisterTool::RegisterTool(ToolHost& host)
    : window_(std::make_unique<RegisterWindow>(host.core(), [&host] { return host.commandIdle(); }, host.mainWindow())) {
    setObjectName(QStringLiteral("RegisterTool"));
    markBeside(window_.get());
    showItem_.reset(host.toolMenu()->addAction(QStringLiteral("регистры")));
    showItem_->setObjectName(QStringLiteral("N_registers"));
    connect(showItem_.get(), &QAction::triggered, this, &RegisterTool::showWindow);
    button_.reset(makeToolButton(host.toolBar(),
                                 {17, QStringLiteral("регистры"), QStringLiteral("любые регистры прибора"),
                                  QIcon(QStringLiteral(":/icons/registers.png"))},
                                 showItem_.get()));
}

RegisterTool::~RegisterTool() = default;

void RegisterTool::showWindow() { showBeside(window_.get()); }
