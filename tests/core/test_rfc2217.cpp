// The Telnet side of an RFC 2217 gateway, scripted: what goes on the
// connection, what the port makes of a server's answers and refusals.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "platform/crc16.h"
#include "platform/mbtcp_port.h"
#include "platform/port_factory.h"
#include "platform/rfc2217_port.h"
#include "platform/base/system_clock.h"
#include "platform/telnet_input.h"
#include "device/device.h"
#include "support/fake_port.h"

using namespace lork;

namespace {

constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WILL = 251, SB = 250, SE = 240, NOP = 241, COM = 44;
using Bytes = std::vector<uint8_t>;

// A one-connection server on the loopback; serve() runs in its own thread
// with the connected socket.
class Server {
public:
    explicit Server(std::function<void(int)> serve) {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        listen(listen_, 1);
        thread_ = std::thread([this, serve] {
            const int c = accept(listen_, nullptr, nullptr);
            if (c >= 0) serve(c);
            if (c >= 0) close(c);
        });
    }
    ~Server() {
        thread_.join();
        close(listen_);
    }
    std::string name(const std::string& scheme = "rfc2217") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }

private:
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// Reads what the client sends within ms.
Bytes take(int fd, int ms) {
    Bytes out;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, ms) > 0) {
        uint8_t b[256];
        const ssize_t n = read(fd, b, sizeof b);
        if (n <= 0) break;
        out.insert(out.end(), b, b + n);
        ms = 50;
    }
    return out;
}
void give(int fd, const Bytes& b) { (void)!write(fd, b.data(), b.size()); }

// The client's COM port commands in what it sent: command -> value.
std::map<uint8_t, Bytes> commands(const Bytes& in) {
    std::map<uint8_t, Bytes> out;
    for (size_t i = 0; i + 3 < in.size(); ++i) {
        if (in[i] != IAC || in[i + 1] != SB || in[i + 2] != COM) continue;
        Bytes v;
        size_t j = i + 4;
        for (; j + 1 < in.size() && !(in[j] == IAC && in[j + 1] == SE); ++j) {
            v.push_back(in[j]);
            if (in[j] == IAC) ++j;
        }
        out[in[i + 3]] = v;
        i = j;
    }
    return out;
}

// A server that takes the option and answers each set-up with the values
// the answer function gives (nothing when it gives no value).
void gateway(int fd, const std::function<std::optional<Bytes>(uint8_t, const Bytes&)>& answer) {
    take(fd, 1000);
    give(fd, {IAC, DO, COM, IAC, DO, 0, IAC, WILL, 0});
    for (const auto& [cmd, v] : commands(take(fd, 1000))) {
        if (auto a = answer(cmd, v)) {
            Bytes out{IAC, SB, COM, uint8_t(cmd + 100)};
            out.insert(out.end(), a->begin(), a->end());
            out.insert(out.end(), {IAC, SE});
            give(fd, out);
        }
    }
}

}  // namespace

TEST(Rfc2217, SetsTheLineDoublesIacAndTakesTelnetOutOfTheData) {
    std::map<uint8_t, Bytes> asked;
    Bytes data_in;
    Server s([&](int fd) {
        // A server that does not let the client steer flow control or the
        // modem lines answers that command with a value of its own.
        gateway(fd, [&](uint8_t cmd, const Bytes& v) -> std::optional<Bytes> {
            asked[cmd] = v;
            return cmd == 5 ? Bytes{0} : v;
        });
        data_in = take(fd, 1000);
        // A reply with 0xFF in it, a notice and a no-op on the way.
        give(fd, {0x05, IAC, IAC, IAC, SB, COM, 107, 0x30, IAC, SE, IAC, NOP, 0x07});
        take(fd, 500);
    });
    Rfc2217Port port;
    ASSERT_EQ(port.open(s.name()), 0u);
    ASSERT_EQ(port.configure({19200, 8, 2, 2}), 0u);
    EXPECT_EQ(asked[1], (Bytes{0, 0, 0x4B, 0x00}));  // 19200, high byte first
    EXPECT_EQ(asked[2], Bytes{8});
    EXPECT_EQ(asked[3], Bytes{2});  // the program's code 2 is odd: the option's 2
    EXPECT_EQ(asked[4], Bytes{2});
    const Bytes req{0x05, 0xFF, 0x01};
    ASSERT_EQ(port.write(req.data(), req.size()), 0u);
    ASSERT_TRUE(port.waitForReadyRead(1000));
    Bytes got(8);
    size_t n = 0;
    while (n < 3 && port.waitForReadyRead(500)) n += port.readAvailable(got.data() + n, got.size() - n);
    got.resize(n);
    EXPECT_EQ(got, (Bytes{0x05, 0xFF, 0x07}));
    // What reached the server: the data with its 0xFF doubled.
    const Bytes doubled{0x05, IAC, IAC, 0x01};
    EXPECT_NE(std::search(data_in.begin(), data_in.end(), doubled.begin(), doubled.end()), data_in.end());
}

