#include "records/format.h"

#include <cstdio>
#include <ctime>

#include "device/line_monitor.h"
#include "platform/base/file_io.h"
#include "protocol/framing.h"
#include "records/text_fields.h"

namespace lork::journal {

const char* columnTitle(int col) {
    static const char* const titles[ColCount] = {"время",  "команда", "запрос",  "байт", "ответ",
                                                 "байт", "мс",      "код",     "результат"};
    return col >= 0 && col < ColCount ? titles[col] : "";
}

// The journal shows frames as the line monitor does.
std::string hex(const std::vector<uint8_t>& bytes) { return monitor::hexText(bytes); }

std::string commandText(const Entry& e) {
    const char* name = "";
    switch (e.rec.command) {
    case Command::Page: name = "страница"; break;
    case Command::Query: name = "запрос"; break;
    case Command::Polling: name = "опрос"; break;
    case Command::Search: name = "поиск"; break;
    case Command::Activation: name = "активация"; break;
    case Command::Overview: name = "все приборы"; break;
    }
    return e.rec.probe ? std::string(name) + ", проба" : std::string(name);
}

namespace {
std::tm local(int64_t wallMs) {
    const std::time_t t = std::time_t(wallMs / 1000);
    return localTime(t);
}
}  // namespace

std::string clockText(int64_t wallMs) {
    const std::tm tm = local(wallMs);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, int(wallMs % 1000));
    return buf;
}

std::string isoText(int64_t wallMs) { return records::isoLocalTime(wallMs, true); }

std::string cell(const Entry& e, int col) {
    switch (col) {
    case ColTime: return clockText(e.wallMs);
    case ColCommand: return commandText(e);
    case ColRequest: return hex(e.rec.request);
    case ColReqLen: return std::to_string(e.rec.request.size());
    case ColReply: return hex(e.rec.reply);
    case ColRepLen: return std::to_string(e.rec.reply.size());
    case ColResponse: {
        if (!e.answered()) return {};
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f", e.responseMs());
        return buf;
    }
    // A port failure has no result code: its text says what failed, and why.
    case ColCode: return e.rec.portFailed() ? std::string() : std::to_string(e.rec.kod_rez);
    case ColText: {
        if (e.rec.portFailed()) return e.rec.faultText;
        // The result line's text without its framing blanks and quotes.
        const std::string t = Kod_text(e.rec.kod_rez);
        const size_t a = t.find_first_not_of(" \""), b = t.find_last_not_of(" \"");
        return a == std::string::npos ? std::string() : t.substr(a, b - a + 1);
    }
    default: return {};
    }
}

namespace {
std::string quoted(const std::string& s) { return records::csvField(s, ","); }
}  // namespace

std::string csvHeader() {
    return "seq,time,command,probe,request,request_len,reply,reply_len,response_ms,code,result";
}

std::string csvLine(const Entry& e) {
    std::string s = std::to_string(e.seq) + ',' + isoText(e.wallMs) + ',' + quoted(commandText(e)) + ',' +
                    (e.rec.probe ? "1" : "0");
    for (int col : {ColRequest, ColReqLen, ColReply, ColRepLen, ColResponse, ColCode, ColText})
        s += ',' + quoted(cell(e, col));
    return s;
}

std::string textLine(const Entry& e) {
    std::string s = clockText(e.wallMs) + "  " + commandText(e) + "\n  -> " + hex(e.rec.request) + "\n  <- " +
                    (e.rec.reply.empty() ? std::string("(нет)") : hex(e.rec.reply));
    if (e.answered()) s += "  " + cell(e, ColResponse) + " мс";
    const std::string code = cell(e, ColCode);
    return s + "\n  " + (code.empty() ? "" : code + " ") + cell(e, ColText);
}

std::string tabLine(const Entry& e) {
    std::string s;
    for (int col = 0; col < ColCount; ++col) {
        if (col) s += '\t';
        s += cell(e, col);
    }
    return s;
}

}  // namespace lork::journal
