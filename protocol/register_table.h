#pragma once
// The instrument's registers, each once: its name in the program, where it
// lives (function and address), how many registers it takes and how their
// bytes make a value, its range, unit and the caption the window shows.
// Whatever reads or shows registers by number (the line monitor, the
// register window, lorkctl raw) names and decodes them from here.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/registers.h"

namespace lork::reg {

// The four address spaces, each read with its own function.
enum class Space : uint8_t {
    Coil,           // function 1, one bit each
    DiscreteInput,  // function 2, one bit each
    Holding,        // function 3, written with 16
    Input,          // function 4
};

// How a register's words make its value. A register goes on the wire high
// byte first; the three 32-bit orders are the instrument's own.
enum class Form : uint8_t {
    LowByte,       // the low byte of one register
    Word,          // one register, unsigned 16 bits
    Tenths,        // one register, unsigned, in tenths
    U32,           // two registers, unsigned, high word first
    Float,         // two registers, IEEE 754 single, high word first
    FloatReversed, // two registers, IEEE 754 single; each register low byte
                   // first and the low word first: the data bytes as received
                   // are the float's bytes from least to most significant
    Text,          // two Windows-1251 characters a register, high byte first
    Bit,           // one coil or input, 1 = set
    BitClear,      // one input that means "on" when clear (the front switches)
};

struct Register {
    std::string_view name;     // the program's name for the value ("res", "izm_proc")
    Space space;
    uint16_t address;          // first register (or bit number)
    uint8_t width;             // registers (bits) it takes
    Form form;
    bool writable;             // written with function 16
    double min, max;           // the values the program writes or expects; min > max: no range
    std::string_view unit;     // "Ом", "%", "ТЕ"; empty for a bare number
    std::string_view symbol;   // how a decoded line names it ("R"); empty: the name
    std::string_view caption;  // the window's caption for it ("сопротивление ступени")

    bool hasRange() const { return min <= max; }
    std::string_view shownName() const { return symbol.empty() ? name : symbol; }
    uint8_t readFunction() const;
};

// Every register of the instrument, by space and address.
std::span<const Register> table();

// The function that reads a space (1..4), and the space a read function reads.
uint8_t readFunctionOf(Space s);
std::optional<Space> spaceOfFunction(uint8_t func);

// The register that begins at address in space, or nullptr.
const Register* registerAt(Space s, uint16_t address);
// The register that covers address in space (the second word of a 32-bit
// value included), or nullptr.
const Register* registerCovering(Space s, uint16_t address);
// By the program's name ("res") or the short one a decoded line shows ("R").
const Register* registerNamed(std::string_view name);

// One value as a decoded line shows it: "R=10 Ом", "izm_proc=12.5 %",
// "name=ЛОРК-1", or for a register the table does not know "0x0B00=0x1234".
struct Decoded {
    const Register* reg;  // nullptr for an unknown register
    uint16_t address;     // where it begins
    std::string text;
};

// The registers start, start+1, ... of a space decoded from their words
// (for bit spaces one 0/1 per bit). A value whose words are not all there,
// or a register that is not the start of one, is shown raw.
std::vector<Decoded> decode(Space s, uint16_t start, std::span<const uint16_t> words);

// The decoded values joined by ", ".
std::string decodedLine(const std::vector<Decoded>& values);

// A register's value from its words (words.size() >= width), as a number;
// nullopt for a text.
std::optional<double> numberOf(const Register& r, std::span<const uint16_t> words);
// A one-register value as a whole number: its low byte or the whole word
// (any other form: the word as it came).
uint16_t wordValue(const Register& r, uint16_t word);
// The value alone, as a decoded line shows it ("10 Ом", "12.5 %", "ЛОРК").
std::string valueText(const Register& r, std::span<const uint16_t> words);

}  // namespace lork::reg
