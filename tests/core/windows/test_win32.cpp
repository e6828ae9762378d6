// What the Windows platform layer does its own way: the settings folder and
// the carry-over of an old file, the calibration log's folder and time zone, the atomic save (rename() would not replace
// a file), CRLF bytes as written, folders with Cyrillic names, the COM port's
// failures in the system's words, and the clock's sleeps.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "records/calibration_log.h"
#include "platform/base/error_words.h"
#include "platform/base/file_io.h"
#include "platform/file_words.h"
#include "platform/private_profile.h"
#include "protocol/settings_file.h"
#include "platform/base/system_clock.h"
#include "platform/windows/wide.h"
#include "platform/windows/win32_port.h"
#include "support/temp_dir.h"

using namespace lork;
using lork::test::read_bytes;
using lork::test::ScopedEnv;
using lork::test::TempDir;
using lork::test::write_bytes;

namespace {
std::filesystem::path u8(const std::string& s) { return std::filesystem::path(std::u8string(s.begin(), s.end())); }
std::string read_u8(const std::string& path) {
    std::ifstream f(u8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}
}  // namespace

TEST(WindowsSettings, FolderIsTestlorkInAppDataAndNamesSplitOnBothSeparators) {
    ScopedEnv appdata("APPDATA", std::string("C:\\Users\\u\\AppData\\Roaming"));
    EXPECT_EQ(settingsFolder(), "C:\\Users\\u\\AppData\\Roaming\\testlork");
    EXPECT_EQ(settingsPath("C:\\Program Files\\testlork\\testlork.exe"),
              "C:\\Users\\u\\AppData\\Roaming\\testlork\\testlork.ini");
    EXPECT_EQ(settingsPath("C:/tools/lorkctl.exe"), "C:\\Users\\u\\AppData\\Roaming\\testlork\\lorkctl.ini");
}

TEST(WindowsSettings, SavesRepeatedlyInACyrillicFolderWithCrlfLines) {
    TempDir dir;
    const std::string folder = dir.path() + "\\Пользователь\\Настройки";
    ScopedEnv appdata("APPDATA", folder);
    const std::string path = settingsPath("testlork.exe");
    SettingsFile file(path);
    LineSettings ls;
    ASSERT_EQ(file.open(ls).what, SettingsStart::Created) << path;
    // The second save replaces the file the first one made.
    ls.adr = 17;
    ASSERT_TRUE(file.Save_settings(ls, false)) << file.error();
    ls.adr = 18;
    ASSERT_TRUE(file.Save_settings(ls, true)) << file.error();
    const std::string bytes = read_u8(path);
    EXPECT_NE(bytes.find("=18\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("\r\r"), std::string::npos);
    EXPECT_EQ(bytes.find("\n\n"), std::string::npos);
    // Nothing left over beside it.
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(u8(path).parent_path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
}

TEST(WindowsSettings, ReadOnlyFileIsNotReplacedAndStaleTemporariesGo) {
    TempDir dir;
    const std::string path = dir / "t.ini";
    write_bytes(path, "[a]\r\nk=1\r\n");
    // A temporary of a save whose process is gone (no process has this id).
    write_bytes(path + ".~4294967288-0", "half");
    PrivateProfile p(path);
    p.writeInteger("a", "k", 2);
    SetFileAttributesW(toWide(path).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(p.flush());
    EXPECT_EQ(p.errorCode(), EACCES);
    EXPECT_EQ(read_bytes(path), "[a]\r\nk=1\r\n");
    SetFileAttributesW(toWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(p.flush()) << p.error();
    EXPECT_EQ(read_bytes(path), "[a]\r\nk=2\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".~4294967288-0"));
}

TEST(WindowsSettings, OldFileBesideTheProgramIsTakenOverOnceAndNotAfterADelete) {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_GT(n, 0u);
    const std::string name = "carry-" + std::to_string(GetCurrentProcessId()) + ".ini";
    const std::string beside =
        toUtf8((std::filesystem::path(std::wstring(self, n)).parent_path() / toWide(name)).wstring());
    TempDir dir;
    ScopedEnv appdata("APPDATA", dir.path());
    write_bytes(beside, "[связь]\r\nНОМЕР=42\r\n");
    const std::string path = joinPath(settingsFolder(), name);
    SettingsFile file(path);
    LineSettings ls;
    const SettingsOpenResult opened = file.open(ls);
    EXPECT_EQ(opened.what, SettingsStart::Existing);
    EXPECT_EQ(opened.takenFrom, beside);
    file.Load_settings(ls, {});
    EXPECT_EQ(ls.adr, 42);
    // From now on the file in APPDATA is the one: the old one is not read again.
    write_bytes(beside, "[связь]\r\nНОМЕР=43\r\n");
    SettingsFile again(path);
    LineSettings ls2;
    again.open(ls2);
    again.Load_settings(ls2, {});
    EXPECT_EQ(ls2.adr, 42);
    // Deleting it is the way back to the defaults: the old file stays out.
    std::filesystem::remove(u8(path));
    SettingsFile fresh(path);
    LineSettings ls3;
    const SettingsOpenResult third = fresh.open(ls3);
    EXPECT_EQ(third.what, SettingsStart::Created);
    EXPECT_TRUE(third.takenFrom.empty());
    fresh.Load_settings(ls3, {});
    EXPECT_EQ(ls3.adr, 5);
    std::filesystem::remove(beside);
}

TEST(WindowsCalibrationLog, FolderIsAppDataAndTheTimeCarriesTheZonesBias) {
    ScopedEnv appdata("APPDATA", std::string("C:\\Users\\u\\AppData\\Roaming"));
    EXPECT_EQ(calib::defaultPath(), "C:\\Users\\u\\AppData\\Roaming\\testlork\\calibration.csv");
    // Bias is minutes to add to local time for UTC, daylight saving included.
    TIME_ZONE_INFORMATION tz{};
    const DWORD kind = GetTimeZoneInformation(&tz);
    const long bias = tz.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? tz.DaylightBias : 0);
    const long off = bias < 0 ? -bias : bias;
    char want[16];
    std::snprintf(want, sizeof want, "%c%02ld:%02ld", bias <= 0 ? '+' : '-', off / 60, off % 60);
    const std::string when = calib::isoLocal(std::time(nullptr));
    ASSERT_EQ(when.size(), 25u) << when;
    EXPECT_EQ(when.substr(19), want) << when;
}

TEST(WindowsCalibrationLog, FailedAppendSaysWhereAndWhy) {
    TempDir d;
    calib::Record r;
    r.port = "COM4";
    const std::string err = calib::append(d.path(), r);
    EXPECT_NE(err.find(d.path() + ": "), std::string::npos) << err;
    EXPECT_GT(err.size(), err.find(d.path() + ": ") + d.path().size() + 4) << err;
}

TEST(Win32Port, MissingPortFailsInTheSystemsWordsAndAClosedPortSaysSo) {
    Win32Port port;
    const uint32_t err = port.open("COM249");
    EXPECT_EQ(err, uint32_t(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(port.isOpen());
    const std::string text = port.describeError("COM249", err);
    EXPECT_EQ(text.rfind("порт COM249: ", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string("порт COM249: ").size() + 4) << text;
    EXPECT_NE(port.configure(LineConfig{}), 0u);
    EXPECT_NE(port.write(reinterpret_cast<const uint8_t*>("x"), 1), 0u);
    uint8_t b[4];
    size_t got = 9;
    uint32_t rerr = 0;
    EXPECT_TRUE(port.readTimed(b, sizeof b, {2, 10, 8}, got, rerr));
    EXPECT_EQ(got, 0u);
    EXPECT_NE(rerr, 0u);
    EXPECT_FALSE(port.waitForReadyRead(5));
    EXPECT_NE(port.lastReadError(), 0u);
}

TEST(WindowsErrorWords, WordsThenTheCodeInBracketsNeverABareNumber) {
    // Not ready and invalid function (wine's codes for a vanished terminal),
    // a device that does not work, one of a USB driver's, and one no system has.
    for (const uint32_t code : {21u, 1u, 31u, 1167u, 0xDEADu}) {
        const std::string w = errorWords(code);
        const std::string tail = "код " + std::to_string(code) + "]";
        EXPECT_EQ(w.rfind(tail), w.size() - tail.size()) << w;
        EXPECT_GT(w.find(" ["), 3u) << w;  // words before the brackets
        EXPECT_EQ(w.find("системная ошибка " + std::to_string(code)), std::string::npos) << w;
    }
}

TEST(Win32Port, NamesBecomeDevicePaths) {
    EXPECT_EQ(Win32Port::systemLocation("COM10"), "\\\\.\\COM10");
    EXPECT_EQ(Win32Port::systemLocation("\\\\.\\COM3"), "\\\\.\\COM3");
}

TEST(WindowsClock, SleepNeverEndsBeforeItsTime) {
    SystemClock clock;
    for (int ms : {1, 2, 5}) {
        const int64_t t0 = clock.nowUs();
        clock.sleepMs(ms);
        EXPECT_GE(clock.nowUs() - t0, int64_t(ms) * 1000) << ms;
    }
}
