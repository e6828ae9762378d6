#include "platform/rfc2217_port.h"

#include <cerrno>

#include "platform/base/monotonic.h"

namespace lork {

namespace {

constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t BINARY = 0, SGA = 3, COM_PORT = 44;
// Client commands of the COM port option; the server answers with 100 more.
constexpr uint8_t SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3, SET_STOPSIZE = 4, SET_CONTROL = 5;
constexpr uint8_t kServerBase = 100;
// The server's answer to a set-up comes in one round trip on the local
// network; one that has said nothing by then will not.
constexpr int64_t kAnswerUs = 2'000'000;

}  // namespace

void Rfc2217Port::sendVerb(uint8_t verb, uint8_t option) {
    const uint8_t b[3] = {IAC, verb, option};
    sendRaw(b, 3);
}

uint32_t Rfc2217Port::greet() {
    telnet_.reset();
    overlongTold_ = false;
    weWill_.fill(false);
    weDo_.fill(false);
    binaryOut_ = comPort_ = comPortRefused_ = false;
    acked_.fill(false);
    lineSet_ = false;
    // Bytes must cross as they are, so binary both ways; then the COM port option.
    for (uint8_t o : {BINARY, COM_PORT}) {
        weWill_[o] = true;
        sendVerb(WILL, o);
    }
    weDo_[BINARY] = true;
    sendVerb(DO, BINARY);
    const int64_t end = monotonicUs() + kAnswerUs;
    while (!comPort_ && !comPortRefused_ && monotonicUs() < end)
        if (!pump(end - monotonicUs())) return ECONNRESET;
    if (!comPort_) return EPROTONOSUPPORT;
    return 0;
}

void Rfc2217Port::optionVerb(uint8_t verb, uint8_t option) {
    const bool wantedOurs = option == BINARY || option == COM_PORT;
    const bool wantedTheirs = option == BINARY || option == SGA;
    switch (verb) {
    case DO:
        if (wantedOurs) {
            if (!weWill_[option]) sendVerb(WILL, option);  // else it answers our WILL
            weWill_[option] = true;
            if (option == BINARY) binaryOut_ = true;
            if (option == COM_PORT) comPort_ = true;
        } else {
            sendVerb(WONT, option);
        }
        break;
    case DONT:
        if (weWill_[option]) sendVerb(WONT, option);
        weWill_[option] = false;
        if (option == BINARY) binaryOut_ = false;
        if (option == COM_PORT) {
            comPort_ = false;
            comPortRefused_ = true;
        }
        break;
    case WILL:
        if (wantedTheirs) {
            if (!weDo_[option]) sendVerb(DO, option);
            weDo_[option] = true;
            if (option == BINARY) telnet_.binaryIn = true;
        } else {
            sendVerb(DONT, option);
        }
        break;
    case WONT:
        if (weDo_[option]) sendVerb(DONT, option);
        weDo_[option] = false;
        if (option == BINARY) telnet_.binaryIn = false;
        break;
    }
}

void Rfc2217Port::subnegotiation(const std::vector<uint8_t>& sub) {
    if (sub.size() < 2 || sub[0] != COM_PORT || sub[1] < kServerBase) return;
    const unsigned cmd = sub[1] - kServerBase;
    // Line and modem state notices are not asked for; other answers are kept.
    if (cmd >= ack_.size()) return;
    ack_[cmd].assign(sub.begin() + 2, sub.end());
    acked_[cmd] = true;
}

void Rfc2217Port::takeIn(const uint8_t* raw, size_t n) {
    telnet_.feed(raw, n, *this);
    if (telnet_.overlong() != 0 && !overlongTold_) {
        overlongTold_ = true;
        if (notice)
            notice("порт " + name() + ": шлюз прислал подкоманду Telnet длиннее " +
                   std::to_string(TelnetInput::kSubMax) + " байт; такие отбрасываются");
    }
}

void Rfc2217Port::sendCommand(uint8_t cmd, const std::vector<uint8_t>& value) {
    std::vector<uint8_t> out{IAC, SB, COM_PORT, cmd};
    for (uint8_t v : value) {
        out.push_back(v);
        if (v == IAC) out.push_back(IAC);
    }
    out.push_back(IAC);
    out.push_back(SE);
    sendRaw(out.data(), out.size());
}

uint32_t Rfc2217Port::configure(const LineConfig& cfg) {
    if (!isOpen()) return TcpPort::configure(cfg);  // the error of the failed connection
    LineConfig want = cfg;
    if (cfg.stopbits != 1 && cfg.stopbits != 2) want.stopbits = cfg_.stopbits;
    if (cfg.bytesize < 5 || cfg.bytesize > 8 || cfg.parity > 2 || cfg.baud <= 0) return EINVAL;
    // The server keeps the line for the whole connection: set again only what changed.
    if (lineSet_ && want.baud == cfg_.baud && want.bytesize == cfg_.bytesize && want.parity == cfg_.parity &&
        want.stopbits == cfg_.stopbits)
        return 0;
    lineSet_ = false;
    refusal_ = 0;
    // The option's parity values: 1 none, 2 odd, 3 even; the program's codes 1 even, 2 odd.
    static constexpr uint8_t parityValue[] = {1, 3, 2};
    const uint32_t b = uint32_t(want.baud);
    const std::vector<std::pair<uint8_t, std::vector<uint8_t>>> asks{
        {SET_BAUDRATE, {uint8_t(b >> 24), uint8_t(b >> 16), uint8_t(b >> 8), uint8_t(b)}},
        {SET_DATASIZE, {want.bytesize}},
        {SET_PARITY, {parityValue[want.parity]}},
        {SET_STOPSIZE, {want.stopbits == 2 ? uint8_t(2) : uint8_t(1)}},
    };
    for (const auto& [cmd, value] : asks) {
        acked_[cmd] = false;
        sendCommand(cmd, value);
    }
    // No flow control. Servers that do not let the client steer the modem
    // lines may refuse this or stay silent; the line works either way.
    sendCommand(SET_CONTROL, {1});
    const int64_t end = monotonicUs() + kAnswerUs;
    auto allAnswered = [&] {
        for (const auto& a : asks)
            if (!acked_[a.first]) return false;
        return true;
    };
    while (!allAnswered() && monotonicUs() < end)
        if (!pump(end - monotonicUs())) return TcpPort::configure(cfg);
    static constexpr const char* names[] = {"", "скорость", "число бит", "паритет", "стоп-биты"};
    for (const auto& [cmd, value] : asks) {
        if (!acked_[cmd]) {
            refusal_ = ETIMEDOUT;
            refusedWhat_ = names[cmd];
            return refusal_;
        }
        if (ack_[cmd] != value) {
            refusal_ = EINVAL;
            refusedWhat_ = names[cmd];
            return refusal_;
        }
    }
    cfg_ = want;
    configured_ = true;
    lineSet_ = true;
    return 0;
}

uint32_t Rfc2217Port::write(const uint8_t* data, size_t len) {
    if (isOpen()) pump(0);
    std::vector<uint8_t> out;
    out.reserve(len + 4);
    for (size_t i = 0; i < len; ++i) {
        out.push_back(data[i]);
        if (data[i] == IAC) out.push_back(IAC);
        else if (data[i] == '\r' && !binaryOut_) out.push_back(0);
    }
    return sendRaw(out.data(), out.size());
}

std::string Rfc2217Port::describeError(const std::string& name, uint32_t e) const {
    const uint32_t err = causeOf(e);
    if (err == EPROTONOSUPPORT)
        return "порт " + name + ": шлюз не поддерживает управление портом по RFC 2217 (Telnet COM Port Control)";
    if (refusal_ != 0 && err == refusal_)
        return "порт " + name + ": шлюз " + (err == ETIMEDOUT ? "не ответил на настройку" : "не принял настройку") +
               " (" + refusedWhat_ + ")";
    return TcpPort::describeError(name, e);
}

}  // namespace lork
