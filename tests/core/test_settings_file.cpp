// The program's settings file: path, first start, load with its defaults and
// bounds, short and full saves, a file that cannot be created.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/cp1251.h"
#include "protocol/settings_file.h"
#include "support/temp_dir.h"

using namespace lork;
using lork::test::read_bytes;
using lork::test::ScopedEnv;
using lork::test::TempDir;
using lork::test::write_bytes;

namespace {

std::string cp(const std::string& utf8) { return utf8ToCp1251(utf8); }

const std::vector<std::string> ports{"COM1", "COM2", "COM3", "/dev/ttyUSB0"};

// A settings file with the given section "связь" body (UTF-8, LF lines).
struct Fixture {
    TempDir dir;
    ScopedEnv xdg{"XDG_CONFIG_HOME", dir.path()};
    std::string path = settingsPath("testlork");

    void file(const std::string& utf8) { write_bytes(path, cp(utf8)); }
    LineSettings load(const std::string& utf8, SettingsLoadResult* r = nullptr) {
        file(utf8);
        SettingsFile f(path);
        LineSettings ls;
        EXPECT_EQ(f.open(ls).what, SettingsStart::Existing);
        const auto res = f.Load_settings(ls, ports);
        if (r) *r = res;
        return ls;
    }
};

}  // namespace

TEST(SettingsPath, ConfigFolderAndProgramName) {
    TempDir dir;
    struct Case {
        std::optional<std::string> xdg, home;
        const char* program;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/cfg", "/home/u", "testlork", "/x/cfg/testlork.ini"},
        {"/x/cfg", "/home/u", "/usr/local/bin/testlork.exe", "/x/cfg/testlork.ini"},
        {"/x/cfg", {}, "./a.b.c", "/x/cfg/a.b.ini"},
        {"/x/cfg", {}, ".hidden", "/x/cfg/.hidden.ini"},
        {"", "/home/u", "testlork", "/home/u/.config/testlork.ini"},
        {{}, "/home/u", "bin/tester.exe", "/home/u/.config/tester.ini"},
    };
    for (const auto& c : cases) {
        ScopedEnv x("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv h("HOME", c.home);
        EXPECT_EQ(settingsPath(c.program), c.expected) << c.program;
    }
}

TEST(SettingsFile, FirstStartCreatesTheLinkSectionWithTheBuiltInDefaults) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir / "not/yet/there");
    const std::string path = settingsPath("testlork");
    SettingsFile f(path);
    LineSettings ls;
    const auto r = f.open(ls);
    EXPECT_EQ(r.what, SettingsStart::Created);
    EXPECT_EQ(r.message, "");
    EXPECT_EQ(read_bytes(path),
              "[\xF1\xE2\xFF\xE7\xFC]\r\n"                                   // [связь]
              "\xCF\xCE\xD0\xD2=COM1\r\n"                                    // ПОРТ
              "\xCD\xCE\xCC\xC5\xD0=5\r\n"                                   // НОМЕР
              "\xD1\xCA\xCE\xD0\xCE\xD1\xD2\xDC=9600\r\n"                    // СКОРОСТЬ
              "\xCF\xC0\xD0\xC8\xD2\xC5\xD2=0\r\n"                           // ПАРИТЕТ
              "\xD1\xD2\xCE\xCF\xC1\xC8\xD2=1\r\n"                           // СТОПБИТ
              "\xCF\xC5\xD0\xC8\xCE\xC4 \xCE\xCF\xD0\xCE\xD1\xC0=1\r\n");    // ПЕРИОД ОПРОСА
    LineSettings loaded;
    loaded.adr = 99;
    const auto lr = f.Load_settings(loaded, ports);
    EXPECT_EQ(loaded.adr, 5);
    EXPECT_EQ(loaded.time_opros_index, 1);
    EXPECT_EQ(loaded.time_opros, 2);
    EXPECT_EQ(loaded.scor_code, 2);
    EXPECT_EQ(lr.portIndex, std::optional<size_t>(0));
    // Nothing else was left in the folder.
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "not/yet/there")) (void)e, ++files;
    EXPECT_EQ(files, 1u);
}

