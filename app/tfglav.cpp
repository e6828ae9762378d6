#include "app/tfglav.h"

#include <algorithm>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "widgets/conversions.h"
#include "widgets/digit_key_filter.h"
#include "widgets/port_box.h"
#include "app/tfabout.h"
#include "widgets/updown.h"
#include "records/journal.h"
#include "records/log_file.h"
#include "records/trend.h"
#include "pages/calibration.h"
#include "pages/page_format.h"
#include "pages/parameters.h"
#include "pages/readings.h"
#include "pages/search.h"
#include "pages/timeouts.h"
#include "platform/port_factory.h"
#include "platform/port_order.h"
#include "platform/qt/shell_open.h"
#include "ui_tfglav.h"

TFglav::TFglav(Platform platform, QWidget* parent)
    : QMainWindow(parent),
      clock_(platform.clock),
      core_(platform.port, platform.clock, *this),
      ui(std::make_unique<Ui::Fglav>()),
      port_list_(std::move(platform.ports)),
      message_fn_(std::move(platform.message)),
      key_fn_(std::move(platform.keys)),
      now_fn_(std::move(platform.now)),
      forced_port_(std::move(platform.forced_port)) {
    own_ports_ = std::move(platform.own_ports);
    list_ports_ = std::move(platform.list_ports);
    port_list_.insert(port_list_.end(), own_ports_.begin(), own_ports_.end());
    // The pictures live in this static library; make sure they are linked in.
    Q_INIT_RESOURCE(lork);
    ui->setupUi(this);
    buildToolBar();
    buildStatusBar();

    Timer_system = new QTimer(this);
    Timer_system->setObjectName(QStringLiteral("Timer_system"));
    Timer_system->setInterval(1000);
    Timer_opros = new QTimer(this);
    Timer_opros->setObjectName(QStringLiteral("Timer_opros"));
    Timer_opros->setInterval(1000);

    digit_filter_ = new DigitKeyFilter(this);
    ui->Esysnum->installEventFilter(digit_filter_);
    ui->Esysnum->setMaximumWidth(110);
    ui->UpDown_adr->setRange(1, 247);
    ui->UpDown_adr->setPosition(1);
    ui->UpDown_adr->setAssociate(ui->Esysnum);

    ui->PageControl1->setTabEnabled(3, false);
    for (int i = 0; i < 4; ++i) tabSheet(i)->installEventFilter(this);
    ui->ListBox1->viewport()->installEventFilter(this);
    for (QListWidget* lb : {ui->LBtuda, ui->LBsuda}) lb->setSelectionMode(QAbstractItemView::NoSelection);

    connectControls();
    createPages();
    buildJournal();
    buildPlot();
    setupComfort();

    FormCreate();
    if (start_aborted_) return;
    Timer_systemTimer();
    Timer_system->start();
}

TFglav::~TFglav() = default;

void TFglav::buildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setIconSize(QSize(32, 32));
    ui->topRow->insertWidget(0, ToolBar1);

    struct Spec {
        int n;
        const char* caption;
        const char* hint;
        const char* icon;
        QAction* bound;  // the menu item a tool button is bound to
    };
    const Spec specs[] = {
        {1, "пуск", "запуск\\останов периодического опроса", "pusk", nullptr},
        {2, "стоп", "", "stop", nullptr},
        {4, "сохр.в INI", "сохранить параметры в INI-файле", "save", nullptr},
        {6, "RS485", "? ", "rs485", nullptr},
        {7, "таймауты", "таймауты для СОМ-порта", "timeouts", nullptr},
        {9, "параметры", "параметры прибора", "params", nullptr},
        {10, "показания", "показания прибора", "pokazania", nullptr},
        {11, "калибровка", "калибровка прибора", "calibr", nullptr},
        {13, "справка", "встроенная справка", "spravka", ui->N_spravka},
        {14, "ВЫХОД", "завершение программы", "exit", ui->N_close},
    };
    for (const Spec& s : specs) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QStringLiteral("ToolButton%1").arg(s.n));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setIconSize(QSize(32, 32));
        b->setMinimumWidth(64);
        const QIcon icon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(s.icon)));
        b->setIcon(icon);
        b->setText(QString::fromUtf8(s.caption));
        b->setToolTip(QString::fromUtf8(s.hint));
        // A button bound to a menu item runs that item (the menu bar keeps
        // showing the item's text, so the picture stays on the button).
        if (s.bound) connect(b, &QToolButton::clicked, s.bound, &QAction::trigger);
        QAction* slot = ToolBar1->addWidget(b);
        if (s.n == 2) slot->setVisible(false);  // present but never shown
        toolButtons[size_t(s.n)] = b;
    }
    toolButton(1)->setCheckable(true);
    toolButton(6)->setEnabled(false);
}

