// The readings page's form: its look (the indicator), its radio groups and
// the connections of its handlers.
#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "widgets/accessible.h"
#include "pages/page_host.h"
#include "pages/readings.h"
#include "pages/readings_look.h"
#include "pages/accessible_names.h"
#include "ui_page_readings.h"

using lork::widgets::onRead;

ReadingsPage::ReadingsPage(PageHost& host, QWidget* sheet, WindowControls controls, QObject* parent)
    : QObject(parent), host_(host), wc_(controls), rd(std::make_unique<Ui::PageReadings>()) {
    setObjectName(QStringLiteral("ReadingsPage"));
    // The page's pictures live in the static GUI library: register them.
    Q_INIT_RESOURCE(readings);
    auto* page = new QWidget;
    rd->setupUi(page);
    sheet->layout()->addWidget(page);
    setupLook();
    lork::pages::nameControls(*rd);

    // Radio groups with ids = item index; no view chosen until the first reading.
    RGv_ind_group = new QButtonGroup(this);
    RGv_ind_group->setObjectName(QStringLiteral("RGv_ind_group"));
    RGv_ind_group->addButton(rd->RGv_ind_0, 0);
    RGv_ind_group->addButton(rd->RGv_ind_1, 1);
    RGv_ind_group->addButton(rd->RGv_ind_2, 2);
    RGtyp_opros_group = new QButtonGroup(this);
    RGtyp_opros_group->setObjectName(QStringLiteral("RGtyp_opros_group"));
    RGtyp_opros_group->addButton(rd->RGtyp_opros_0, 0);
    RGtyp_opros_group->addButton(rd->RGtyp_opros_1, 1);
    rd->RGtyp_opros_1->setChecked(true);

    wc_.pusk->setCheckable(true);
    wc_.pusk->setIcon(QIcon(QStringLiteral(":/icons/pusk.png")));
    connectHandlers();

    // A blinking LED really blinks: its picture alternates twice a second.
    svd_mig_timer = new QTimer(this);
    svd_mig_timer->setObjectName(QStringLiteral("svd_mig_timer"));
    const QPixmap lit(QStringLiteral(":/readings/led_on.png"));
    const QPixmap dark(QStringLiteral(":/readings/led_off.png"));
    connect(svd_mig_timer, &QTimer::timeout, this, [this, lit, dark] {
        svdMigLit = !svdMigLit;
        rd->Image_svd_P_mig->setPixmap(svdMigLit ? lit : dark);
        rd->Image_svd_I_mig->setPixmap(svdMigLit ? lit : dark);
    });
    svd_mig_timer->start(500);
    describeLights();
    describeIndicator();
}

ReadingsPage::~ReadingsPage() = default;

void ReadingsPage::connectHandlers() {
    // Changes made from code fire these exactly as the operator's would.
    connect(RGv_ind_group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) RGv_indClick();
    });
    connect(RGtyp_opros_group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) RGtyp_oprosClick();
    });
    connect(rd->TrackBar_light, &QSlider::valueChanged, this, &ReadingsPage::TrackBar_lightChange);
    connect(rd->Bzapros, &QPushButton::clicked, this, &ReadingsPage::BzaprosClick);
    connect(wc_.pusk, &QToolButton::clicked, this, &ReadingsPage::ToolButton1Click);
    connect(wc_.time_opros, &QComboBox::activated, this, &ReadingsPage::CBtime_oprosChange);
    connect(host_.pollTimer(), &QTimer::timeout, this, &ReadingsPage::Timer_oprosTimer);

    // Clicks and double-clicks that re-read single values.
    onRead(rd->GB_CI, [this] { GB_CIClick(); });
    onRead(rd->STkluchK1K2, [this] { STkluchK1K2Click(); });
    onRead(rd->STdinputs, [this] { STdinputsClick(); });
    onRead(rd->LEres, {}, [this] { LEresDblClick(); });
    onRead(rd->LEkol_step, {}, [this] { LEkol_stepDblClick(); });
    onRead(rd->LEpor_step, {}, [this] { LEpor_stepDblClick(); });
    onRead(rd->LEstep, [this] { LEstepClick(); });
    onRead(rd->LEizmproc, [this] { LEizmprocClick(); }, [this] { LEizmprocDblClick(); });
    onRead(rd->LEizmznach, [this] { LEizmznachClick(); }, [this] { LEizmznachDblClick(); });
    onRead(rd->LEizm_imp, [this] { LEizm_impClick(); });
    onRead(rd->LE_proc, [this] { LE_procClick(); });
    onRead(rd->LE_te, [this] { LE_teClick(); });
    onRead(rd->LE_procw, [this] { LE_procwClick(); });
    onRead(rd->LE_tew, [this] { LE_tewClick(); });
    onRead(rd->L_SumRes, [this] { L_SumResClick(); });
    onRead(rd->L_Procdopusk, [this] { L_ProcdopuskClick(); });
    onRead(rd->Lvind, [this] { LvindClick(); });
    onRead(wc_.name, [this] { Ed_nameClick(); });
    onRead(wc_.version, [this] { Ed_versionClick(); });
}

void ReadingsPage::setupLook() {
    // The indicator looks like the instrument's: big bold digits on a dark glass.
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setBold(true);
    digits.setPointSize(26);
    for (QLineEdit* e : ciFields()) {
        e->setFont(digits);
        e->setFrame(false);
        QPalette p = e->palette();
        p.setColor(QPalette::Base, QColor(28, 28, 28));
        e->setPalette(p);
        e->setFixedWidth(QFontMetrics(digits).horizontalAdvance(QStringLiteral("88")) + 14);
        lork::pages::setTextColour(e, lork::pages::ciColourStart);
        e->setFocusPolicy(Qt::NoFocus);
    }
    rd->indicator_panel->setAutoFillBackground(true);
    QPalette panel = rd->indicator_panel->palette();
    panel.setColor(QPalette::Window, QColor(12, 12, 12));
    panel.setColor(QPalette::WindowText, QColor(200, 200, 200));
    rd->indicator_panel->setPalette(panel);
    QFont unit = rd->ST_v_ind->font();
    unit.setPointSize(14);
    unit.setBold(true);
    rd->ST_v_ind->setFont(unit);
    rd->ST_v_ind->setMinimumWidth(QFontMetrics(unit).horizontalAdvance(QStringLiteral("ступень ")));
    // The captions of the LEDs and switches, blank-padded texts that put
    // each name under its picture in one font only, stand in the form for
    // the record; the layout puts each name under its own picture instead
    // (Lsvd_*, Lsw_*), in any font and at any scale.
}

std::array<QLineEdit*, 4> ReadingsPage::ciFields() const { return {rd->E_CI4, rd->E_CI3, rd->E_CI2, rd->E_CI1}; }
