#include "app/tfglav_parts.h"

#include <algorithm>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "widgets/digit_key_filter.h"
#include "widgets/port_box.h"
#include "app/port_controls.h"
#include "app/tfabout.h"
#include "app/tool_button.h"
#include "app/window_access.h"
#include "widgets/accessible.h"
#include "widgets/announcer.h"
#include "widgets/updown.h"
#include "pages/calibration.h"
#include "pages/page_format.h"
#include "pages/parameters.h"
#include "pages/readings.h"
#include "pages/search.h"
#include "app/tfmsg.h"
#include "pages/timeouts.h"
#include "platform/qt/screen_reader.h"
#include "platform/qt/shell_open.h"
#include "ui_tfglav.h"

namespace {

QToolBar* makeToolBar(Ui::Fglav& ui, QWidget* window) {
    auto* bar = new QToolBar(window);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(32, 32));
    ui.topRow->insertWidget(0, bar);

    struct Row {
        int n;
        const char* caption;
        const char* hint;
        const char* icon;
        QAction* bound;  // the menu item a tool button runs
    };
    const Row rows[] = {
        {1, "пуск", "запуск\\останов периодического опроса", "pusk", nullptr},
        {2, "стоп", "", "stop", nullptr},
        {4, "сохр.в INI", "сохранить параметры в INI-файле", "save", nullptr},
        {6, "RS485", "? ", "rs485", nullptr},
        {7, "таймауты", "таймауты для СОМ-порта", "timeouts", nullptr},
        {9, "параметры", "параметры прибора", "params", nullptr},
        {10, "показания", "показания прибора", "pokazania", nullptr},
        {11, "калибровка", "калибровка прибора", "calibr", nullptr},
        {13, "справка", "встроенная справка", "spravka", ui.N_spravka},
        {14, "ВЫХОД", "завершение программы", "exit", ui.N_close},
    };
    for (const Row& s : rows) {
        const QIcon icon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(s.icon)));
        // Button 2 is present but never shown.
        QToolButton* b = makeToolButton(
            bar, {s.n, QString::fromUtf8(s.caption), QString::fromUtf8(s.hint), icon}, s.bound, s.n != 2);
        if (s.n == 1) b->setCheckable(true);
        if (s.n == 6) b->setEnabled(false);
    }
    return bar;
}

// Each press of a key or a mouse button outside a running command and
// outside a modal box begins a new operator command: a port that failed in
// the last one is tried again. The commands that mark themselves (the
// query, a tick, the activation, a search) need no press.
class OperatorInput : public QObject {
public:
    OperatorInput(lork::ExchangeFeed& feed, QObject* parent) : QObject(parent), feed_(feed) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto t = event->type();
        if ((t == QEvent::MouseButtonPress || t == QEvent::KeyPress) && !QApplication::activeModalWidget())
            feed_.newCommand();
        return QObject::eventFilter(watched, event);
    }

private:
    lork::ExchangeFeed& feed_;
};

}  // namespace

