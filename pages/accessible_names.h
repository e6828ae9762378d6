#pragma once
// The pages' controls named for assistive technology after the captions the
// operator reads; what the pages show stays as it is.
namespace Ui {
class PageReadings;
class PageParams;
class PageCalibr;
class PageTimeouts;
}  // namespace Ui

namespace lork::pages {

void Name_controls(Ui::PageReadings& rd);
void Name_controls(Ui::PageParams& pp);
void Name_controls(Ui::PageCalibr& pc);
void Name_controls(Ui::PageTimeouts& pt);

}  // namespace lork::pages
