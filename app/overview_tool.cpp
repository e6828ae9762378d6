#include "app/overview_tool.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>

#include "app/beside_window.h"
#include "app/tool_host.h"
#include "device/device.h"
#include "app/tool_button.h"
#include "platform/cp1251.h"
#include "widgets/accessible.h"

namespace {

enum Column { ColAdr, ColName, ColVersion, ColIndicator, ColLeds, ColLastGood, ColFailures, ColState, ColCount };

QString fromCp1251(const std::string& bytes) {
    return QString::fromStdString(lork::cp1251ToDisplay(bytes)).trimmed();
}

// The four positions as the glass shows them: each character, and its point when lit.
QString indicator(const lork::Instrument& ins) {
    QString out;
    const std::string& ci = ins.ciText;
    for (size_t i = 0; i < ci.size(); i += 2) {
        out += QString::fromStdString(lork::cp1251ToDisplay(ci.substr(i, 1)));
        if (i + 1 < ci.size() && ci[i + 1] == '.') out += QLatin1Char('.');
    }
    static const char* const units[] = {" %", " Ом", " ступень"};
    const uint8_t v = ins.dev.v_ind;
    return out.trimmed() + (v >= 1 && v <= 3 ? QString::fromUtf8(units[v - 1]) : QString());
}

struct Led {
    const char* name;
    uint8_t lit, blinking;
};

// The LEDs as marks for the eye, and in words for a screen reader.
std::pair<QString, QString> leds(const lork::DeviceState& d) {
    const Led all[] = {{"P", d.svd_P, d.svd_P_mig}, {"K1", d.svd_K1, 0}, {"K2", d.svd_K2, 0}, {"I", d.svd_I, d.svd_I_mig}};
    QStringList marks, words;
    for (const Led& l : all) {
        const bool blink = l.lit && l.blinking;
        marks << QString::fromUtf8(l.name) + (blink ? QStringLiteral(" ◐") : l.lit ? QStringLiteral(" ●") : QStringLiteral(" ○"));
        words << QString::fromUtf8(l.name) +
                     (blink ? QStringLiteral(" мигает") : l.lit ? QStringLiteral(" горит") : QStringLiteral(" не горит"));
    }
    return {marks.join(QStringLiteral("  ")), words.join(QStringLiteral(", "))};
}

}  // namespace

