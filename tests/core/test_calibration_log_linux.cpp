// The calibration log where Linux's ways show: the system's error text, the
// XDG data folder, the time zone from TZ. Windows has its counterparts in
// windows/test_win32.cpp.
#include <gtest/gtest.h>

#include <ctime>
#include <utility>
#include <vector>

#include "records/calibration_log.h"
#include "support/temp_dir.h"

using namespace lork::calib;
using lork::test::TempDir;

namespace {
Record Rec(int point, uint32_t written) {
    Record r;
    r.when = "2026-03-09T07:05:04+03:00";
    r.port = "/dev/ttyUSB0";
    r.adr = 5;
    r.name = "ЛОРК-1";
    r.version = "вер. 1.07";
    r.point = point;
    r.written = written;
    return r;
}
}  // namespace

TEST(CalibrationLog, FailedAppendSaysWhereAndWhy) {
    TempDir d;
    // A folder where the file should be: refused even to root.
    const std::string err = append(d.path(), Rec(0, 1));
    EXPECT_NE(err.find(d.path()), std::string::npos) << err;
    EXPECT_NE(err.find("Is a directory"), std::string::npos) << err;
}

TEST(CalibrationLog, DataFolderFollowsXdg) {
    lork::test::ScopedEnv xdg("XDG_DATA_HOME", std::string("/x/data"));
    EXPECT_EQ(defaultPath(), "/x/data/testlork/calibration.csv");
    lork::test::ScopedEnv none("XDG_DATA_HOME", std::nullopt);
    lork::test::ScopedEnv home("HOME", std::string("/home/op"));
    EXPECT_EQ(defaultPath(), "/home/op/.local/share/testlork/calibration.csv");
}

TEST(CalibrationLog, TimeIsLocalWithItsOffset) {
    for (const auto& [tz, want] : std::vector<std::pair<std::string, std::string>>{
             {"<+0530>-5:30", "1970-01-01T05:30:00+05:30"}, {"<-03>3", "1969-12-31T21:00:00-03:00"}}) {
        lork::test::ScopedEnv zone("TZ", tz);
        ::tzset();
        EXPECT_EQ(isoLocal(0), want) << tz;
    }
    ::tzset();  // the machine's zone again for the tests that follow
}
