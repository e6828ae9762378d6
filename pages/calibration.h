#pragma once
// The calibration page "калибровка" (TabSheet3): the stored and the newly
// measured pulse counts of the 0 % and 100 % points, their EEPROM write and
// the permission for calibration from the PC.
#include <QObject>
#include <functional>
#include <memory>

class PageHost;
class QWidget;
namespace Ui {
class PageCalibr;
}

class CalibrationPage : public QObject {
public:
    // The two measured values re-read the readings page's own fields: a click
    // and a double-click run that page's handlers.
    struct ReadingsCalls {
        std::function<void()> izmproc_click;
        std::function<void()> izmproc_dbl_click;
    };
    CalibrationPage(PageHost& host, QWidget* sheet, ReadingsCalls readings, QObject* parent);
    ~CalibrationPage() override;

    void Read_cal_enable();
    void Show_cal_CI();
    void B_cal0_oldClick();
    void B_cal0_newClick();
    void SB_save_cal0Click();
    void B_cal100_oldClick();
    void B_cal100_newClick();
    void SB_save_cal100Click();
    void STcal_enableClick();
    void SBizm_enableClick();
    void TabSheet3Show();
    void TabSheet3Hide();

    // The page's controls (for tests: click, read).
    const Ui::PageCalibr& form() const { return *pc; }

private:
    struct CalHalf;  // the controls of the 0 % or the 100 % half
    CalHalf Cal_half(bool hundred) const;
    void Cal_read_stored(bool hundred);  // steps 1 and 5
    void Cal_measure(bool hundred);      // steps 3 and 7
    void Cal_save(bool hundred);         // steps 4 and 8

    PageHost& host_;
    std::unique_ptr<Ui::PageCalibr> pc;
};
