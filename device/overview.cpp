#include "device/overview.h"

#include <algorithm>

#include "protocol/registers.h"

namespace lork {

namespace {

std::optional<long> wholeNumber(const std::string& t) {
    if (t.empty() || t.size() > 3 || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stol(t);
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

std::optional<std::vector<uint8_t>> parseAddressList(const std::string& text, std::string* why) {
    auto refuse = [why](const std::string& item) -> std::optional<std::vector<uint8_t>> {
        if (why) *why = "\"" + item + "\": нужны адреса 1..247 через запятую, диапазоны через дефис (1,5,7-9)";
        return std::nullopt;
    };
    std::vector<uint8_t> out;
    std::vector<bool> seen(248, false);
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        const std::string item = trimmed(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        const size_t dash = item.find('-');
        const auto lo = wholeNumber(trimmed(item.substr(0, dash)));
        const auto hi = dash == std::string::npos ? lo : wholeNumber(trimmed(item.substr(dash + 1)));
        if (!lo || !hi || *lo < 1 || *hi > 247 || *lo > *hi) return refuse(item);
        for (long a = *lo; a <= *hi; ++a)
            if (!seen[size_t(a)]) {
                seen[size_t(a)] = true;
                out.push_back(uint8_t(a));
            }
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return out;
}

std::string addressListText(const std::vector<uint8_t>& adrs) {
    std::string out;
    for (size_t i = 0; i < adrs.size();) {
        size_t j = i;
        while (j + 1 < adrs.size() && adrs[j + 1] == adrs[j] + 1) ++j;
        if (!out.empty()) out += ',';
        if (j - i >= 2) {
            out += std::to_string(adrs[i]) + '-' + std::to_string(adrs[j]);
            i = j + 1;
        } else {
            out += std::to_string(adrs[i]);
            ++i;
        }
    }
    return out;
}

std::vector<uint8_t> foundAddresses(const FoundScor& found) {
    std::vector<uint8_t> out;
    for (unsigned a = 1; a <= 247; ++a)
        if (foundScorAt(found, a) != 0) out.push_back(uint8_t(a));
    return out;
}

Overview::Overview(const State& window, Link& windowLink, ExchangeFeed& feed, std::function<int64_t()> wallMs)
    : window_(window),
      windowLink_(windowLink),
      feed_(feed),
      wallMs_(std::move(wallMs)),
      link_(st_, windowLink.port(), windowLink.clock(), host_),
      dev_(st_, link_, host_, feed) {
    // A port that fails one turn is not tried again within it.
    link_.watchCommands(&feed_);
}

void Overview::setAddresses(const std::vector<uint8_t>& adrs) {
    std::vector<Instrument> next;
    next.reserve(adrs.size());
    for (uint8_t a : adrs) {
        const auto known = std::find_if(list_.begin(), list_.end(), [a](const Instrument& i) { return i.adr == a; });
        if (known != list_.end()) {
            next.push_back(std::move(*known));
        } else {
            next.emplace_back();
            next.back().adr = a;
        }
    }
    list_ = std::move(next);
}

const Instrument& Overview::poll(size_t i) {
    Instrument& ins = list_.at(i);
    ExchangeFeed::CommandScope scope(feed_, Command::Overview);
    // The window's line as it is now, with this instrument's address and values.
    st_.ls = window_.ls;
    st_.ls.adr = ins.adr;
    st_.dev = ins.dev;
    link_.port_timeouts = windowLink_.port_timeouts;
    link_.pause_before = windowLink_.pause_before;
    link_.pause_after = windowLink_.pause_after;
    link_.responseTimeoutMs = windowLink_.responseTimeoutMs;
    host_.said.clear();

    const uint8_t kod = turn(ins);
    ins.polled = true;
    ++ins.turns;
    ins.answering = kod == KOD_OK;
    ins.kod_rez = kod;
    if (ins.answering) {
        ins.lastGoodMs = wallMs_ ? wallMs_() : -1;
        ins.failure.clear();
    } else {
        ++ins.failures;
        // The name is read again once it answers: it may be another instrument then.
        ins.named = false;
        ins.failure = link_.fault() != PortFault::None ? link_.faultText()
                      : !host_.said.empty()            ? host_.said
                                                       : Kod_text(kod);
    }
    return ins;
}

uint8_t Overview::turn(Instrument& ins) {
    auto read = [this](uint8_t func, uint16_t start, uint16_t kol) {
        return dev_.transact(func, start, kol, {}, FailureReport::None);
    };
    auto text = [this] { return st_.dev.reg_text; };
    // The presence read first: a silent instrument costs one time-out, not seven.
    if (const uint8_t kod = dev_.Read_adr(); kod != KOD_OK) return kod;
    if (!ins.named) {
        if (const uint8_t kod = read(reg::ReadInputRegisters, reg::name, reg::nameCount); kod != KOD_OK) return kod;
        std::string name = text();
        if (const uint8_t kod = read(reg::ReadInputRegisters, reg::version, reg::versionCount); kod != KOD_OK)
            return kod;
        ins.name = std::move(name);
        ins.version = text();
        ins.named = true;
    }
    if (const uint8_t kod = read(reg::ReadDiscreteInputs, reg::sw_PR, reg::inputCount); kod != KOD_OK) return kod;
    if (const uint8_t kod = read(reg::ReadInputRegisters, reg::ciText, reg::ciCount); kod != KOD_OK) return kod;
    const std::string ci = text().substr(0, 8);
    struct Read {
        uint8_t func;
        uint16_t start, kol;
    };
    for (const Read& r : {Read{reg::ReadHoldingRegisters, reg::v_ind, 1}, Read{reg::ReadCoils, reg::kluch_K1, reg::coilCount},
                          Read{reg::ReadHoldingRegisters, reg::res, reg::paramsCount},
                          Read{reg::ReadInputRegisters, reg::step, reg::izmCount}})
        if (const uint8_t kod = read(r.func, r.start, r.kol); kod != KOD_OK) return kod;
    ins.ciText = ci;
    ins.dev = st_.dev;
    return KOD_OK;
}

void Overview::round() {
    for (size_t i = 0; i < list_.size(); ++i) poll(i);
}

}  // namespace lork