TEST(SettingsFile, LoadTakesTheKeysAndTheirDefaults) {
    struct Case {
        const char* name;
        std::string body;
        uint8_t adr, scor_code, parity, stopbit, period;
        int32_t scor, time_opros;
    };
    const Case cases[] = {
        {"all keys", "[связь]\nНОМЕР=17\nСКОРОСТЬ=115200\nПАРИТЕТ=2\nСТОПБИТ=2\nПЕРИОД ОПРОСА=7\n",
         17, 6, 2, 2, 7, 115200, 300},
        {"empty section", "[связь]\n", 1, 2, 0, 1, 2, 9600, 5},
        {"no section", "[другое]\nНОМЕР=9\n", 1, 2, 0, 1, 2, 9600, 5},
        {"hex address", "[связь]\nНОМЕР=0x10\n", 16, 2, 0, 1, 2, 9600, 5},
        {"odd rate", "[связь]\nСКОРОСТЬ=14400\n", 1, 0, 0, 1, 2, 14400, 5},
        {"4800", "[связь]\nСКОРОСТЬ=4800\n", 1, 1, 0, 1, 2, 4800, 5},
        {"57600", "[связь]\nСКОРОСТЬ=0xE100\n", 1, 5, 0, 1, 2, 57600, 5},
        {"not numbers", "[связь]\nНОМЕР=пять\nПЕРИОД ОПРОСА=\nПАРИТЕТ=1x\n", 1, 2, 0, 1, 2, 9600, 5},
        // Out of range: the defaults of missing keys.
        {"address 0", "[связь]\nНОМЕР=0\n", 1, 2, 0, 1, 2, 9600, 5},
        {"address 248", "[связь]\nНОМЕР=248\n", 1, 2, 0, 1, 2, 9600, 5},
        {"address 0x105", "[связь]\nНОМЕР=0x105\n", 1, 2, 0, 1, 2, 9600, 5},
        {"address -1", "[связь]\nНОМЕР=-1\n", 1, 2, 0, 1, 2, 9600, 5},
        {"address 247", "[связь]\nНОМЕР=247\n", 247, 2, 0, 1, 2, 9600, 5},
        {"parity 3", "[связь]\nПАРИТЕТ=3\n", 1, 2, 0, 1, 2, 9600, 5},
        {"parity -1", "[связь]\nПАРИТЕТ=-1\n", 1, 2, 0, 1, 2, 9600, 5},
        {"period 8", "[связь]\nПЕРИОД ОПРОСА=8\n", 1, 2, 0, 1, 2, 9600, 5},
        {"period 0", "[связь]\nПЕРИОД ОПРОСА=0\n", 1, 2, 0, 1, 0, 9600, 1},
        // Stop bits reach the link as they are.
        {"stop bits 3", "[связь]\nСТОПБИТ=3\n", 1, 2, 0, 3, 2, 9600, 5},
    };
    for (const auto& c : cases) {
        Fixture fx;
        const LineSettings ls = fx.load(c.body);
        EXPECT_EQ(ls.adr, c.adr) << c.name;
        EXPECT_EQ(ls.scor, c.scor) << c.name;
        EXPECT_EQ(ls.scor_code, c.scor_code) << c.name;
        EXPECT_EQ(ls.parity, c.parity) << c.name;
        EXPECT_EQ(ls.stopbit, c.stopbit) << c.name;
        EXPECT_EQ(ls.time_opros_index, c.period) << c.name;
        EXPECT_EQ(ls.time_opros, c.time_opros) << c.name;
    }
}

TEST(SettingsFile, LoadTakesTheTimeoutsWithTheirLeadingBlank) {
    Fixture fx;
    LineSettings ls = fx.load("[таймауты]\n RIT=1\n RTTM=0x2\n RTTC=3\n WTTM=4\n WTTC=70000\n");
    EXPECT_EQ(ls.RIT, 1);
    EXPECT_EQ(ls.RTTM, 2);
    EXPECT_EQ(ls.RTTC, 3);
    EXPECT_EQ(ls.WTTM, 4);
    EXPECT_EQ(ls.WTTC, uint16_t(70000));
    ls = fx.load("[таймауты]\nRIT=1\n");
    EXPECT_EQ(ls.RIT, 30);
    EXPECT_EQ(ls.RTTM, 5);
    EXPECT_EQ(ls.RTTC, 225);
}

TEST(SettingsFile, PortIsTakenOnlyWhenListedExactly) {
    struct Case {
        const char* value;
        const char* port_name;
        std::optional<size_t> index;
    };
    const Case cases[] = {
        {"COM3", "COM3", 2},
        {"/dev/ttyUSB0", "/dev/ttyUSB0", 3},
        {"com3", "COM1", std::nullopt},
        {"COM9", "COM1", std::nullopt},
        {"", "COM1", std::nullopt},
    };
    for (const auto& c : cases) {
        Fixture fx;
        SettingsLoadResult r;
        const LineSettings ls = fx.load(std::string("[связь]\nПОРТ=") + c.value + "\n", &r);
        EXPECT_EQ(ls.port_name, c.port_name) << c.value;
        EXPECT_EQ(r.portIndex, c.index) << c.value;
    }
}