void TFglav::createPages() {
    // Every exchange is shown once, from its record.
    core_.feed.subscribe([this](const lork::ExchangeRecord& rec) { Show_tuda_suda(rec); });
    core_.feed.subscribe([this](const lork::ExchangeRecord& rec) { Show_result(rec); });

    readings_ = new ReadingsPage(*this, ui->TabSheet1,
                                 {toolButton(1), ui->CBtime_opros, ui->Ed_name, ui->Ed_version}, this);
    parameters_ = new ParametersPage(*this, ui->TabSheet2,
                                     {ui->Esysnum, ui->CBscor, [this](uint8_t r) { readings_->Show_res(r); }}, this);
    calibration_ = new CalibrationPage(
        *this, ui->TabSheet3,
        {[this] { readings_->LEizmprocClick(); }, [this] { readings_->LEizmprocDblClick(); },
         [this] { return ui->Ed_name->text(); }, [this] { return ui->Ed_version->text(); }},
        this);
    timeouts_ = new TimeoutsPage(*this, ui->TabSheet4, this);
    search_ = new SearchCommands(*this,
                                 {this, ui->N_poisk_pribor, ui->N_poisk_num, ui->N_poisk_scor, ui->N_yes_otvet,
                                  [this] { return Fmsg; }, [this] { return readings_->periodic_opros() != 0; }},
                                 this);
}

void TFglav::connectControls() {
    // Combo boxes act on the operator's choice only (activated), so a
    // selection made by code runs no handler.
    connect(ui->CBports, &QComboBox::activated, this, [this] { CBportsChange(); });
    connect(ui->CBports, &PortBox::aboutToShowPopup, this, &TFglav::refreshPortList);
    connect(ui->CBscor, &QComboBox::activated, this, [this] { CBscorChange(); });
    connect(ui->CBparity, &QComboBox::activated, this, [this] { CBparityChange(); });
    connect(ui->CBstopbit, &QComboBox::activated, this, [this] { CBstopbitChange(); });
    // An edit's text set by code runs its change handler, as typing does.
    connect(ui->Esysnum, &QLineEdit::textChanged, this, [this] { EsysnumChange(); });
    connect(ui->UpDown_adr, &UpDown::changingEx, this,
            [this](bool& allow, int v, UpDown::Direction) { UpDown_adrChangingEx(allow, v); });

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
    connect(ui->N_spravka, &QAction::triggered, this, [this] { N_spravkaClick(); });
    connect(ui->N_about, &QAction::triggered, this, [this] { N_aboutClick(); });
    connect(Timer_system, &QTimer::timeout, this, [this] { Timer_systemTimer(); });
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

    if (port_list_.empty()) {
        message(QStringLiteral("список портов пуст"));
        start_aborted_ = true;
        return;
    }
    for (const std::string& p : port_list_) ui->CBports->addItem(QString::fromStdString(p));
    // No entry is chosen until the settings say which; the box shows the
    // design-time name meanwhile.
    ui->CBports->setPlaceholderText(QStringLiteral("COM1"));
    ui->CBports->setCurrentIndex(-1);

    core_.st.ls = lork::LineSettings{};
    // "COM1" is a name of another system; where there is none, the built-in
    // port is one this system has, and a new settings file records it.
    core_.st.ls.port_name = lork::Default_port_name(port_list_);
    core_.st.dev = lork::DeviceState{};
    core_.st.found_scor.fill(0);

    // Polling is off at start (the readings page's flags start cleared).
    Timer_opros->stop();

    // The line controls show the built-in settings until the settings file
    // is loaded over them.
    const auto& s = ls();
    ui->CBscor->setCurrentIndex(s.scor_code >= 1 && s.scor_code <= 6 ? s.scor_code - 1 : -1);
    ui->CBparity->setCurrentIndex(s.parity <= 2 ? s.parity : -1);
    ui->CBstopbit->setCurrentIndex(s.stopbit == 1 || s.stopbit == 2 ? s.stopbit - 1 : -1);
    ui->CBtime_opros->setCurrentIndex(s.time_opros_index <= 7 ? s.time_opros_index : -1);

    ui->Esysnum->setText(QString::number(s.adr));
    applyForcedPort();
}

