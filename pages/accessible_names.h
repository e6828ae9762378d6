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

void nameControls(Ui::PageReadings& rd);
void nameControls(Ui::PageParams& pp);
void nameControls(Ui::PageCalibr& pc);
void nameControls(Ui::PageTimeouts& pt);

}  // namespace lork::pages
