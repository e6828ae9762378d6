#pragma once
// "rfc2217://HOST:PORT": a device server reached over Telnet with the COM
// port control option, so the program sets the gateway's line (rate, data
// bits, parity, stop bits) as it sets a local port's. Telnet's rules apply
// both ways: 0xFF in the data is doubled, commands from the server are
// answered or taken out of the data, and the line settings count only once
// the server has acknowledged them with the values asked for.
//
// The purge before a request discards what has reached this end only. The
// option's purge of the server's own buffer is not sent: a server may carry
// it out after the request that follows it, and so throw away the reply.
#include <array>
#include <vector>

#include "platform/tcp_port.h"
#include "platform/telnet_input.h"

namespace lork {

class Rfc2217Port : public TcpPort, private TelnetInput::Sink {
public:
    uint32_t configure(const LineConfig& cfg) override;
    uint32_t write(const uint8_t* data, size_t len) override;
    std::string describeError(const std::string& name, uint32_t err) const override;

protected:
    uint32_t greet() override;
    void takeIn(const uint8_t* raw, size_t n) override;

private:
    void sendCommand(uint8_t cmd, const std::vector<uint8_t>& value);
    void sendVerb(uint8_t verb, uint8_t option);
    void lineData(uint8_t b) override { keep(&b, 1); }
    void optionVerb(uint8_t verb, uint8_t option) override;
    void subnegotiation(const std::vector<uint8_t>& body) override;

    TelnetInput telnet_;
    bool overlongTold_ = false;            // the over-long subnegotiation remark has been made
    std::array<bool, 256> weWill_{};       // options we have said WILL to
    std::array<bool, 256> weDo_{};         // options we have said DO to
    bool binaryOut_ = false;               // the server takes our data as binary
    bool comPort_ = false;                 // the server does COM port control
    bool comPortRefused_ = false;         // ... and has said it does not
    std::array<std::vector<uint8_t>, 16> ack_{};  // the server's last answer per command
    std::array<bool, 16> acked_{};
    bool lineSet_ = false;                 // cfg_ is the line the server acknowledged
    uint32_t refusal_ = 0;                  // what refused the last set-up
    std::string refusedWhat_;              // the setting the server did not take
};

}  // namespace lork