TFglav::TFglav(Platform platform, QWidget* parent)
    : QMainWindow(parent),
      core_(platform.port, platform.clock, *this),
      ui(std::make_unique<Ui::Fglav>()),
      parts_(std::make_unique<Parts>(platform)) {
    // The pictures live in this static library; make sure they are linked in.
    Q_INIT_RESOURCE(lork);
    // Before any control exists, so that none gets Qt's interface first.
    lork::widgets::installAccessibleCommands();
    presentPagesByName();
    ui->setupUi(this);
    new lork::widgets::Announcer(this);
    core_.link.watchCommands(&core_.feed);
    // A screen reader that is not answered falls silent until the command
    // ends: a search's progress would be heard only after it.
    core_.link.whileWaiting = [] { lork::answerScreenReader(); };
    qApp->installEventFilter(new OperatorInput(core_.feed, this));
    parts_->ToolBar1 = makeToolBar(*ui, this);
    parts_->statusPanels = makeStatusPanels(ui->StatusBar1);
    parts_->linkPanel = new QLabel(ui->StatusBar1);
    parts_->linkPanel->setObjectName(QStringLiteral("StatusPanelLink"));
    parts_->linkPanel->setFrameShape(QFrame::Panel);
    parts_->linkPanel->setFrameShadow(QFrame::Sunken);
    parts_->linkPanel->setContentsMargins(3, 0, 3, 0);
    parts_->linkPanel->setStyleSheet(QStringLiteral("color: #a00000"));
    ui->StatusBar1->addPermanentWidget(parts_->linkPanel);
    parts_->linkPanel->hide();

    parts_->Timer_system = new QTimer(this);
    parts_->Timer_system->setObjectName(QStringLiteral("Timer_system"));
    parts_->Timer_system->setInterval(1000);
    parts_->Timer_opros = new QTimer(this);
    parts_->Timer_opros->setObjectName(QStringLiteral("Timer_opros"));
    parts_->Timer_opros->setInterval(1000);

    parts_->digitFilter = new DigitKeyFilter(this);
    ui->Esysnum->installEventFilter(parts_->digitFilter);
    ui->Esysnum->setMaximumWidth(110);
    parts_->ports = new PortControls(
        *this, {ui->CBports, ui->CBscor, ui->CBparity, ui->CBstopbit, ui->Esysnum, ui->UpDown_adr}, platform, this);

    ui->PageControl1->setTabEnabled(3, false);
    for (int i = 0; i < 4; ++i) tabSheet(i)->installEventFilter(this);
    ui->ListBox1->viewport()->installEventFilter(this);
    for (QListWidget* lb : {ui->LBtuda, ui->LBsuda}) lb->setSelectionMode(QAbstractItemView::NoSelection);

    connectControls();
    createPages();
    parts_->toolHost = std::make_unique<Parts::Tools>(*this, ui->N_nastroiki, ui->Esysnum);
    parts_->journal = std::make_unique<JournalTool>(*parts_->toolHost);
    parts_->plot = std::make_unique<PlotTool>(*parts_->toolHost);
    parts_->registers = std::make_unique<RegisterTool>(*parts_->toolHost);
    parts_->monitor = std::make_unique<MonitorTool>(*parts_->toolHost);
    parts_->overview = std::make_unique<OverviewTool>(*parts_->toolHost);
    setupComfort();
    nameWindowControls(*ui);
    openMenusByKeys(this, ui->MainMenu1);
    setupSpeech();

    FormCreate();
    if (parts_->startAborted) return;
    parts_->holdMessages = true;
    Timer_systemTimer();
    parts_->Timer_system->start();
}

TFglav::~TFglav() = default;


QToolButton* TFglav::toolButton(int n) const {
    return parts_->ToolBar1->findChild<QToolButton*>(QStringLiteral("ToolButton%1").arg(n), Qt::FindDirectChildrenOnly);
}

void TFglav::createPages() {
    // Every exchange is shown once, from its record.
    core_.feed.subscribe([this](const lork::ExchangeRecord& rec) { Show_tuda_suda(rec); });
    core_.feed.subscribe([this](const lork::ExchangeRecord& rec) { showResult(rec); });
    core_.feed.subscribe([this](const lork::ExchangeRecord& rec) { showLinkState(rec); });

    parts_->readings = new ReadingsPage(*this, ui->TabSheet1,
                                 {toolButton(1), ui->CBtime_opros, ui->Ed_name, ui->Ed_version}, this);
    parts_->parameters = new ParametersPage(*this, ui->TabSheet2,
                                     {ui->Esysnum, ui->CBscor, [this](uint8_t r) { parts_->readings->showRes(r); }}, this);
    parts_->calibration = new CalibrationPage(
        *this, ui->TabSheet3,
        {[this] { parts_->readings->LEizmprocClick(); }, [this] { parts_->readings->LEizmprocDblClick(); },
         [this] { return ui->Ed_name->text(); }, [this] { return ui->Ed_version->text(); }},
        this);
    parts_->timeouts = new TimeoutsPage(*this, ui->TabSheet4, this);
    // The fast search goes with the other searches, after the answer check.
    auto* fast = new QAction(QStringLiteral("быстрый поиск"), this);
    fast->setObjectName(QStringLiteral("N_poisk_fast"));
    const QList<QAction*> fileItems = ui->N_file->actions();
    const qsizetype after = fileItems.indexOf(ui->N_yes_otvet) + 1;
    ui->N_file->insertAction(after < fileItems.size() ? fileItems[after] : nullptr, fast);
    parts_->search = new SearchCommands(*this,
                                 {this, ui->N_poisk_pribor, ui->N_poisk_num, ui->N_poisk_scor, ui->N_yes_otvet, fast,
                                  [this]() -> SearchProgressView* { return parts_->Fmsg; }, [this] { return parts_->readings->periodic_opros() != 0; }},
                                 this);
}

