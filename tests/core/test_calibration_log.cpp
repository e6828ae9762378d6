// The calibration log: its CSV line, the header of a new file, reading it
// back, the last calibration of one instrument, and a failed append.
#include <gtest/gtest.h>

#include <ctime>

#include "records/calibration_log.h"
#include "support/temp_dir.h"

using namespace lork::calib;
using lork::test::TempDir;

namespace {
Record Rec(int point, uint32_t written, std::string name = "ЛОРК-1", std::string port = "/dev/ttyUSB0") {
    Record r;
    r.when = "2026-03-09T07:05:04+03:00";
    r.port = std::move(port);
    r.adr = 5;
    r.name = std::move(name);
    r.version = "вер. 1.07";
    r.point = point;
    r.before = 74565;
    r.written = written;
    r.izm_proc = -0.0625f;
    r.izm_znach = 12.5f;
    return r;
}
}  // namespace

TEST(CalibrationLog, LineQuotesWhatNeedsItAndKeepsNumbersLocaleFree) {
    EXPECT_EQ(Record_line(Rec(0, 70000)),
              "2026-03-09T07:05:04+03:00,/dev/ttyUSB0,5,ЛОРК-1,вер. 1.07,0,74565,70000,-0.062,12.500");
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"a;b", "\"a;b\""}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"a\nb", "\"a\nb\""},
             {"plain", "plain"}})
        EXPECT_EQ(Csv_field(in), out) << in;
}

TEST(CalibrationLog, HeaderOnceAndRecordsReadBackWhole) {
    TempDir d;
    const std::string path = d / "sub/dir/calibration.csv";  // the folders are made
    Record odd = Rec(100, 260001, "ЛО\"Р,К;\n2");
    EXPECT_EQ(Append(path, Rec(0, 70000)), "");
    EXPECT_EQ(Append(path, odd), "");
    const std::string text = lork::test::read_bytes(path);
    EXPECT_EQ(text.find(Header_line()), 0u);
    EXPECT_EQ(text.find(Header_line(), 1), std::string::npos);
    const auto all = Read_all(path);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].name, odd.name);
    EXPECT_EQ(all[1].written, 260001u);
    EXPECT_EQ(all[0].before, 74565u);
    EXPECT_FLOAT_EQ(all[0].izm_znach, 12.5f);
}

TEST(CalibrationLog, LastCalibrationIsTheNewestOfEachPointOfThatInstrument) {
    const std::vector<Record> log{Rec(0, 1), Rec(100, 2), Rec(0, 3), Rec(0, 4, "ЛОРК-2"), Rec(100, 5, "ЛОРК-1", "COM2")};
    const Certificate c = Last_calibration(log, "/dev/ttyUSB0", 5, " ЛОРК-1 ", "вер. 1.07");
    ASSERT_TRUE(c.zero && c.hundred);
    EXPECT_EQ(c.zero->written, 3u);
    EXPECT_EQ(c.hundred->written, 2u);
    EXPECT_TRUE(Last_calibration(log, "/dev/ttyUSB0", 6, "ЛОРК-1", "вер. 1.07").empty());
}

TEST(CalibrationLog, FailedAppendSaysWhereAndWhy) {
    TempDir d;
    // A folder where the file should be: refused even to root.
    const std::string err = Append(d.path(), Rec(0, 1));
    EXPECT_NE(err.find(d.path()), std::string::npos) << err;
    EXPECT_NE(err.find("Is a directory"), std::string::npos) << err;
}

TEST(CalibrationLog, DataFolderFollowsXdg) {
    lork::test::ScopedEnv xdg("XDG_DATA_HOME", std::string("/x/data"));
    EXPECT_EQ(Default_path(), "/x/data/testlork/calibration.csv");
    lork::test::ScopedEnv none("XDG_DATA_HOME", std::nullopt);
    lork::test::ScopedEnv home("HOME", std::string("/home/op"));
    EXPECT_EQ(Default_path(), "/home/op/.local/share/testlork/calibration.csv");
}

TEST(CalibrationLog, TimeIsLocalWithItsOffset) {
    for (const auto& [tz, want] : std::vector<std::pair<std::string, std::string>>{
             {"<+0530>-5:30", "1970-01-01T05:30:00+05:30"}, {"<-03>3", "1969-12-31T21:00:00-03:00"}}) {
        lork::test::ScopedEnv zone("TZ", tz);
        ::tzset();
        EXPECT_EQ(Iso_local(0), want) << tz;
    }
    ::tzset();  // the machine's zone again for the tests that follow
}
