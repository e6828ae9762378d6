#include "platform/telnet_input.h"

namespace lork {

namespace {
constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250;
}

void TelnetInput::reset() {
    in_ = In::Data;
    verb_ = 0;
    afterCr_ = false;
    subTooLong_ = false;
    sub_.clear();
    overlong_ = 0;
    binaryIn = false;
}

void TelnetInput::feed(const uint8_t* raw, size_t n, Sink& sink) {
    auto subByte = [&](uint8_t b) {
        if (sub_.size() < kSubMax) sub_.push_back(b);
        else subTooLong_ = true;
    };
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = raw[i];
        switch (in_) {
        case In::Data:
            if (b == IAC) {
                in_ = In::Iac;
            } else {
                if (!(afterCr_ && b == 0 && !binaryIn)) sink.lineData(b);
                afterCr_ = b == '\r';
            }
            break;
        case In::Iac:
            in_ = In::Data;
            if (b == IAC) {
                sink.lineData(IAC);
                afterCr_ = false;
            } else if (b == WILL || b == WONT || b == DO || b == DONT) {
                verb_ = b;
                in_ = In::Verb;
            } else if (b == SB) {
                sub_.clear();
                subTooLong_ = false;
                in_ = In::Sub;
            }  // NOP, GA and the like carry nothing for the line
            break;
        case In::Verb:
            in_ = In::Data;
            sink.optionVerb(verb_, b);
            break;
        case In::Sub:
            if (b == IAC) in_ = In::SubIac;
            else subByte(b);
            break;
        case In::SubIac:
            if (b == IAC) {
                subByte(IAC);
                in_ = In::Sub;
            } else {
                if (subTooLong_) ++overlong_;
                else sink.subnegotiation(sub_);
                sub_.clear();
                subTooLong_ = false;
                in_ = In::Data;
            }
            break;
        }
    }
}

}  // namespace lork