TEST(SettingsFile, UnlistedPortIsReplacedAtTheNextSave) {
    Fixture fx;
    fx.file("[связь]\nПОРТ=COM9\nНОМЕР=3\n");
    SettingsFile f(fx.path);
    LineSettings ls;
    f.open(ls);
    f.Load_settings(ls, ports);
    ASSERT_TRUE(f.Save_settings(ls, false));
    EXPECT_EQ(read_bytes(fx.path), cp("[связь]\r\nПОРТ=COM1\r\nНОМЕР=3\r\nСКОРОСТЬ=9600\r\n"
                                      "ПАРИТЕТ=0\r\nСТОПБИТ=1\r\nПЕРИОД ОПРОСА=2\r\n"));
}

TEST(SettingsFile, ForcedPortWinsOverTheFile) {
    Fixture fx;
    fx.file("[связь]\nПОРТ=COM2\n");
    SettingsFile f(fx.path);
    LineSettings ls;
    f.open(ls);
    auto r = f.Load_settings(ls, ports, std::string("/dev/pts/7"));
    EXPECT_EQ(ls.port_name, "/dev/pts/7");
    EXPECT_EQ(r.portIndex, std::nullopt);
    r = f.Load_settings(ls, ports, std::string("COM3"));
    EXPECT_EQ(ls.port_name, "COM3");
    EXPECT_EQ(r.portIndex, std::optional<size_t>(2));
}

TEST(SettingsFile, ShortSaveNeverTouchesTheTimeouts) {
    Fixture fx;
    const std::string hand = "[таймауты]\n RIT=77\n; мой комментарий\n[связь]\nНОМЕР=4\n";
    fx.file(hand);
    SettingsFile f(fx.path);
    LineSettings ls;
    f.open(ls);
    f.Load_settings(ls, ports);
    ls.adr = 8;
    ls.RIT = 1;
    f.savedTimeouts.RIT = 2;
    ASSERT_TRUE(f.Save_settings(ls, false));
    EXPECT_EQ(read_bytes(fx.path),
              cp("[таймауты]\r\n RIT=77\r\n; мой комментарий\r\n[связь]\r\nНОМЕР=8\r\nПОРТ=COM1\r\n"
                 "СКОРОСТЬ=9600\r\nПАРИТЕТ=0\r\nСТОПБИТ=1\r\nПЕРИОД ОПРОСА=2\r\n"));
    EXPECT_EQ(ls.RIT, 1);

    // And a file without the section does not get one.
    Fixture fresh;
    SettingsFile g(fresh.path);
    LineSettings d;
    g.open(d);
    ASSERT_TRUE(g.Save_settings(d, false));
    EXPECT_EQ(read_bytes(fresh.path).find(cp("таймауты")), std::string::npos);
}

TEST(SettingsFile, FullSaveWritesTheSavedTimeoutsAndMakesThemCurrent) {
    Fixture fx;
    SettingsFile f(fx.path);
    LineSettings ls;
    f.open(ls);
    ls.RIT = 2;
    ls.RTTM = 10;
    ls.RTTC = 8;
    ASSERT_TRUE(f.Save_settings(ls, true));
    EXPECT_EQ(read_bytes(fx.path),
              cp("[связь]\r\nПОРТ=COM1\r\nНОМЕР=5\r\nСКОРОСТЬ=9600\r\nПАРИТЕТ=0\r\nСТОПБИТ=1\r\n"
                 "ПЕРИОД ОПРОСА=1\r\n\r\n[таймауты]\r\n RIT=0\r\n RTTM=0\r\n RTTC=0\r\n"
                 " WTTM=0\r\n WTTC=0\r\n"));
    EXPECT_EQ(ls.RIT, 0);
    EXPECT_EQ(ls.RTTM, 0);
    EXPECT_EQ(ls.RTTC, 0);

    f.savedTimeouts = {11, 12, 13, 14, 65535};
    ASSERT_TRUE(f.Save_settings(ls, true));
    EXPECT_EQ(ls.RIT, 11);
    EXPECT_EQ(ls.RTTM, 12);
    EXPECT_EQ(ls.RTTC, 13);
    EXPECT_EQ(ls.WTTM, 14);
    EXPECT_EQ(ls.WTTC, 65535);
    SettingsFile again(fx.path);
    LineSettings back;
    again.open(back);
    again.Load_settings(back, ports);
    EXPECT_EQ(back.RIT, 11);
    EXPECT_EQ(back.WTTC, 65535);
}

