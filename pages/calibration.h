#pragma once
// The calibration page "калибровка" (TabSheet3): the stored and the newly
// measured pulse counts of the 0 % and 100 % points, their EEPROM write and
// the permission for calibration from the PC.
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "pages/certificate.h"

class PageHost;
class QPrinter;
class QWidget;
namespace Ui {
class PageCalibr;
}

class CalibrationPage : public QObject {
public:
    // The two measured values re-read the readings page's own fields: a click
    // and a double-click run that page's handlers.
    struct ReadingsCalls {
        std::function<void()> izmprocClick;
        std::function<void()> izmprocDblClick;
        // The instrument's name and version as the window last read them
        // (Ed_name, Ed_version), for the calibration log.
        std::function<QString()> name;
        std::function<QString()> version;
    };
    // The certificate's modal questions; tests put their answers in place.
    struct ReportDialogs {
        std::function<QString()> operatorName;                     // empty: cancelled
        std::function<QString(const QString& suggested)> savePath;  // empty: cancelled
        std::function<bool(QPrinter& printer)> print;              // false: cancelled
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
    // The certificate of the instrument's last calibration: a PDF file, or printed.
    void Button_otchetClick();
    void Button_pechatClick();

    void setReportDialogs(ReportDialogs d) { dialogs_ = std::move(d); }
    // The question before a write of a value that failed the plausibility
    // checks: true writes it. Unset: a box whose default is "нет".
    void setWriteAnyway(std::function<bool(const QString& question)> ask) { writeAnyway_ = std::move(ask); }
    // The window's own settings file (never the line's), where the operator's
    // name is remembered.
    void setOwnSettingsFile(const QString& path);

    // The page's controls (for tests: click, read).
    const Ui::PageCalibr& form() const { return *pc; }

private:
    struct CalHalf;  // the controls of the 0 % or the 100 % half
    CalHalf calHalf(bool hundred) const;
    void calReadStored(bool hundred);  // steps 1 and 5
    void calMeasure(bool hundred);      // steps 3 and 7
    void calSave(bool hundred);         // steps 4 and 8
    void logWrite(bool hundred, uint32_t written, float proc, float znach, const std::string& doubt);
    // The certificate's text (HTML) and head, or empty with the reason told.
    QString reportHtml(lork::pages::CertificateHead& head);
    QString operatorName();
    ReportDialogs realDialogs();

    PageHost& host_;
    std::unique_ptr<Ui::PageCalibr> pc;
    ReadingsCalls readings_;
    ReportDialogs dialogs_;
    std::function<bool(const QString&)> writeAnyway_;
    // The value the instrument held before the next write of each point: read
    // by step 1 [5], then each successful write's own value.
    std::array<std::optional<uint32_t>, 2> stored_{};
    // Whether step 3 [7] read the measured % that the write's check judges.
    std::array<bool, 2> measured_{};
    QString ownSettings_;
    QString operator_;
};
