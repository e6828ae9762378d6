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
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/conversions.h"
#include "app/digit_key_filter.h"
#include "app/tfabout.h"
#include "app/updown.h"
#include "platform/port_order.h"
#include "platform/shell_open.h"
#include "protocol/framing.h"
#include "ui_tfglav.h"

namespace {

// Status bar panel widths in pixels; the last one, the message panel, takes
// the rest of the bar.
constexpr std::array<int, 6> kPanelWidths{80, 80, 120, 100, 100, 50};
const std::array<const char*, 6> kPanelTexts{"ПОРТ:", "Адрес", "Скорость:", "паритет:", "стопбит:", ""};

// The system's long time format without a time-zone part, which the date
// and time fields have no room for.
QString long_time_format(const QLocale& loc) {
    QString f = loc.timeFormat(QLocale::LongFormat);
    f.remove(QLatin1Char('t'));
    return f.trimmed();
}

}  // namespace

TFglav::TFglav(Platform platform, QWidget* parent)
    : QMainWindow(parent),
      ui(std::make_unique<Ui::Fglav>()),
      core_(platform.port, platform.clock, *this),
      port_list_(std::move(platform.ports)),
      message_fn_(std::move(platform.message)),
      key_fn_(std::move(platform.keys)),
      now_fn_(std::move(platform.now)),
      forced_port_(std::move(platform.forced_port)) {
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
    Setup_page_readings();
    Setup_page_parameters();
    Setup_page_calibration();
    Setup_page_timeouts();
    Setup_search();

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

void TFglav::buildStatusBar() {
    QStatusBar* bar = ui->StatusBar1;
    bar->setSizeGripEnabled(true);
    for (size_t i = 0; i < status_panels_.size(); ++i) {
        auto* l = new QLabel(QString::fromUtf8(kPanelTexts[i]), bar);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setContentsMargins(3, 0, 3, 0);
        if (i + 1 < status_panels_.size()) {
            l->setFixedWidth(kPanelWidths[i]);
            bar->addPermanentWidget(l);
        } else {
            l->setMinimumWidth(kPanelWidths[i]);
            bar->addPermanentWidget(l, 1);
        }
        status_panels_[i] = l;
    }
}

void TFglav::connectControls() {
    // Combo boxes act on the operator's choice only (activated), so a
    // selection made by code runs no handler.
    connect(ui->CBports, &QComboBox::activated, this, [this] { CBportsChange(); });
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

    Timer_opros->stop();
    periodic_opros = 0;
    opros_active = 0;

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

// --- messages, host ---

void TFglav::message(const QString& text) {
    if (in_activation_) activation_raised_message_ = true;
    if (message_fn_) {
        message_fn_(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.exec();
}

void TFglav::messageBox(const std::string& text) { message(QString::fromStdString(text)); }

bool TFglav::keyPressedSince(int vk) { return key_fn_ ? key_fn_(vk) : false; }

// --- status bar ---

QString TFglav::statusPanelText(int i) const {
    if (i < 0 || i >= int(status_panels_.size())) return {};
    return status_panels_[size_t(i)]->text();
}

void TFglav::setStatusPanelText(int i, const QString& text) {
    if (i < 0 || i >= int(status_panels_.size())) return;
    QLabel* l = status_panels_[size_t(i)];
    l->setText(text);
    // Linux port names are longer than COM names: a panel widens to show its
    // whole text rather than cut the port off.
    if (i + 1 < int(status_panels_.size())) {
        const QMargins m = l->contentsMargins();
        const int need = l->fontMetrics().horizontalAdvance(text) + m.left() + m.right() + 2 * l->frameWidth() + 4;
        l->setFixedWidth(std::max(kPanelWidths[size_t(i)], need));
    }
    // Long operations block the event loop; the text must show at once.
    status_panels_[size_t(i)]->repaint();
}

// --- information window ---

void TFglav::addInfoLine(const QString& line) {
    ui->ListBox1->addItem(line);
    ui->ListBox1->scrollToBottom();
}

void TFglav::replaceLastInfoLine(const QString& line) {
    const int n = ui->ListBox1->count();
    if (n == 0) {
        addInfoLine(line);
        return;
    }
    ui->ListBox1->item(n - 1)->setText(line);
}

void TFglav::clearInfo() { ui->ListBox1->clear(); }

void TFglav::showInfo() { ui->ListBox1->show(); }

QStringList TFglav::infoLines() const {
    QStringList out;
    for (int i = 0; i < ui->ListBox1->count(); ++i) out << ui->ListBox1->item(i)->text();
    return out;
}

void TFglav::ListBox1Click() { clearInfo(); }

void TFglav::ListBox1DblClick() { ui->ListBox1->hide(); }

// --- pages ---

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
    case 0: TabSheet1Show(); break;
    case 1: TabSheet1Hide(); break;
    case 2: TabSheet2Show(); break;
    case 3: TabSheet2Hide(); break;
    case 4: TabSheet3Show(); break;
    case 5: TabSheet3Hide(); break;
    case 6: TabSheet4Show(); break;
    case 7: TabSheet4Hide(); break;
    default: return;
    }
    if (shown) emit pageShown(index);
    else emit pageHidden(index);
}

// --- exchange log ---

void TFglav::Show_tuda_suda() {
    const auto& ex = st().ex;
    ui->LBtuda->clear();
    ui->LBsuda->clear();
    ui->LBtuda->addItem(QString::fromStdString(lork::Tuda_line(ex)));
    ui->LBtuda->repaint();
    ui->LBsuda->addItem(QString::fromStdString(lork::Suda_line(ex)));
    ui->LBsuda->repaint();
}

uint8_t TFglav::Exchange(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values) {
    auto& ex = st().ex;
    ex.zapros_func = func;
    ex.zapros_start = start;
    ex.zapros_kol = kol;
    if (func == 16)
        core_.dev.Zapros_write(start, kol, values);
    else
        core_.dev.Zapros_read(start, kol);
    Show_tuda_suda();
    switch (func) {
    case 3: ex.kod_rez = core_.dev.Otvet_fn3(start, kol); break;
    case 4: ex.kod_rez = core_.dev.Otvet_fn4(start, kol); break;
    default: ex.kod_rez = core_.dev.Otvet_fn16(start, kol); break;
    }
    return ex.kod_rez;
}

uint8_t TFglav::Report_info(uint8_t kod) {
    auto& ex = st().ex;
    ex.kod_rez = kod;
    if (kod != 0) addInfoLine(QString::fromStdString(lork::Kod_text_dump(ex, kod)));
    return kod;
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
    if ((name.contains(QLatin1String("COM")) || name.contains(QLatin1String("com"))) && name.size() > 3) {
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
    const QDateTime now = now_fn_ ? now_fn_() : QDateTime::currentDateTime();
    const QLocale loc;
    ui->Edit_cur_date->setText(QStringLiteral("дата ") + loc.toString(now.date(), QLocale::ShortFormat));
    ui->Edit_cur_time->setText(QStringLiteral(" время ") + loc.toString(now.time(), long_time_format(loc)));
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
    FormClose();
    e->accept();
}
