# LORK_CORE_LINKS: whether the core's link and device routines are all
# defined, so that programs driving the real master (peer tests, benchmarks)
# can be linked. Re-checked whenever one of the core sources changes.
set(_core_sources
  ${CMAKE_SOURCE_DIR}/protocol/framing.cpp
  ${CMAKE_SOURCE_DIR}/protocol/device.cpp
  ${CMAKE_SOURCE_DIR}/link/link.cpp)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_core_sources})
set(_probe ${CMAKE_BINARY_DIR}/core_links_probe.cpp)
file(WRITE ${_probe} [=[
#include "protocol/device.h"
struct P : lork::SerialPort {
    uint32_t open(const std::string&) override { return 0; }
    void close() override {}
    bool isOpen() const override { return false; }
    uint32_t configure(const lork::LineConfig&) override { return 0; }
    lork::LineConfig config() const override { return {}; }
    void purgeInput() override {}
    uint32_t write(const uint8_t*, size_t) override { return 0; }
    size_t readAvailable(uint8_t*, size_t) override { return 0; }
    bool waitForReadyRead(int) override { return false; }
};
struct C : lork::Clock {
    int64_t nowUs() const override { return 0; }
    void sleepMs(int) override {}
};
struct H : lork::Host {
    void messageBox(const std::string&) override {}
    bool keyPressedSince(int) override { return false; }
};
int main(int argc, char**) {
    P p; C c; H h;
    lork::Core core(p, c, h);
    if (argc > 5) {
        core.link.Port_setup(2);
        core.dev.Read_params(); core.dev.Read_izm(); core.dev.Read_adr(); core.dev.Find_scor();
        core.dev.Zapros_fn1(0, 8); core.dev.Otvet_fn1(); core.dev.Zapros_fn2(0, 4); core.dev.Otvet_fn2();
        core.dev.Zapros_write1(0x0A03, 1, 1); core.dev.Otvet_fn16(0x0A03, 1); core.dev.Probe_adr();
        lork::Make_zapros(core.st.ex, 5, 3, 0x0800, 1);
    }
    return 0;
}
]=])
unset(LORK_CORE_LINKS CACHE)
try_compile(LORK_CORE_LINKS ${CMAKE_BINARY_DIR}/core_links_probe
  SOURCES ${_probe} ${_core_sources}
  CMAKE_FLAGS "-DINCLUDE_DIRECTORIES=${CMAKE_SOURCE_DIR}"
  CXX_STANDARD 20 CXX_STANDARD_REQUIRED ON)
message(STATUS "Core link and device routines linkable: ${LORK_CORE_LINKS}")