void TFglav::connectControls() {
    connect(toolButton(4), &QToolButton::clicked, this, [this] { ToolButton4Click(); });
    connect(toolButton(6), &QToolButton::clicked, this, [this] { ToolButton6Click(); });
    connect(toolButton(7), &QToolButton::clicked, this, [this] { ToolButton7Click(); });
    connect(toolButton(9), &QToolButton::clicked, this, [this] { ToolButton9Click(); });
    connect(toolButton(10), &QToolButton::clicked, this, [this] { ToolButton10Click(); });
    connect(toolButton(11), &QToolButton::clicked, this, [this] { ToolButton11Click(); });
    connect(ui->N_close, &QAction::triggered, this, [this] { N_closeClick(); });
    connect(ui->N_close1, &QAction::triggered, this, [this] { N_close1Click(); });
    connect(ui->N_pokazania, &QAction::triggered, this, [this] { N_pokazaniaClick(); });
    connect(ui->N_params, &QAction::triggered, this, [this] { N_paramsClick(); });
    connect(ui->N_calibr, &QAction::triggered, this, [this] { N_calibrClick(); });
    connect(ui->N_keep_polling, &QAction::toggled, this, [this](bool on) { ls().keepPolling = on; });
    connect(ui->N_spravka, &QAction::triggered, this, [this] { N_spravkaClick(); });
    connect(ui->N_about, &QAction::triggered, this, [this] { N_aboutClick(); });
    connect(parts_->Timer_system, &QTimer::timeout, this, [this] { Timer_systemTimer(); });
}

