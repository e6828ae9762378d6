#include "records/format.h"

#include <cstdio>
#include <ctime>

#include "platform/base/file_io.h"
#include "protocol/framing.h"
#include "records/text_fields.h"

namespace lork::journal {

const char* Column_title(int col) {
    static const char* const titles[ColCount] = {"время",  "команда", "запрос",  "байт", "ответ",
                                                 "байт", "мс",      "код",     "результат"};
    return col >= 0 && col < ColCount ? titles[col] : "";
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

std::string Command_text(const Entry& e) {
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
std::tm Local(int64_t wall_ms) {
    const std::time_t t = std::time_t(wall_ms / 1000);
    return localTime(t);
}
}  // namespace

std::string Clock_text(int64_t wall_ms) {
    const std::tm tm = Local(wall_ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, int(wall_ms % 1000));
    return buf;
}

std::string Iso_text(int64_t wall_ms) { return records::isoLocalTime(wall_ms, true); }

std::string Cell(const Entry& e, int col) {
    switch (col) {
    case ColTime: return Clock_text(e.wall_ms);
    case ColCommand: return Command_text(e);
    case ColRequest: return Hex(e.rec.request);
    case ColReqLen: return std::to_string(e.rec.request.size());
    case ColReply: return Hex(e.rec.reply);
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
std::string Quoted(const std::string& s) { return records::csvField(s, ","); }
}  // namespace

std::string Csv_header() {
    return "seq,time,command,probe,request,request_len,reply,reply_len,response_ms,code,result";
}

std::string Csv_line(const Entry& e) {
    std::string s = std::to_string(e.seq) + ',' + Iso_text(e.wall_ms) + ',' + Quoted(Command_text(e)) + ',' +
                    (e.rec.probe ? "1" : "0");
    for (int col : {ColRequest, ColReqLen, ColReply, ColRepLen, ColResponse, ColCode, ColText})
        s += ',' + Quoted(Cell(e, col));
    return s;
}

std::string Text_line(const Entry& e) {
    std::string s = Clock_text(e.wall_ms) + "  " + Command_text(e) + "\n  -> " + Hex(e.rec.request) + "\n  <- " +
                    (e.rec.reply.empty() ? std::string("(нет)") : Hex(e.rec.reply));
    if (e.answered()) s += "  " + Cell(e, ColResponse) + " мс";
    const std::string code = Cell(e, ColCode);
    return s + "\n  " + (code.empty() ? "" : code + " ") + Cell(e, ColText);
}

std::string Tab_line(const Entry& e) {
    std::string s;
    for (int col = 0; col < ColCount; ++col) {
        if (col) s += '\t';
        s += Cell(e, col);
    }
    return s;
}

}  // namespace lork::journal