TEST(Rfc2217, RefusedRateAndRefusedOptionAreFailuresWithTheirCause) {
    {
        Server s([](int fd) {
            gateway(fd, [](uint8_t cmd, const Bytes& v) -> std::optional<Bytes> {
                return cmd == 1 ? Bytes{0, 0, 0x25, 0x80} : v;  // stays at 9600
            });
        });
        Rfc2217Port port;
        ASSERT_EQ(port.open(s.name()), 0u);
        EXPECT_EQ(port.configure({115200, 8, 0, 1}), uint32_t(EINVAL));
        EXPECT_EQ(port.describeError(s.name(), EINVAL), "порт " + s.name() + ": шлюз не принял настройку (скорость)");
    }
    {
        Server s([](int fd) {
            take(fd, 1000);
            give(fd, {IAC, DONT, COM});
            take(fd, 300);
        });
        Rfc2217Port port;
        EXPECT_EQ(port.open(s.name()), uint32_t(EPROTONOSUPPORT));
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.describeError(s.name(), EBADF),
                  "порт " + s.name() + ": шлюз не поддерживает управление портом по RFC 2217 (Telnet COM Port Control)");
    }
}

// --- hostile servers: what is held stays bounded whatever comes

struct Recorder : TelnetInput::Sink {
    size_t data = 0, verbs = 0;
    std::vector<Bytes> subs;
    void lineData(uint8_t) override { ++data; }
    void optionVerb(uint8_t, uint8_t) override { ++verbs; }
    void subnegotiation(const std::vector<uint8_t>& body) override { subs.push_back(body); }
};

TEST(TelnetInput, EndlessNopsAndAnEndlessSubnegotiationHoldAtMostTheBound) {
    TelnetInput in;
    Recorder r;
    Bytes nops;
    for (int i = 0; i < 100000; ++i) nops.insert(nops.end(), {IAC, NOP});
    in.feed(nops.data(), nops.size(), r);
    EXPECT_EQ(r.data + r.verbs + r.subs.size(), 0u);

    const Bytes head{IAC, SB, COM, 101};
    in.feed(head.data(), head.size(), r);
    const Bytes endless(1 << 20, 0x41);
    in.feed(endless.data(), endless.size(), r);
    EXPECT_LE(in.held(), TelnetInput::kSubMax);
    // Its end drops it whole; the next one counts again.
    const Bytes tail{IAC, SE, IAC, SB, COM, 101, 0x03, IAC, SE, 0x07};
    in.feed(tail.data(), tail.size(), r);
    EXPECT_EQ(in.overlong(), 1u);
    ASSERT_EQ(r.subs.size(), 1u);
    EXPECT_EQ(r.subs[0], (Bytes{COM, 101, 0x03}));
    EXPECT_EQ(r.data, 1u);
}

