#pragma once
// The readings page "показания" (TabSheet1): the full query of the
// instrument's live state, its two commands (brightness, indication view),
// the periodic polling, and the single-value reads behind clicks on fields.
#include <QObject>
#include <array>
#include <cstdint>
#include <memory>
#include <QString>

class PageHost;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QTimer;
class QToolButton;
class QWidget;
namespace Ui {
class PageReadings;
}

class ReadingsPage : public QObject {
public:
    // Controls of the main window whose handlers belong to this page.
    struct WindowControls {
        QToolButton* pusk;        // ToolButton1, "пуск"/"стоп"
        QComboBox* time_opros;    // CBtime_opros, the polling period
        QLineEdit* name;          // Ed_name
        QLineEdit* version;       // Ed_version
    };
    // Puts the page's form into sheet and connects its handlers.
    ReadingsPage(PageHost& host, QWidget* sheet, WindowControls controls, QObject* parent);
    ~ReadingsPage() override;

    // The query and its parts.
    void Opros_all();
    void Show_CI();
    void Show_v_ind();
    void Show_kluchK1K2();
    void Show_dinputs();
    void GB_CIClick();
    void STkluchK1K2Click();
    void STdinputsClick();
    // Commands and polling.
    void TrackBar_lightChange();
    void RGv_indClick();
    void Apply_pusk_stop();
    void ToolButton1Click();
    void RGtyp_oprosClick();
    void CBtime_oprosChange();
    void BzaprosClick();
    void Timer_oprosTimer();
    void TabSheet1Show();
    void TabSheet1Hide();
    // Single-value reads.
    void LEresDblClick();
    void LEkol_stepDblClick();
    void LEpor_stepDblClick();
    void LEstepClick();
    void LEizmprocClick();
    void LEizmprocDblClick();
    void LEizmznachClick();
    void LEizmznachDblClick();
    void LEizm_impClick();
    void LE_procClick();
    void LE_teClick();
    void LE_procwClick();
    void LE_tewClick();
    void Ed_nameClick();
    void Ed_versionClick();
    void L_SumResClick();
    void L_ProcdopuskClick();
    void LvindClick();

    // R as the instrument now holds it, into LEres (after the parameters
    // page wrote it).
    void showRes(uint8_t res);

    // The readout (indicator, LEDs, keys, switches) as one sentence.
    QString readoutText() const;

    // Polling flags: the periodic kind chosen, polling started.
    uint8_t periodic_opros() const { return periodic_opros_; }
    uint8_t opros_active() const { return opros_active_; }

private:
    void setupLook();
    void connectHandlers();
    void chooseVInd(uint8_t v_ind);
    // Re-reads the single value a field shows (a field of this page, or the
    // window's name or version).
    void readSingle(QWidget* field);
    // The instrument stopped answering: every value shown is faded until read again.
    void markAllStale();
    void oprosTimerOn(bool on);
    void oprosInterval(int ms);
    std::array<QLineEdit*, 4> ciFields() const;
    // The states the pictures show, and the indicator's text, for
    // assistive technology.
    void describeLights();
    void describeIndicator();
    void describeReadout();

    PageHost& host_;
    WindowControls wc_;
    std::unique_ptr<Ui::PageReadings> rd;
    QButtonGroup* RGv_ind_group = nullptr;      // ids 0..2: "%", "ТЕ", "ступень"
    QButtonGroup* RGtyp_opros_group = nullptr;  // ids 0..1: "периодический", "по запросу"
    QTimer* svd_mig_timer = nullptr;            // alternates the blinking LEDs' pictures
    bool svdMigLit = false;
    QString lightsSaid_;  // "P горит, K1 не горит, ..." as last shown
    uint8_t periodic_opros_ = 0;
    uint8_t opros_active_ = 0;
};
