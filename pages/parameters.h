#pragma once
// The parameters page "параметры" (TabSheet2): R, N, U and the interface
// settings of the instrument, each read and written with one exchange.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "protocol/value_rules.h"

class PageHost;
class QComboBox;
class QLineEdit;
class QWidget;
namespace lork {
struct ExchangeRecord;
}
namespace Ui {
class PageParams;
}

class ParametersPage : public QObject {
public:
    // What the page's writes change outside it.
    struct Links {
        QLineEdit* Esysnum;                    // the main window's address, after an address write
        QComboBox* CBscor;                     // the main window's rate, after a rate write
        std::function<void(uint8_t)> showRes;  // the readings page's R, after an R write
    };
    ParametersPage(PageHost& host, QWidget* sheet, Links links, QObject* parent);
    ~ParametersPage() override;

    void B_read_resClick();
    void B_read_kolstepClick();
    void B_read_porstepClick();
    void Bread_scorClick();
    void Bread_parityClick();
    void Bread_stopbitClick();
    void Bread_sysnumClick();
    void SB_izmresClick();
    void SB_izmkolstepClick();
    void SB_izmporstepClick();
    void SBint_write_scorClick();
    void SBint_write_parityClick();
    void SBint_write_stopbitClick();
    void SBint_write_sysnumClick();
    void CBust_resChange();
    void CBint_scorChange();
    void Eust_kol_stepChange();
    void Eust_por_stepChange();
    void Eint_sysnumChange();
    void UpDown_kolstepChangingEx(bool& allow, int newValue);
    void UpDown_porstepChangingEx(bool& allow, int newValue);
    void UpDown_int_adrChanging(bool& allow);
    void UpDown_int_adrChangingEx(bool& allow, int newValue);
    void TabSheet2Show();
    void TabSheet2Hide();

    // The question before a write of R, N or U that breaks a rule the page
    // shows: true writes it. Unset: a box whose default is "нет".
    void setWriteAnyway(std::function<bool(const QString& question)> ask) { writeAnyway_ = std::move(ask); }

    // The page's controls (for tests: click, choose, read).
    const Ui::PageParams& form() const { return *pp; }
    // Values offered for writing.
    uint8_t ust_res() const { return ust_res_; }
    uint8_t ust_kol_step() const { return ust_kol_step_; }
    uint8_t ust_por_step() const { return ust_por_step_; }
    uint8_t int_sysnum() const { return int_sysnum_; }
    uint8_t int_scor() const { return int_scor_; }
    uint8_t int_parity() const { return int_parity_; }
    uint8_t int_stopbit() const { return int_stopbit_; }

private:
    void connectHandlers();
    bool paramsRead(uint16_t address);                   // one function-3 read; false after a report
    bool paramsWrite(uint16_t address, uint16_t value);  // one function-16 write; false after a report
    QString writtenText(uint16_t address, uint16_t value) const;
    bool paramsRefused(const char* refusal);         // shows the refusal, if any
    void paramsShowPauses(uint8_t code);
    // Whether a write of value to the one of R, N, U named by `written` may
    // go: it keeps the rules with the instrument's other values as known, or
    // the operator wants it all the same.
    bool paramsRulesKept(unsigned written, long value);
    // Keeps what the program last saw the instrument hold of R, N and U:
    // every good read or write of them, whoever made it.
    void paramsNote(const lork::ExchangeRecord& rec);

    PageHost& host_;
    Links links_;
    std::unique_ptr<Ui::PageParams> pp;
    // Values offered for writing; they live for the run, never in the settings file.
    uint8_t ust_res_ = 5;       // R to write, ohm, 5..20
    uint8_t ust_kol_step_ = 2;  // N to write
    uint8_t ust_por_step_ = 2;  // U to write
    uint8_t int_sysnum_ = 1;    // address to write
    uint8_t int_scor_ = 2;      // baud code to write, 1..6
    uint8_t int_parity_ = 0;    // parity code to write, 0..2
    uint8_t int_stopbit_ = 1;   // stop bits to write, 1 or 2
    // What the program last put into Eust_kol_step, Eust_por_step and
    // Eint_sysnum: the values a refused text falls back to.
    uint8_t ust_kol_stepGiven_ = 2;
    uint8_t ust_por_stepGiven_ = 2;
    uint8_t int_sysnumGiven_ = 1;
    // R, N, U of the instrument at knownAdr_ as last read or written;
    // what was never seen there is not known.
    lork::StepParams known_;
    unsigned knownAdr_ = 0;
    std::function<bool(const QString&)> writeAnyway_;
};