// A server that never stops sending: waits and writes (which look at the
// connection first) end, the unread data held stays under the bound (the
// excess counted), and a purge ends too.
TEST(TcpPort, FloodingServerIsReadBoundedAndPurged) {
    Server s([](int fd) {
        const Bytes chunk(65536, 0x55);
        for (int i = 0; i < 256; ++i)
            if (send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) <= 0) break;
    });
    TcpPort port;
    ASSERT_EQ(port.open(s.name("tcp")), 0u);
    ASSERT_TRUE(port.waitForReadyReadUs(1'000'000));
    const uint8_t request = 0x05;
    for (int i = 0; i < 200 && port.droppedBytes() == 0; ++i) {
        ASSERT_EQ(port.write(&request, 1), 0u);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Bytes all(1 << 20);
    EXPECT_LE(port.readAvailable(all.data(), all.size()), TcpPort::kHeldMax);
    EXPECT_GT(port.droppedBytes(), 0u);
    port.purgeInput();
    port.close();
}

// Names that can name no port are refused before anything is opened.
TEST(PortNames, GatewayWithoutHostOrPortInRangeAndEmptyNameAreRefused) {
    // 99999 modulo 65536: where a careless resolver would connect.
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(34463);
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const bool listening = bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(listener, 4) == 0;
    const struct {
        const char* name;
        const char* problem;
    } cases[] = {
        {"tcp://127.0.0.1:99999", "неверный адрес шлюза: tcp://127.0.0.1:99999 (нужны узел и порт 1..65535)"},
        {"rfc2217://127.0.0.1:0", "неверный адрес шлюза: rfc2217://127.0.0.1:0 (нужны узел и порт 1..65535)"},
        {"tcp://:502", "неверный адрес шлюза: tcp://:502 (нужны узел и порт 1..65535)"},
        {"tcp://[]:502", "неверный адрес шлюза: tcp://[]:502 (нужны узел и порт 1..65535)"},
        {"", "не задано имя порта"},
        {"tcp://127.0.0.1:65535", ""},
        {"rfc2217://[::1]:1", ""},
        {"tcp://127.0.0.1", "неверный адрес шлюза: tcp://127.0.0.1 (нужны узел и порт 1..65535)"},
        {"mbtcp://", "неверный адрес шлюза: mbtcp:// (нужны узел и порт 1..65535 или без порта: 502)"},
        {"mbtcp://gw:0", "неверный адрес шлюза: mbtcp://gw:0 (нужны узел и порт 1..65535 или без порта: 502)"},
        {"mbtcp://gw", ""},
        {"mbtcp://[::1]", ""},
        {"ttyUSB0", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(portNameProblem(c.name), c.problem) << c.name;
        if (*c.problem == 0) continue;
        PortByName port;
        EXPECT_EQ(port.open(c.name), uint32_t(EINVAL)) << c.name;
        EXPECT_EQ(port.describeError(c.name, EBADF), "порт " + std::string(c.name) + ": " + c.problem);
    }
    if (listening) {
        EXPECT_LT(accept(listener, nullptr, nullptr), 0) << "a refused name was connected to";
    }
    close(listener);
}

// A Modbus TCP gateway: the RTU request goes out as MBAP without its CRC; a
// reply with another transaction identifier is dropped unread, the right one
// (its header split over two segments) comes back as the RTU frame with the
// CRC computed; the gateway's own exception is told apart; a stream that is
// not MBAP drops the connection.
TEST(Mbtcp, FramesRequestsChecksTransactionsAndRebuildsTheRtuReply) {
    Bytes first, second;
    Server s([&](int fd) {
        first = take(fd, 2000);
        give(fd, {0x00, 0x07, 0, 0, 0, 5, 0x05, 0x03, 0x02, 0xFF, 0xFF});  // a stray transaction
        give(fd, {0x00, 0x01, 0, 0});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        give(fd, {0, 5, 0x05, 0x03, 0x02, 0x00, 0x0A});
        second = take(fd, 2000);
        give(fd, {0x00, 0x02, 0, 0, 0, 3, 0x05, 0x83, 0x0B});
        take(fd, 2000);
        give(fd, {0x00, 0x03, 0, 1, 0, 3, 0x05, 0x83, 0x0B});  // protocol 1: not Modbus
        take(fd, 2000);
    });
    PortByName port;
    ASSERT_EQ(port.open(s.name("mbtcp")), 0u);
    EXPECT_TRUE(port.modbusTcp());
    const Bytes request{0x05, 0x03, 0x0A, 0x00, 0x00, 0x01, 0x86, 0x56};
    auto exchange = [&] {
        EXPECT_EQ(port.write(request.data(), request.size()), 0u);
        Bytes got;
        while (got.size() < 5 && port.waitForReadyReadUs(2'000'000)) {
            uint8_t b[64];
            got.insert(got.end(), b, b + port.readAvailable(b, sizeof b));
        }
        return got;
    };
    EXPECT_EQ(exchange(), (Bytes{0x05, 0x03, 0x02, 0x00, 0x0A, 0xC9, 0x83}));
    EXPECT_EQ(first, (Bytes{0x00, 0x01, 0, 0, 0, 6, 0x05, 0x03, 0x0A, 0x00, 0x00, 0x01}));
    EXPECT_EQ(port.gatewayException(), 0);
    const Bytes exception = exchange();
    EXPECT_EQ(second.size() > 1 ? second[1] : 0, 0x02);
    ASSERT_EQ(exception.size(), 5u);
    EXPECT_EQ(Bytes(exception.begin(), exception.begin() + 3), (Bytes{0x05, 0x83, 0x0B}));
    EXPECT_EQ(lork::crc16Modbus(exception.data(), 3), uint16_t(exception[4] << 8 | exception[3]));
    EXPECT_EQ(port.gatewayException(), 0x0B);
    EXPECT_TRUE(exchange().empty());
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(port.lastReadError(), 0u);
}

// Through a Modbus TCP gateway no CRC travels and frames come whole, so the
// fixed transactions read a frame's form from it: a PDU of another form than
// the request asks for is malformed (8), also one longer than the read takes
// (never a CRC error), another unit is a wrong address (7), and an exception
// is function and code or malformed, never the code some other byte makes.
TEST(Mbtcp, RepliesOfTheWrongFormReadAsSuchInTheTransactions) {
    const struct {
        const char* what;
        uint8_t unit;
        Bytes pdu;
        uint8_t kod;
    } cases[] = {
        {"good", 5, {0x03, 0x02, 0x00, 0x05}, KOD_OK},
        {"byte count high", 5, {0x03, 0xFA, 0x00, 0x05}, KOD_ECHO},
        {"byte count low", 5, {0x03, 0x01, 0x00, 0x05}, KOD_ECHO},
        {"extra data", 5, {0x03, 0x02, 0x00, 0x05, 0x00}, KOD_ECHO},
        {"longer than the read", 5, {0x03, 0x02, 0x00, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0}, KOD_ECHO},
        {"function only", 5, {0x03}, KOD_ECHO},
        {"another unit", 6, {0x03, 0x02, 0x00, 0x05}, KOD_ADR},
        {"exception and a byte more", 5, {0x83, 0x0A, 0x00}, KOD_ECHO},
        {"exception without its code", 5, {0x83}, KOD_ECHO},
        {"the gateway's exception", 5, {0x83, 0x0B}, KOD_GW_TARGET},
    };
    Server s([&](int fd) {
        for (const auto& c : cases) {
            const Bytes request = take(fd, 10000);
            if (request.size() < 7) return;
            Bytes reply{request[0], request[1], 0, 0, 0, uint8_t(c.pdu.size() + 1), c.unit};
            reply.insert(reply.end(), c.pdu.begin(), c.pdu.end());
            give(fd, reply);
        }
        take(fd, 30000);  // open until the client is done: a closing gateway takes its last reply along
    });
    SystemClock clock;
    test::RecordingHost host;
    PortByName port;
    Core core(port, clock, host);
    core.st.ls.port_name = s.name("mbtcp");
    core.link.responseTimeoutMs = 5000;  // a loaded machine's server thread answers in time
    core.link.Port_setup(2);
    ASSERT_EQ(core.link.port_setup_error, 0);
    for (const auto& c : cases) EXPECT_EQ(core.dev.transact(3, 0x0800, 1), c.kod) << c.what;
}
