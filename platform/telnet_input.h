#pragma once
// What a Telnet peer sends, taken apart: line data (IAC IAC undone, text
// mode's CR NUL back to CR), option verbs, and subnegotiations. Plain byte
// work with no connection, so that a hostile stream can be fed to it in a
// test or a fuzzer.
//
// Bounded whatever the peer sends: a subnegotiation is kept up to kSubMax
// bytes; one that runs longer is dropped whole at its end (and counted), so
// an IAC SB that never meets its IAC SE holds kSubMax bytes, not the stream.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lork {

class TelnetInput {
public:
    static constexpr size_t kSubMax = 1024;

    class Sink {
    public:
        virtual void lineData(uint8_t b) = 0;
        virtual void optionVerb(uint8_t verb, uint8_t option) = 0;
        // The bytes between IAC SB and IAC SE, IAC IAC undone.
        virtual void subnegotiation(const std::vector<uint8_t>& body) = 0;

    protected:
        ~Sink() = default;
    };

    void reset();
    void feed(const uint8_t* raw, size_t n, Sink& sink);

    // The peer sends its data as binary (no CR NUL).
    bool binaryIn = false;
    // Subnegotiations dropped for their length since reset().
    uint64_t overlong() const { return overlong_; }
    // Bytes held of a subnegotiation not yet ended.
    size_t held() const { return sub_.size(); }

private:
    enum class In { Data, Iac, Verb, Sub, SubIac };
    In in_ = In::Data;
    uint8_t verb_ = 0;
    bool afterCr_ = false;
    bool subTooLong_ = false;
    std::vector<uint8_t> sub_;
    uint64_t overlong_ = 0;
};

}  // namespace lork
