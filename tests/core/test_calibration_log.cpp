// The calibration log: its CSV line, the header of a new file, reading it
// back, the last calibration of one instrument.
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
    EXPECT_EQ(recordLine(Rec(0, 70000)),
              "2026-03-09T07:05:04+03:00,/dev/ttyUSB0,5,ЛОРК-1,вер. 1.07,0,74565,70000,-0.062,12.500");
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"a;b", "\"a;b\""}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"a\nb", "\"a\nb\""},
             {"plain", "plain"}})
        EXPECT_EQ(csvField(in), out) << in;
}

TEST(CalibrationLog, HeaderOnceAndRecordsReadBackWhole) {
    TempDir d;
    const std::string path = d / "sub/dir/calibration.csv";  // the folders are made
    Record odd = Rec(100, 260001, "ЛО\"Р,К;\n2");
    EXPECT_EQ(append(path, Rec(0, 70000)), "");
    EXPECT_EQ(append(path, odd), "");
    const std::string text = lork::test::read_bytes(path);
    EXPECT_EQ(text.find(headerLine()), 0u);
    EXPECT_EQ(text.find(headerLine(), 1), std::string::npos);
    const auto all = readAll(path);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].name, odd.name);
    EXPECT_EQ(all[1].written, 260001u);
    EXPECT_EQ(all[0].before, 74565u);
    EXPECT_FLOAT_EQ(all[0].izm_znach, 12.5f);
}

TEST(CalibrationLog, LastCalibrationIsTheNewestOfEachPointOfThatInstrument) {
    const std::vector<Record> log{Rec(0, 1), Rec(100, 2), Rec(0, 3), Rec(0, 4, "ЛОРК-2"), Rec(100, 5, "ЛОРК-1", "COM2")};
    const Certificate c = lastCalibration(log, "/dev/ttyUSB0", 5, " ЛОРК-1 ", "вер. 1.07");
    ASSERT_TRUE(c.zero && c.hundred);
    EXPECT_EQ(c.zero->written, 3u);
    EXPECT_EQ(c.hundred->written, 2u);
    EXPECT_TRUE(lastCalibration(log, "/dev/ttyUSB0", 6, "ЛОРК-1", "вер. 1.07").empty());
}

TEST(CalibrationLog, PlausibilityNamesEachFailure) {
    struct Case {
        int point;
        uint32_t value;
        std::optional<float> proc;
        std::optional<uint32_t> other;
        std::vector<std::string> want;
    };
    const std::vector<Case> cases{
        {100, 270000, 99.0f, 70000, {}},
        {0, 70000, -4.9f, 270000, {}},
        {100, 121000, 25.5f, 121000,
         {"Точка 100 % (121000 имп.) не больше точки 0 % (121000 имп.).", "Измерено 25,5 %: дальше 5 % от точки 100 %."}},
        {0, 270000, std::nullopt, 260000, {"Точка 0 % (270000 имп.) не меньше точки 100 % (260000 имп.)."}},
        {0, 72000, 5.1f, std::nullopt, {"Измерено 5,1 %: дальше 5 % от точки 0 %."}},
        {100, 1, std::nullopt, std::nullopt, {}},  // nothing known, nothing to judge
    };
    for (const Case& c : cases) EXPECT_EQ(implausible(c.point, c.value, c.proc, c.other), c.want) << c.point << " " << c.value;
}

TEST(CalibrationLog, MarkIsALineOfItsOwnAfterItsRecord) {
    TempDir d;
    const std::string path = d / "calibration.csv";
    Record doubtful = Rec(100, 121000);
    doubtful.doubt = "Точка 100 % (121000 имп.) не больше точки 0 % (121000 имп.).";
    ASSERT_EQ(append(path, Rec(0, 121000)), "");
    ASSERT_EQ(append(path, doubtful), "");
    const std::string text = lork::test::read_bytes(path);
    // The record's own line is as it always was; the mark is a line of its own.
    EXPECT_NE(text.find(recordLine(Rec(100, 121000)) + "\nimplausible,"), std::string::npos) << text;
    const auto all = parseText(text);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].doubt, "");
    EXPECT_EQ(all[1].doubt, doubtful.doubt);
    // A mark that does not follow a record marks nothing.
    EXPECT_EQ(parseText(headerLine() + "\nimplausible,x\n" + recordLine(Rec(0, 1)) + "\n")[0].doubt, "");
}