TEST(SettingsFile, HandEditedLinesSurviveASave) {
    Fixture fx;
    fx.file("; мой файл\n[связь]\nномер = 9\nЦВЕТ=синий\n\n[прочее]\nа=б\n");
    SettingsFile f(fx.path);
    LineSettings ls;
    f.open(ls);
    f.Load_settings(ls, ports);
    EXPECT_EQ(ls.adr, 9);
    ASSERT_TRUE(f.Save_settings(ls, true));
    EXPECT_EQ(read_bytes(fx.path),
              cp("; мой файл\r\n[связь]\r\nНОМЕР=9\r\nЦВЕТ=синий\r\nПОРТ=COM1\r\nСКОРОСТЬ=9600\r\n"
                 "ПАРИТЕТ=0\r\nСТОПБИТ=1\r\nПЕРИОД ОПРОСА=2\r\n\r\n[прочее]\r\nа=б\r\n\r\n"
                 "[таймауты]\r\n RIT=0\r\n RTTM=0\r\n RTTC=0\r\n WTTM=0\r\n WTTC=0\r\n"));
}

// The choice to keep polling through failed ticks: an old file has no key and
// reads as off; on, the key is written; off again, it goes and the file is as
// the program always wrote it, the operator's own lines untouched.
TEST(SettingsFile, KeepPollingRoundTripsAndLeavesNoKeyWhenOff) {
    Fixture fx;
    const std::string hand = "; мой файл\n[связь]\nЦВЕТ=синий\nНОМЕР=5\n";
    LineSettings ls = fx.load(hand);
    EXPECT_FALSE(ls.keepPolling);

    SettingsFile f(fx.path);
    f.open(ls);
    ls.keepPolling = true;
    ASSERT_TRUE(f.Save_settings(ls, false));
    const std::string on = cp("; мой файл\r\n[связь]\r\nЦВЕТ=синий\r\nНОМЕР=5\r\nПОРТ=COM1\r\n"
                              "СКОРОСТЬ=9600\r\nПАРИТЕТ=0\r\nСТОПБИТ=1\r\nПЕРИОД ОПРОСА=2\r\n");
    EXPECT_EQ(read_bytes(fx.path), on + cp("НЕ ПРЕКРАЩАТЬ ОПРОС=1\r\n"));
    SettingsFile again(fx.path);
    LineSettings back;
    again.open(back);
    again.Load_settings(back, ports);
    EXPECT_TRUE(back.keepPolling);

    back.keepPolling = false;
    ASSERT_TRUE(again.Save_settings(back, false));
    EXPECT_EQ(read_bytes(fx.path), on);
}

// "✓" has no Windows-1251 form: the file stays UTF-8 rather than lose it.
TEST(SettingsFile, FileFromAUtf8EditorKeepsWhatWindows1251CannotHold) {
    Fixture fx;
    for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
        write_bytes(fx.path, bom + "; правка ✓\n[связь]\nНОМЕР=9\n");
        SettingsFile f(fx.path);
        LineSettings ls;
        f.open(ls);
        f.Load_settings(ls, ports);
        EXPECT_EQ(ls.adr, 9);
        ASSERT_TRUE(f.Save_settings(ls, false));
        EXPECT_EQ(read_bytes(fx.path), bom + "; правка ✓\r\n[связь]\r\nНОМЕР=9\r\nПОРТ=COM1\r\nСКОРОСТЬ=9600\r\n"
                                             "ПАРИТЕТ=0\r\nСТОПБИТ=1\r\nПЕРИОД ОПРОСА=2\r\n");
    }
}

// "В±" in Windows-1251 (C2 B1) is also valid UTF-8 ("±"); an editor's UTF-8
// Russian is also Windows-1251 bytes. Neither file may lose a byte of what
// the operator wrote, and the program's lines join each in its own encoding.
TEST(SettingsFile, HandWrittenLinesKeepTheirBytesInEitherEncoding) {
    const std::string own = "[связь]\r\nПОРТ=COM1\r\nНОМЕР=1\r\nСКОРОСТЬ=9600\r\nПАРИТЕТ=0\r\nСТОПБИТ=1\r\n"
                            "ПЕРИОД ОПРОСА=2\r\n";
    const struct {
        std::string operator_lines;  // as the operator's editor saved them
        std::string program_lines;   // what the save adds
    } cases[] = {{"; 220 \xC2\xB1" "10%\r\n[x]\r\na=1\r\n", "\r\n" + cp(own)},
                 {"; допуск ±10%\r\n[x]\r\na=1\r\n", "\r\n" + own}};
    for (const auto& c : cases) {
        Fixture fx;
        write_bytes(fx.path, c.operator_lines);
        SettingsFile f(fx.path);
        LineSettings ls;
        f.open(ls);
        f.Load_settings(ls, ports);
        ASSERT_TRUE(f.Save_settings(ls, false));
        EXPECT_EQ(read_bytes(fx.path), c.operator_lines + c.program_lines);
    }
}

