#include "protocol/search_text.h"

#include <cctype>

namespace lork::search {

namespace {

std::string num(long long v) { return std::to_string(v); }

std::string padded(int v, int width) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
    return s;
}

}  // namespace

TimeFields durationFields(int64_t ms) {
    if (ms < 0) ms = 0;
    const int64_t day = 24LL * 3600 * 1000;
    ms %= day;
    TimeFields t;
    t.z = static_cast<int>(ms % 1000);
    t.s = static_cast<int>(ms / 1000 % 60);
    t.n = static_cast<int>(ms / 60000 % 60);
    t.h = static_cast<int>(ms / 3600000);
    return t;
}

std::string formatTime(const TimeFields& t, const std::string& pattern, const std::string& sep) {
    std::string out;
    size_t i = 0;
    auto run = [&](char c) {
        size_t k = 0;
        while (i + k < pattern.size() && std::tolower(static_cast<unsigned char>(pattern[i + k])) == c) ++k;
        return k;
    };
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '"') {
            const size_t close = pattern.find('"', i + 1);
            const size_t end = close == std::string::npos ? pattern.size() : close;
            out.append(pattern, i + 1, end - i - 1);
            i = close == std::string::npos ? end : close + 1;
        } else if (c == ':') {
            out += sep;
            ++i;
        } else if (lc == 'h' || lc == 'n' || lc == 's') {
            const int v = lc == 'h' ? t.h : lc == 'n' ? t.n : t.s;
            const size_t k = run(lc);
            const size_t used = k >= 2 ? 2 : 1;  // "hhh" is "hh" followed by "h"
            out += padded(v, static_cast<int>(used));
            i += used;
        } else if (lc == 'z') {
            const size_t k = run('z');
            const size_t used = k >= 3 ? 3 : 1;
            out += padded(t.z, used == 3 ? 3 : 1);
            i += used;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

ProgressLine::Step ProgressLine::step(int a, uint8_t code) {
    l_ += ".";
    if (code != 0) l_ += num(a) + " ";
    Step s{(a == 76 || a == 151 || a == 226) ? Action::Append : Action::ReplaceLast, l_};
    if (a == 75 || a == 150 || a == 225) l_ = " ";
    return s;
}

std::string fullSweepLine(int a, uint8_t code, const std::string& clock, int64_t stepMs,
                          int64_t totalMs, const std::string& sep) {
    return " №=" + num(a) + "  V=" + num(code) + " ... " + clock + " (" +
           formatTime(durationFields(stepMs), kPatStep, sep) + " мс)" + "  всего: " +
           formatTime(durationFields(totalMs), kPatRunning, sep) + " ";
}

std::string abortLine(int a) { return "прервали поиск на " + num(a) + " номере"; }

std::string timeLine(const std::string& timeOfDay, int64_t elapsedMs, const std::string& sep) {
    return " " + timeOfDay + " прошло  " + formatTime(durationFields(elapsedMs), kPatTotal, sep);
}

std::string summaryLine(int n, const std::string& list, int parity, int stopbit) {
    // The "o" of "Ответилo" is a Latin letter; operators' notes quote the line as it is.
    return "Ответилo:" + num(n) + " приборов:   №№: " + list + "  :! паритет:" + num(parity) +
           " стопбит:" + num(stopbit) + " !";
}

std::string numHeader(int32_t scor, int parity, int stopbit) {
    return " ищем отвечающий № на скорости " + num(scor) + "  [ Pb=" + num(parity) + ", Sb=" + num(stopbit) +
           " ]";
}

std::string startLine(const std::string& timeOfDay) { return " начало в: " + timeOfDay + " ..."; }

std::string numFound(int32_t rate, int a, int parity, int stopbit) {
    return "на скорости " + num(rate) + " отозвался №" + num(a) + "  [ Pb=" + num(parity) + " , Sb=" +
           num(stopbit) + " ]";
}

std::string numNoneMessage(int32_t scor) {
    return "на скорости " + num(scor) + " не отвечает ни один номер из 1..247";
}

std::string fastLabel(int parity, int stopbit) {
    return "Подождите!... Идет БЫСТРЫЙ ПОИСК приборов на всех скоростях  [ Pb=" + num(parity) + ", Sb=" +
           num(stopbit) + " ] ...";
}

std::string fastHeader(int parity, int stopbit) {
    return " быстрый поиск №№ 1..247 на скоростях 9600, 19200, 115200, 38400, 57600, 4800  [ Pb=" + num(parity) +
           ", Sb=" + num(stopbit) + " ]";
}

std::string fastRate(int32_t scor) { return " идет быстрый поиск на скорости " + num(scor); }

std::string fastNoneMessage(int parity, int stopbit) {
    return "быстрый поиск: не отвечает ни один номер из 1..247 ни на одной скорости при Pb=" + num(parity) +
           " и Sb=" + num(stopbit);
}

std::string numLabel(int32_t scor) {
    return "Подождите!... Идет ПОИСК НОМЕРОВ, отвечающих на скорость " + num(scor) + " ...";
}

std::string scorLabel(int adr) { return "Подождите!... Идет ПОИСК СКОРОСТИ для номера " + num(adr) + " ...."; }

std::string scorHeader(int adr, int parity, int stopbit) {
    return " ищем скорость для №=" + num(adr) + "  [ Pb=" + num(parity) + ", Sb=" + num(stopbit) + " ]";
}

std::string scorStatus(int adr) { return "№" + num(adr) + " ищет скорость "; }

std::string scorEndLine(const std::string& timeOfDay) { return " конец в: " + timeOfDay; }

std::string scorFound(int adr, int32_t scor, int parity, int stopbit) {
    return "№" + num(adr) + " ответил на " + num(scor) + "  [ Pb=" + num(parity) + ", Sb=" + num(stopbit) + " ]";
}

std::string scorFoundStatus(int32_t scor) { return " Ответил на Скорость Обмена: " + num(scor); }

std::string scorNoneMessage(int adr, int parity, int stopbit) {
    return "№" + num(adr) + " не отвечает ни на одной из скоростей " + "  при Pb=" + num(parity) + " и Sb=" +
           num(stopbit);
}

std::string panelNumber(int a) { return " Номер: " + num(a); }
std::string panelRate(int32_t scor) { return " Скорость Обмена: " + num(scor); }
std::string panelProgress(int a, uint8_t code) { return " Номер: " + num(a) + " ск=" + num(code); }

std::string answerPrefix(int adr, int32_t scor, int parity, int stopbit) {
    return " №=" + num(adr) + " V=" + num(scor) + " : Pb=" + num(parity) + " Sb=" + num(stopbit) + " : ";
}

}  // namespace lork::search
