// The device search's texts: time patterns, the address sweep's progress line
// and the fixed lines, checked without a window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/search_text.h"

using namespace lork::search;

namespace {

constexpr int64_t kMs = 1;
constexpr int64_t kSec = 1000;
constexpr int64_t kMin = 60 * kSec;
constexpr int64_t kHour = 60 * kMin;

struct TimeCase {
    int64_t ms;
    const char* pattern;
    const char* sep;
    const char* want;
};

}  // namespace

TEST(SearchTime, PatternsShowOnlyTheirOwnFields) {
    const std::vector<TimeCase> cases = {
        // a step time wraps at a minute: 61.005 s shows as 1.005 s
        {61 * kSec + 5 * kMs, kPatStep, ":", "1:005"},
        {59 * kSec + 999 * kMs, kPatStep, ":", "59:999"},
        {0, kPatStep, ":", "0:000"},
        // the running total wraps at an hour
        {kHour + 2 * kMin + 3 * kSec + 40, kPatRunning, ":", "2:03:040"},
        {87 * kSec + 120, kPatRunning, ":", "1:27:120"},
        // the clock pattern: hours without a leading zero, blanks kept
        {9 * kHour + 5 * kMin + 7 * kSec + 8, kPatClock, ":", " 9:05:07:008  "},
        {23 * kHour + 59 * kMin + 59 * kSec + 999, kPatClock, ":", " 23:59:59:999  "},
        // the total pattern: two-digit hours, Cyrillic letters copied
        {87 * kSec + 4, kPatTotal, ":", "  00:01:27:004 мс "},
        {25 * kHour + 1, kPatTotal, ":", "  01:00:00:001 мс "},  // a day wraps like a time of day
        // the system's separator replaces every colon
        {61 * kSec + 5, kPatRunning, ".", "1.01.005"},
        {61 * kSec + 5, kPatTotal, "-", "  00-01-01-005 мс "},
        // quoted text is copied without quotes, letters inside stay letters
        {3 * kSec, "s\"h:n\"s", ":", "3h:n3"},
        // negative durations (clock stepped back) show as zero
        {-5 * kSec, kPatRunning, ":", "0:00:000"},
        // single z and upper-case letters
        {7, "Z", ":", "7"},
        {7, "SS.ZZZ", ":", "00.007"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatTime(durationFields(c.ms), c.pattern, c.sep), c.want)
            << "ms=" << c.ms << " pattern=" << c.pattern;
    }
}

TEST(SearchProgress, FourLinesSplitAt75150225) {
    ProgressLine p;
    std::vector<std::string> lines{" "};  // the blank line the caller appends first
    for (int a = 1; a <= 247; ++a) {
        const uint8_t code = (a == 75 || a == 76 || a == 247) ? 2 : 0;
        auto s = p.step(a, code);
        if (s.action == ProgressLine::Action::Append)
            lines.push_back(s.line);
        else
            lines.back() = s.line;
    }
    ASSERT_EQ(lines.size(), 4u);
    // first line: the initial dot plus one per address 1..75, then "75 "
    EXPECT_EQ(lines[0], std::string(76, '.') + "75 ");
    // every later line starts with a blank; it holds its own addresses only
    EXPECT_EQ(lines[1], " ." + std::string("76 ") + std::string(74, '.'));
    EXPECT_EQ(lines[2], " " + std::string(75, '.'));
    EXPECT_EQ(lines[3], " " + std::string(22, '.') + "247 ");
}

TEST(SearchProgress, ActionsAtEveryBoundary) {
    ProgressLine p;
    std::vector<int> appended;
    for (int a = 1; a <= 247; ++a)
        if (p.step(a, 0).action == ProgressLine::Action::Append) appended.push_back(a);
    EXPECT_EQ(appended, (std::vector<int>{76, 151, 226}));
}

TEST(SearchProgress, StoppedEarlyKeepsTheLineSoFar) {
    ProgressLine p;
    ProgressLine::Step s{ProgressLine::Action::ReplaceLast, ""};
    for (int a = 1; a <= 100; ++a) s = p.step(a, a == 5 ? 1 : 0);
    EXPECT_EQ(s.line, " " + std::string(25, '.'));
    EXPECT_EQ(s.action, ProgressLine::Action::ReplaceLast);
}

TEST(SearchLines, FullSweepLine) {
    const std::string clock = formatTime(durationFields(10 * kHour + 3 * kSec + 9), kPatClock, ":");
    EXPECT_EQ(fullSweepLine(7, 4, clock, 2 * kSec + 106, 63 * kSec + 12, ":"),
              " №=7  V=4 ...  10:00:03:009   (2:106 мс)  всего: 1:03:012 ");
    EXPECT_EQ(fullSweepLine(247, 0, "X", 351, 87 * kSec, "."), " №=247  V=0 ... X (0.351 мс)  всего: 1.27.000 ");
}

TEST(SearchLines, FixedTexts) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {abortLine(100), "прервали поиск на 100 номере"},
        {timeLine("12:00:01", 87 * kSec + 5, ":"), " 12:00:01 прошло    00:01:27:005 мс "},
        {summaryLine(2, " 3 7 ", 0, 1), "Ответилo:2 приборов:   №№:  3 7   :! паритет:0 стопбит:1 !"},
        {numHeader(9600, 2, 1), " ищем отвечающий № на скорости 9600  [ Pb=2, Sb=1 ]"},
        {startLine("9:01:02"), " начало в: 9:01:02 ..."},
        {numFound(9600, 5, 0, 2), "на скорости 9600 отозвался №5  [ Pb=0 , Sb=2 ]"},
        {numNoneMessage(19200), "на скорости 19200 не отвечает ни один номер из 1..247"},
        {numLabel(9600), "Подождите!... Идет ПОИСК НОМЕРОВ, отвечающих на скорость 9600 ..."},
        {scorLabel(5), "Подождите!... Идет ПОИСК СКОРОСТИ для номера 5 ...."},
        {scorHeader(5, 1, 2), " ищем скорость для №=5  [ Pb=1, Sb=2 ]"},
        {scorStatus(12), "№12 ищет скорость "},
        {scorEndLine("9:01:02"), " конец в: 9:01:02"},
        {scorFound(5, 38400, 0, 1), "№5 ответил на 38400  [ Pb=0, Sb=1 ]"},
        {scorFoundStatus(38400), " Ответил на Скорость Обмена: 38400"},
        {scorNoneMessage(5, 0, 1), "№5 не отвечает ни на одной из скоростей   при Pb=0 и Sb=1"},
        {panelNumber(3), " Номер: 3"},
        {panelRate(115200), " Скорость Обмена: 115200"},
        {panelProgress(17, 0), " Номер: 17 ск=0"},
        {answerPrefix(5, 9600, 0, 1) + kAnswerNone, " №=5 V=9600 : Pb=0 Sb=1 :  ... нет ответа"},
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
    // The summary's "Ответилo" ends in a Latin o, not the Cyrillic one.
    const std::string s = summaryLine(0, " ", 0, 1);
    EXPECT_EQ(s.substr(0, s.find(':')).back(), 'o');
}