void TFglav::FormCreate() {
    // Context help files of the old help system have no viewer here; the
    // help document (N_spravka) is the program's help.
    if (auto* screen = QGuiApplication::primaryScreen()) {
        QRect r = frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    ui->PageControl1->setCurrentIndex(0);

    if (parts_->ports->portList().empty()) {
        message(QStringLiteral("список портов пуст"));
        parts_->startAborted = true;
        return;
    }
    core_.st.ls = lork::LineSettings{};
    parts_->ports->fillPortBox();
    core_.st.dev = lork::DeviceState{};
    core_.st.found_scor.fill(0);

    // Polling is off at start (the readings page's flags start cleared).
    parts_->Timer_opros->stop();

    // The line controls show the built-in settings until the settings file
    // is loaded over them.
    const auto& s = ls();
    ui->CBtime_opros->setCurrentIndex(s.time_opros_index <= 7 ? s.time_opros_index : -1);
    parts_->ports->showLineSettings(-1);
}

// --- page control ---

QWidget* TFglav::tabSheet(int index) const {
    switch (index) {
    case 0: return ui->TabSheet1;
    case 1: return ui->TabSheet2;
    case 2: return ui->TabSheet3;
    case 3: return ui->TabSheet4;
    default: return nullptr;
    }
}

void TFglav::addPageWidget(int index, QWidget* page) {
    if (QWidget* sheet = tabSheet(index)) sheet->layout()->addWidget(page);
}

void TFglav::pageVisibilityChanged(int index, bool shown) {
    switch (index * 2 + (shown ? 0 : 1)) {
    case 0: parts_->readings->TabSheet1Show(); break;
    case 1: parts_->readings->TabSheet1Hide(); break;
    case 2: parts_->parameters->TabSheet2Show(); break;
    case 3: parts_->parameters->TabSheet2Hide(); break;
    case 4: parts_->calibration->TabSheet3Show(); break;
    case 5: parts_->calibration->TabSheet3Hide(); break;
    case 6: parts_->timeouts->TabSheet4Show(); break;
    case 7: parts_->timeouts->TabSheet4Hide(); break;
    default: return;
    }
    if (shown) emit pageShown(index);
    else emit pageHidden(index);
}

// --- navigation ---

void TFglav::ToolButton6Click() {}

void TFglav::ToolButton7Click() {
    ui->TabSheet4->repaint();
    ui->PageControl1->setTabEnabled(3, true);
    ui->PageControl1->setCurrentIndex(3);
}

void TFglav::ToolButton9Click() { ui->PageControl1->setCurrentIndex(1); }
void TFglav::ToolButton10Click() { ui->PageControl1->setCurrentIndex(0); }
void TFglav::ToolButton11Click() { ui->PageControl1->setCurrentIndex(2); }
void TFglav::N_pokazaniaClick() { ToolButton10Click(); }
void TFglav::N_paramsClick() { ToolButton9Click(); }
void TFglav::N_calibrClick() { ToolButton11Click(); }
void TFglav::showKeepPolling() { ui->N_keep_polling->setChecked(ls().keepPolling); }

void TFglav::N_closeClick() { close(); }
void TFglav::N_close1Click() { close(); }

void TFglav::N_spravkaClick() {
    const QString path = lork::helpDocumentPath();
    switch (lork::shellOpen(path)) {
        case lork::OpenResult::Opened: return;
        case lork::OpenResult::Missing:
            message(QStringLiteral("Справка не найдена. Файл искали здесь:\n") +
                    QDir::toNativeSeparators(
                        lork::helpDocumentPlaces(QCoreApplication::applicationDirPath()).join(QLatin1Char('\n'))));
            return;
        case lork::OpenResult::NoViewer:
            message(QStringLiteral("Справку %1 нечем открыть: нет программы для просмотра PDF.")
                        .arg(QDir::toNativeSeparators(path)));
            return;
    }
}

void TFglav::N_aboutClick() {
    if (parts_->Fabout) parts_->Fabout->exec();
}

// --- clock ---

void TFglav::Timer_systemTimer() {
    const QDateTime now = wallNow();
    // The same text again would still reach a screen reader as a change.
    const QString date = QStringLiteral("дата ") + lork::pages::shortDateText(now.date());
    if (ui->Edit_cur_date->text() != date) ui->Edit_cur_date->setText(date);
    ui->Edit_cur_time->setText(QStringLiteral(" время ") + lork::pages::longTimeText(now.time()));
    ui->Edit_cur_date->repaint();
    ui->Edit_cur_time->repaint();
}

// --- events ---

bool TFglav::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->ListBox1->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            ListBox1Click();
        } else if (event->type() == QEvent::MouseButtonDblClick &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            ListBox1DblClick();
            return true;
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && !event->spontaneous()) {
        for (int i = 0; i < 4; ++i)
            if (watched == tabSheet(i)) pageVisibilityChanged(i, event->type() == QEvent::Show);
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TFglav::event(QEvent* e) {
    if (e->type() == QEvent::Show && !e->spontaneous()) firstShown();
    if (e->type() == QEvent::WindowActivate) activationEvent(true);
    else if (e->type() == QEvent::WindowDeactivate) activationEvent(false);
    return QMainWindow::event(e);
}

void TFglav::closeEvent(QCloseEvent* e) {
    savePlace();
    FormClose();
    e->accept();
}

// --- what the window's parts give out ---

bool TFglav::startAborted() const { return parts_->startAborted; }
JournalTool& TFglav::journal() { return *parts_->journal; }
PlotTool& TFglav::plot() { return *parts_->plot; }
PortControls& TFglav::ports() { return *parts_->ports; }
QLabel* TFglav::statusPanel(int i) const { return parts_->statusPanels.at(size_t(i)); }
void TFglav::setMessageFunction(std::function<void(const QString&)> fn) { parts_->messageFn = std::move(fn); }
void TFglav::setKeyFunction(std::function<bool(int)> fn) { parts_->keyFn = std::move(fn); }
ReadingsPage& TFglav::readings() { return *parts_->readings; }
ParametersPage& TFglav::parameters() { return *parts_->parameters; }
CalibrationPage& TFglav::calibration() { return *parts_->calibration; }
TimeoutsPage& TFglav::timeouts() { return *parts_->timeouts; }
void TFglav::setAboutBox(TFabout* about) { parts_->Fabout = about; }
void TFglav::setMessageWindow(TFmsg* msg) { parts_->Fmsg = msg; }
void TFglav::setSettingsHolder(TFMsetup* holder) { parts_->FMsetup = holder; }
TFMsetup* TFglav::settingsHolder() const { return parts_->FMsetup; }
QTimer* TFglav::pollTimer() { return parts_->Timer_opros; }
QTimer* TFglav::systemTimer() const { return parts_->Timer_system; }

bool TFglav::Parts::Tools::commandIdle() const {
    // One event loop is the program's own; another is a command's message
    // box (or a tool's question before a write) waiting.
    return QThread::currentThread()->loopLevel() <= 1 && !window.parts_->search->running();
}