void TFglav::applyForcedPort() {
    if (forced_port_.empty()) return;
    ls().port_name = forced_port_;
    const int i = ui->CBports->findText(QString::fromStdString(forced_port_), Qt::MatchExactly);
    if (i >= 0) ui->CBports->setCurrentIndex(i);
}

void TFglav::refreshPortList() {
    if (!list_ports_) return;
    QComboBox* box = ui->CBports;
    // The entry chosen, not the settings' name: an unlisted port chose none.
    const std::string in_use = box->currentIndex() >= 0 ? box->currentText().toStdString() : std::string();
    std::vector<std::string> now = lork::Port_list_now(list_ports_(), own_ports_, in_use);
    if (now == port_list_) return;
    port_list_ = std::move(now);
    const QSignalBlocker quiet(box);
    box->clear();
    for (const std::string& p : port_list_) box->addItem(QString::fromStdString(p));
    box->setCurrentIndex(in_use.empty() ? -1 : box->findText(QString::fromStdString(in_use), Qt::MatchExactly));
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
    case 0: readings_->TabSheet1Show(); break;
    case 1: readings_->TabSheet1Hide(); break;
    case 2: parameters_->TabSheet2Show(); break;
    case 3: parameters_->TabSheet2Hide(); break;
    case 4: calibration_->TabSheet3Show(); break;
    case 5: calibration_->TabSheet3Hide(); break;
    case 6: timeouts_->TabSheet4Show(); break;
    case 7: timeouts_->TabSheet4Hide(); break;
    default: return;
    }
    if (shown) emit pageShown(index);
    else emit pageHidden(index);
}

// --- port controls ---

void TFglav::portReconfigure() {
    auto& s = ls();
    core_.link.Port_setup(s.scor_code);
    core_.link.Port_open(s.port_name, s.scor, s.parity, s.stopbit, s.bytesize);
}

void TFglav::CBportsChange() {
    const QString name = ui->CBports->currentText();
    ls().port_name = name.toStdString();
    // The number check is for serial port names; a gateway's host name may
    // hold "com" anywhere ("tcp://gw.example.com:4001").
    const bool serial = lork::Port_kind(ls().port_name) == lork::PortKind::Tty;
    if (serial && (name.contains(QLatin1String("COM")) || name.contains(QLatin1String("com"))) && name.size() > 3) {
        if (!Str_to_int(name.mid(3))) message(QStringLiteral("ошибка номера порта"));
    }
    portReconfigure();
}

void TFglav::CBscorChange() {
    const int i = ui->CBscor->currentIndex();
    if (i < 0) return;
    if (auto v = Str_to_int(ui->CBscor->currentText())) ls().scor = *v;
    ls().scor_code = uint8_t(i + 1);
    portReconfigure();
}

void TFglav::CBparityChange() {
    const int i = ui->CBparity->currentIndex();
    if (i < 0) return;
    ls().parity = uint8_t(i);
    portReconfigure();
}

void TFglav::CBstopbitChange() {
    const int i = ui->CBstopbit->currentIndex();
    if (i < 0) return;
    ls().stopbit = uint8_t(i + 1);
    portReconfigure();
}

void TFglav::EsysnumChange() {
    const QString text = ui->Esysnum->text();
    if (auto v = Str_to_int(text)) {
        ls().adr = uint8_t(uint32_t(*v) & 0xFFu);
        return;
    }
    message(Not_integer_message(text));
}

void TFglav::UpDown_adrChangingEx(bool& /*allow*/, int newValue) {
    if (newValue >= ui->UpDown_adr->minimum() && newValue <= ui->UpDown_adr->maximum())
        ls().adr = uint8_t(newValue);
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

void TFglav::N_closeClick() { close(); }
void TFglav::N_close1Click() { close(); }

void TFglav::N_spravkaClick() { lork::Shell_open(lork::Help_document_path()); }

void TFglav::N_aboutClick() {
    if (Fabout) Fabout->exec();
}

// --- clock ---

void TFglav::Timer_systemTimer() {
    const QDateTime now = wallNow();
    ui->Edit_cur_date->setText(QStringLiteral("дата ") + QLocale().toString(now.date(), QLocale::ShortFormat));
    ui->Edit_cur_time->setText(QStringLiteral(" время ") + lork::pages::Long_time_text(now.time()));
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
