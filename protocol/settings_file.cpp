#include "protocol/settings_file.h"

#include "platform/file_words.h"

namespace lork {
namespace {

constexpr std::string_view kPort = "ПОРТ";
constexpr std::string_view kAdr = "НОМЕР";
constexpr std::string_view kScor = "СКОРОСТЬ";
constexpr std::string_view kParity = "ПАРИТЕТ";
constexpr std::string_view kStopbit = "СТОПБИТ";
constexpr std::string_view kPeriod = "ПЕРИОД ОПРОСА";
// Present (=1) only while the operator keeps polling through failed ticks, so
// a file saved with the choice off holds exactly the program's usual keys.
constexpr std::string_view kKeepPolling = "НЕ ПРЕКРАЩАТЬ ОПРОС";
// The blank in front belongs to the key, in the file as in the program.
constexpr std::string_view kRit = " RIT";
constexpr std::string_view kRttm = " RTTM";
constexpr std::string_view kRttc = " RTTC";
constexpr std::string_view kWttm = " WTTM";
constexpr std::string_view kWttc = " WTTC";

// Defaults of keys missing from the file; they differ from the built-in
// defaults of LineSettings (address 1 here, 5 there; period index 2 here, 1 there).
constexpr int32_t defAdr = 1;
constexpr int32_t defScor = 9600;
constexpr int32_t defParity = 0;
constexpr int32_t defStopbit = 1;
constexpr int32_t defPeriod = 2;

}  // namespace

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

SettingsOpenResult SettingsFile::open(LineSettings& ls) {
    const FileFound found = findOrCreateFile(path_);
    if (found.existed) {
        profile_ = std::make_unique<PrivateProfile>(path_);
        // Said now rather than only at the close, when the save fails.
        if (found.error != 0) return {SettingsStart::Existing, "файл настроек " + fileError(path_, found.error), {}};
        return {SettingsStart::Existing, {}, found.takenFrom};
    }
    if (found.error != 0) {
        error_ = "файл настроек " + fileError(path_, found.error);
        return {SettingsStart::CreateFailed, error_, {}};
    }
    profile_ = std::make_unique<PrivateProfile>(path_);
    if (!Save_settings(ls, false)) return {SettingsStart::Created, error_, {}};
    return {SettingsStart::Created, {}, {}};
}

SettingsLoadResult SettingsFile::Load_settings(LineSettings& ls,
                                               const std::vector<std::string>& port_list,
                                               const std::optional<std::string>& forcedPort) {
    SettingsLoadResult r;
    if (profile_) {
        const PrivateProfile& p = *profile_;
        const auto s = sectionLink;

        // Out-of-range values would index past found_scor, the parity texts
        // and the period table: take the missing-key defaults for them.
        const int32_t adr = p.readInteger(s, kAdr, defAdr);
        ls.adr = uint8_t(adr >= 1 && adr <= 247 ? adr : defAdr);
        ls.scor = p.readInteger(s, kScor, defScor);
        ls.scor_code = Scor_to_code(ls.scor);
        const int32_t parity = p.readInteger(s, kParity, defParity);
        ls.parity = uint8_t(parity >= 0 && parity < int32_t(parityTexts.size()) ? parity
                                                                                 : defParity);
        // Any stop-bit count goes to the link as it is; the port keeps its own then.
        ls.stopbit = uint8_t(p.readInteger(s, kStopbit, defStopbit));
        const int32_t period = p.readInteger(s, kPeriod, defPeriod);
        ls.time_opros_index =
            uint8_t(period >= 0 && period < int32_t(periodTable.size()) ? period : defPeriod);
        ls.keepPolling = p.readInteger(s, kKeepPolling, 0) != 0;

        const auto t = sectionTimeouts;
        ls.RIT = uint16_t(p.readInteger(t, kRit, 30));
        ls.RTTM = uint16_t(p.readInteger(t, kRttm, 5));
        ls.RTTC = uint16_t(p.readInteger(t, kRttc, 225));
        ls.WTTM = uint16_t(p.readInteger(t, kWttm, 0));
        ls.WTTC = uint16_t(p.readInteger(t, kWttc, 0));

        const std::string port = p.readString(s, kPort, "COM1");
        for (size_t i = 0; i < port_list.size(); ++i) {
            if (port_list[i] == port) {
                ls.port_name = port;
                r.portIndex = i;
                break;
            }
        }
        ls.time_opros = periodTable[ls.time_opros_index];
    }
    if (forcedPort) {
        ls.port_name = *forcedPort;
        r.portIndex.reset();
        for (size_t i = 0; i < port_list.size(); ++i)
            if (port_list[i] == *forcedPort) {
                r.portIndex = i;
                break;
            }
    }
    return r;
}

bool SettingsFile::Save_settings(LineSettings& ls, bool full) {
    if (!profile_) return false;  // error_ still tells why there is no file
    PrivateProfile& p = *profile_;
    const auto s = sectionLink;
    p.writeString(s, kPort, ls.port_name);
    p.writeInteger(s, kAdr, ls.adr);
    p.writeInteger(s, kScor, ls.scor);
    p.writeInteger(s, kParity, ls.parity);
    p.writeInteger(s, kStopbit, ls.stopbit);
    p.writeInteger(s, kPeriod, ls.time_opros_index);
    if (ls.keepPolling)
        p.writeInteger(s, kKeepPolling, 1);
    else
        p.deleteKey(s, kKeepPolling);
    if (full) {
        const auto t = sectionTimeouts;
        p.writeInteger(t, kRit, savedTimeouts.RIT);
        p.writeInteger(t, kRttm, savedTimeouts.RTTM);
        p.writeInteger(t, kRttc, savedTimeouts.RTTC);
        p.writeInteger(t, kWttm, savedTimeouts.WTTM);
        p.writeInteger(t, kWttc, savedTimeouts.WTTC);
        static_cast<PortTimeouts&>(ls) = savedTimeouts;
    }
    if (!p.flush()) {
        error_ = p.error();
        return false;
    }
    error_.clear();
    return true;
}

}  // namespace lork