TEST(SettingsFile, FolderInTheFilesPlaceIsReportedAtOpen) {
    Fixture fx;
    std::filesystem::create_directories(fx.path);
    SettingsFile f(fx.path);
    LineSettings ls;
    const auto r = f.open(ls);
    EXPECT_EQ(r.message, "файл настроек " + fx.path + ": это папка, а не файл [" + std::strerror(EISDIR) + "]");
    EXPECT_FALSE(f.Save_settings(ls, false));
    EXPECT_TRUE(std::filesystem::is_directory(fx.path));
}

TEST(SettingsFile, FileThatCannotBeCreatedLeavesTheDefaultsAndSavesNothing) {
    TempDir dir;
    write_bytes(dir / "plain", "x");
    ScopedEnv xdg("XDG_CONFIG_HOME", dir / "plain/x");
    const std::string path = settingsPath("testlork");
    SettingsFile f(path);
    LineSettings ls;
    ls.adr = 5;
    const auto r = f.open(ls);
    EXPECT_EQ(r.what, SettingsStart::CreateFailed);
    EXPECT_EQ(r.message,
              "файл настроек " + path + ": в пути файл там, где должна быть папка [" + std::strerror(ENOTDIR) + "]");
    EXPECT_FALSE(f.hasFile());
    f.Load_settings(ls, ports);
    EXPECT_EQ(ls.adr, 5);
    EXPECT_EQ(ls.time_opros_index, 1);
    EXPECT_FALSE(f.Save_settings(ls, true));
    EXPECT_EQ(f.error(), r.message);
    EXPECT_EQ(ls.RIT, 30);  // a save that did nothing made nothing current
    EXPECT_EQ(read_bytes(dir / "plain"), "x");
}

TEST(SettingsFile, RefusedWriteIsReportedWithThePath) {
    Fixture fx;
    SettingsFile f(fx.path);
    LineSettings ls;
    ASSERT_EQ(f.open(ls).what, SettingsStart::Created);
    std::filesystem::remove_all(fx.dir.path());
    EXPECT_FALSE(f.Save_settings(ls, false));
    EXPECT_EQ(f.error(), "Unable to write to " + fx.path + ": нет такой папки [" + std::strerror(ENOENT) + "]");
    std::filesystem::create_directory(fx.dir.path());
    EXPECT_TRUE(f.Save_settings(ls, false));
    EXPECT_EQ(f.error(), "");
}

TEST(SettingsFile, RandomAndTruncatedFilesLoadWithinBounds) {
    Fixture fx;
    std::mt19937 rng(7);
    const std::string good = cp("[связь]\r\nПОРТ=COM2\r\nНОМЕР=200\r\nСКОРОСТЬ=19200\r\n"
                                "ПАРИТЕТ=1\r\nСТОПБИТ=2\r\nПЕРИОД ОПРОСА=4\r\n");
    for (int i = 0; i < 300; ++i) {
        std::string data = good.substr(0, rng() % (good.size() + 1));
        if (i % 3 == 0) data.resize(rng() % 400);
        for (int flips = int(rng() % 6); flips > 0 && !data.empty(); --flips)
            data[rng() % data.size()] = char(rng());
        write_bytes(fx.path, data);
        SettingsFile f(fx.path);
        LineSettings ls;
        f.open(ls);
        f.Load_settings(ls, ports);
        EXPECT_TRUE(ls.adr >= 1 && ls.adr <= 247) << i;
        EXPECT_LE(ls.parity, 2) << i;
        ASSERT_LT(ls.time_opros_index, periodTable.size()) << i;
        EXPECT_EQ(ls.time_opros, periodTable[ls.time_opros_index]) << i;
        EXPECT_TRUE(ls.port_name == "COM1" || ls.port_name == "COM2") << i;
        if (data.size() < 12) {
            EXPECT_EQ(ls.adr, 1) << i;  // too short to hold "НОМЕР"
        }
    }
}
