#pragma once
// Texts of the device search, kept free of the toolkit so that every line the
// operator reads can be checked without a window.
#include <cstdint>
#include <string>

namespace lork::search {

// A time of day (or a duration shown as one) split into its fields.
struct TimeFields {
    int h = 0, n = 0, s = 0, z = 0;  // hours 0..23, minutes, seconds, milliseconds
};

// A duration in milliseconds shown as the time of day it would be after
// midnight: each pattern shows only its own fields, so "s:zzz" wraps at a
// minute and "n:ss:zzz" at an hour. Negative durations (a clock that stepped
// back) count as zero rather than printing garbage fields.
TimeFields durationFields(int64_t ms);

// Date-time pattern: h/hh hours, n/nn minutes, s/ss seconds, z/zzz
// milliseconds, ':' the time separator, "..." copied without its quotes;
// any other byte (Cyrillic included) is copied unchanged.
std::string formatTime(const TimeFields& t, const std::string& pattern, const std::string& sep);

// Patterns of the sweep's lines.
inline constexpr const char* kPatClock = " h:nn:ss:zzz  ";      // time of day of a full-sweep line
inline constexpr const char* kPatStep = "s:zzz";                 // time of one address
inline constexpr const char* kPatRunning = "n:ss:zzz";           // time since the start
inline constexpr const char* kPatTotal = "  hh:nn:ss:zzz мс ";   // time of the whole sweep

// Progress line of the address sweep. The line starts as "." and gets one dot
// per address, followed by the address itself when it answered. Every 75
// addresses the finished line stays in the list and a new one starts.
class ProgressLine {
public:
    enum class Action { ReplaceLast, Append };
    struct Step {
        Action action;
        std::string line;  // the text to show
    };
    // Address a (1..247) was probed; code is what the probe returned.
    Step step(int a, uint8_t code);
    const std::string& text() const { return l_; }

private:
    std::string l_ = ".";
};

// One line of the full sweep: address, the code found and the three times.
std::string fullSweepLine(int a, uint8_t code, const std::string& clock, int64_t stepMs,
                          int64_t totalMs, const std::string& sep);

std::string abortLine(int a);
std::string timeLine(const std::string& timeOfDay, int64_t elapsedMs, const std::string& sep);
std::string summaryLine(int n, const std::string& list, int parity, int stopbit);

// Address sweep: the opening lines and its outcomes.
std::string numHeader(int32_t scor, int parity, int stopbit);
std::string startLine(const std::string& timeOfDay);
std::string numFound(int32_t rate, int a, int parity, int stopbit);
std::string numNoneMessage(int32_t scor);
std::string numLabel(int32_t scor);

// Rate search.
std::string scorLabel(int adr);
std::string scorHeader(int adr, int parity, int stopbit);
std::string scorStatus(int adr);
std::string scorEndLine(const std::string& timeOfDay);
std::string scorFound(int adr, int32_t scor, int parity, int stopbit);
std::string scorFoundStatus(int32_t scor);
std::string scorNoneMessage(int adr, int parity, int stopbit);
inline constexpr const char* kScorOpenFailed = "ошибочка вышла dcb не желает init";

// Full sweep.
inline constexpr const char* kPriborLabel = "Подождите!... Идет ПОИСК приборов, отвечающих на наш запрос.....";

// Fast search: every rate, the likeliest first.
std::string fastLabel(int parity, int stopbit);
std::string fastHeader(int parity, int stopbit);
std::string fastRate(int32_t scor);
std::string fastNoneMessage(int parity, int stopbit);

// Status bar texts.
std::string panelNumber(int a);
std::string panelRate(int32_t scor);
std::string panelProgress(int a, uint8_t code);
inline constexpr const char* kPanelSearching = " идет поиск прибора";

// Presence test.
std::string answerPrefix(int adr, int32_t scor, int parity, int stopbit);
inline constexpr const char* kAnswerOk = "OK!";
inline constexpr const char* kAnswerNone = " ... нет ответа";

}  // namespace lork::search