OverviewWindow::OverviewWindow(ToolHost& host)
    : QWidget(host.mainWindow(), Qt::Window),
      host_(host),
      overview_(host.core().st, host.core().link, host.core().feed, [&host] { return host.wallMs(); }) {
    setObjectName(QStringLiteral("Foverview"));
    setWindowTitle(QStringLiteral("все приборы линии"));
    auto named = [](auto* w, const char* name, const char* tip = nullptr) {
        w->setObjectName(QString::fromLatin1(name));
        if (tip) w->setToolTip(QString::fromUtf8(tip));
        return w;
    };
    addresses_ = named(new QLineEdit(this), "Eaddresses", "адреса через запятую, диапазоны через дефис: 1,5,7-9");
    found_ = named(new QPushButton(QStringLiteral("найденные поиском"), this), "Bfound",
                   "адреса, ответившие при последнем поиске");
    poll_ = named(new QCheckBox(QStringLiteral("опрашивать по кругу"), this), "CBpoll");
    period_ = named(new QSpinBox(this), "SBperiod", "круг начинается не чаще, чем раз в столько секунд");
    period_->setRange(0, 3600);
    period_->setValue(2);
    table_ = named(new QTableWidget(0, ColCount, this), "TBinstruments",
                   "двойной щелчок или Enter: сделать прибор текущим адресом окна");
    table_->setHorizontalHeaderLabels({QStringLiteral("адрес"), QStringLiteral("прибор"), QStringLiteral("версия"),
                                       QStringLiteral("индикатор"), QStringLiteral("светодиоды"),
                                       QStringLiteral("последний ответ"), QStringLiteral("сбоев"),
                                       QStringLiteral("состояние")});
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->installEventFilter(this);
    state_ = named(new QLabel(this), "Lround");
    state_->setWordWrap(true);

    auto* caption = new QLabel(QStringLiteral("адреса"), this);
    lork::widgets::nameAfter(caption, addresses_);
    auto* every = new QLabel(QStringLiteral("круг каждые, с"), this);
    lork::widgets::nameAfter(every, period_);
    lork::widgets::nameControl(table_, QStringLiteral("приборы линии"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(caption, 0, 0);
    grid->addWidget(addresses_, 0, 1);
    grid->addWidget(found_, 0, 2);
    grid->addWidget(poll_, 1, 0, 1, 2);
    grid->addWidget(every, 1, 2);
    grid->addWidget(period_, 1, 3);
    grid->addWidget(table_, 2, 0, 1, 4);
    grid->addWidget(state_, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    resize(760, 300);

    connect(found_, &QPushButton::clicked, this, &OverviewWindow::takeFound);
    connect(poll_, &QCheckBox::toggled, this, &OverviewWindow::setPolling);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int r, int) { chooseRow(r); });
    turn_.setSingleShot(true);
    connect(&turn_, &QTimer::timeout, this, &OverviewWindow::tick);
}

OverviewWindow::~OverviewWindow() = default;

void OverviewWindow::takeFound() {
    const auto found = lork::foundAddresses(host_.core().st.found_scor);
    addresses_->setText(QString::fromStdString(lork::addressListText(found)));
    if (found.empty()) state_->setText(QStringLiteral("поиск ещё не нашёл ни одного прибора: введите адреса"));
    if (poll_->isChecked()) {
        next_ = 0;
        takeList();
    }
}

bool OverviewWindow::takeList() {
    std::string why;
    const auto adrs = lork::parseAddressList(addresses_->text().toStdString(), &why);
    if (!adrs) {
        state_->setText(QString::fromStdString(why));
        return false;
    }
    overview_.setAddresses(*adrs);
    table_->setRowCount(int(adrs->size()));
    for (int r = 0; r < table_->rowCount(); ++r) showRow(r);
    return true;
}

void OverviewWindow::setPolling(bool on) {
    if (poll_->isChecked() != on) {
        poll_->setChecked(on);  // runs this again through toggled
        return;
    }
    turn_.stop();
    if (!on) return;
    next_ = 0;
    if (!takeList()) {
        poll_->setChecked(false);
        return;
    }
    turn_.start(0);
}

void OverviewWindow::tick() {
    // Inside a command (its message box open, a search running) the line is
    // the command's: the turn waits until the command is over.
    if (!host_.commandIdle()) {
        turn_.start(50);
        return;
    }
    if (!step()) {
        poll_->setChecked(false);
        return;
    }
    if (next_ != 0) {
        turn_.start(0);
        return;
    }
    const int64_t spentMs = (host_.core().link.clock().nowUs() - roundStartUs_) / 1000;
    turn_.start(int(std::max<int64_t>(0, int64_t(period_->value()) * 1000 - spentMs)));
}

bool OverviewWindow::step() {
    if (overview_.instruments().empty() && !takeList()) return false;
    if (overview_.instruments().empty()) return false;
    if (next_ == 0) roundStartUs_ = host_.core().link.clock().nowUs();
    const size_t i = next_;
    overview_.poll(i);
    showRow(int(i));
    next_ = (i + 1) % overview_.instruments().size();
    if (next_ == 0) {
        ++rounds_;
        int answering = 0;
        for (const auto& ins : overview_.instruments()) answering += ins.answering ? 1 : 0;
        state_->setText(QStringLiteral("круг %1: отвечают %2 из %3")
                            .arg(rounds_)
                            .arg(answering)
                            .arg(overview_.instruments().size()));
        // A list edited during the round counts from the next one.
        if (poll_->isChecked()) takeList();
    }
    return true;
}

void OverviewWindow::showRow(int r) {
    if (r < 0 || size_t(r) >= overview_.instruments().size()) return;
    const lork::Instrument& ins = overview_.instruments()[size_t(r)];
    const auto [marks, words] = leds(ins.dev);
    const bool seen = ins.lastGoodMs >= 0;
    QString state;
    if (!ins.polled) state = QStringLiteral("ещё не опрошен");
    else if (ins.answering) state = QStringLiteral("отвечает");
    else state = QStringLiteral("нет ответа: ") + QString::fromStdString(ins.failure).trimmed();
    const QString cells[ColCount] = {
        QString::number(ins.adr),
        fromCp1251(ins.name),
        fromCp1251(ins.version),
        seen ? indicator(ins) : QString(),
        seen ? marks : QString(),
        seen ? QDateTime::fromMSecsSinceEpoch(ins.lastGoodMs).toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("—"),
        QString::number(ins.failures),
        state,
    };
    const bool failed = ins.polled && !ins.answering;
    for (int c = 0; c < ColCount; ++c) {
        QTableWidgetItem* it = table_->item(r, c);
        if (!it) {
            it = new QTableWidgetItem;
            table_->setItem(r, c, it);
        }
        it->setText(cells[c]);
        if (c == ColLeds) it->setData(Qt::AccessibleTextRole, seen ? words : QString());
        if (c == ColAdr || c == ColFailures) it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // A silent instrument's last values stay, greyed, beside its state in red.
        QBrush brush = palette().brush(failed ? QPalette::Disabled : QPalette::Active, QPalette::Text);
        if (failed && (c == ColState || c == ColFailures)) brush = QBrush(QColor(0xa0, 0x00, 0x00));
        it->setForeground(brush);
    }
}

void OverviewWindow::chooseRow(int r) {
    if (r < 0 || size_t(r) >= overview_.instruments().size()) return;
    // As the operator's typing: the field's change handler takes the address.
    host_.addressField()->setText(QString::number(overview_.instruments()[size_t(r)].adr));
}

bool OverviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            chooseRow(table_->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OverviewWindow::showEvent(QShowEvent* e) {
    if (addresses_->text().isEmpty()) takeFound();
    QWidget::showEvent(e);
}

void OverviewWindow::hideEvent(QHideEvent* e) {
    // No one looks: the line is left to the window.
    setPolling(false);
    QWidget::hideEvent(e);
}

OverviewTool::OverviewTool(ToolHost& host) : window_(std::make_unique<OverviewWindow>(host)) {
    setObjectName(QStringLiteral("OverviewTool"));
    markBeside(window_.get());
    showItem_.reset(host.toolMenu()->addAction(QStringLiteral("все приборы линии")));
    showItem_->setObjectName(QStringLiteral("N_overview"));
    connect(showItem_.get(), &QAction::triggered, this, &OverviewTool::showWindow);
    button_.reset(makeToolButton(host.toolBar(),
                                 {19, QStringLiteral("все приборы"), QStringLiteral("все приборы линии по очереди"),
                                  host.mainWindow()->style()->standardIcon(QStyle::SP_FileDialogListView)},
                                 showItem_.get()));
}

OverviewTool::~OverviewTool() = default;

void OverviewTool::showWindow() { showBeside(window_.get()); }
