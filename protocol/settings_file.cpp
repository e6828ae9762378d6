#include "protocol/settings_file.h"

#include "platform/file_words.h"

namespace lork {
namespace {

constexpr std::string_view k_port = "ПОРТ";
constexpr std::string_view k_adr = "НОМЕР";
constexpr std::string_view k_scor = "СКОРОСТЬ";
constexpr std::string_view k_parity = "ПАРИТЕТ";
constexpr std::string_view k_stopbit = "СТОПБИТ";
constexpr std::string_view k_period = "ПЕРИОД ОПРОСА";
// Present (=1) only while the operator keeps polling through failed ticks, so
// a file saved with the choice off holds exactly the program's usual keys.
constexpr std::string_view k_keep_polling = "НЕ ПРЕКРАЩАТЬ ОПРОС";
// The blank in front belongs to the key, in the file as in the program.
constexpr std::string_view k_rit = " RIT";
constexpr std::string_view k_rttm = " RTTM";
constexpr std::string_view k_rttc = " RTTC";
constexpr std::string_view k_wttm = " WTTM";
constexpr std::string_view k_wttc = " WTTC";

// Defaults of keys missing from the file; they differ from the built-in
// defaults of LineSettings (address 1 here, 5 there; period index 2 here, 1 there).
constexpr int32_t defAdr = 1;
constexpr int32_t def_scor = 9600;
constexpr int32_t def_parity = 0;
constexpr int32_t def_stopbit = 1;
constexpr int32_t def_period = 2;

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
                                               const std::optional<std::string>& forced_port) {
    SettingsLoadResult r;
    if (profile_) {
        const PrivateProfile& p = *profile_;
        const auto s = section_link;

        // Out-of-range values would index past found_scor, the parity texts
        // and the period table: take the missing-key defaults for them.
        const int32_t adr = p.readInteger(s, k_adr, defAdr);
        ls.adr = uint8_t(adr >= 1 && adr <= 247 ? adr : defAdr);
        ls.scor = p.readInteger(s, k_scor, def_scor);
        ls.scor_code = Scor_to_code(ls.scor);
        const int32_t parity = p.readInteger(s, k_parity, def_parity);
        ls.parity = uint8_t(parity >= 0 && parity < int32_t(parity_texts.size()) ? parity
                                                                                 : def_parity);
        // Any stop-bit count goes to the link as it is; the port keeps its own then.
        ls.stopbit = uint8_t(p.readInteger(s, k_stopbit, def_stopbit));
        const int32_t period = p.readInteger(s, k_period, def_period);
        ls.time_opros_index =
            uint8_t(period >= 0 && period < int32_t(period_table.size()) ? period : def_period);
        ls.keep_polling = p.readInteger(s, k_keep_polling, 0) != 0;

        const auto t = section_timeouts;
        ls.RIT = uint16_t(p.readInteger(t, k_rit, 30));
        ls.RTTM = uint16_t(p.readInteger(t, k_rttm, 5));
        ls.RTTC = uint16_t(p.readInteger(t, k_rttc, 225));
        ls.WTTM = uint16_t(p.readInteger(t, k_wttm, 0));
        ls.WTTC = uint16_t(p.readInteger(t, k_wttc, 0));

        const std::string port = p.readString(s, k_port, "COM1");
        for (size_t i = 0; i < port_list.size(); ++i) {
            if (port_list[i] == port) {
                ls.port_name = port;
                r.port_index = i;
                break;
            }
        }
        ls.time_opros = period_table[ls.time_opros_index];
    }
    if (forced_port) {
        ls.port_name = *forced_port;
        r.port_index.reset();
        for (size_t i = 0; i < port_list.size(); ++i)
            if (port_list[i] == *forced_port) {
                r.port_index = i;
                break;
            }
    }
    return r;
}

bool SettingsFile::Save_settings(LineSettings& ls, bool full) {
    if (!profile_) return false;  // error_ still tells why there is no file
    PrivateProfile& p = *profile_;
    const auto s = section_link;
    p.writeString(s, k_port, ls.port_name);
    p.writeInteger(s, k_adr, ls.adr);
    p.writeInteger(s, k_scor, ls.scor);
    p.writeInteger(s, k_parity, ls.parity);
    p.writeInteger(s, k_stopbit, ls.stopbit);
    p.writeInteger(s, k_period, ls.time_opros_index);
    if (ls.keep_polling)
        p.writeInteger(s, k_keep_polling, 1);
    else
        p.deleteKey(s, k_keep_polling);
    if (full) {
        const auto t = section_timeouts;
        p.writeInteger(t, k_rit, saved_timeouts.RIT);
        p.writeInteger(t, k_rttm, saved_timeouts.RTTM);
        p.writeInteger(t, k_rttc, saved_timeouts.RTTC);
        p.writeInteger(t, k_wttm, saved_timeouts.WTTM);
        p.writeInteger(t, k_wttc, saved_timeouts.WTTC);
        static_cast<PortTimeouts&>(ls) = saved_timeouts;
    }
    if (!p.flush()) {
        error_ = p.error();
        return false;
    }
    error_.clear();
    return true;
}

}  // namespace lork
