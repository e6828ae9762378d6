// The private-profile layer: parsing, case-insensitive names, keeping other
// lines, and a flush that never leaves a partial file at the path.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "platform/cp1251.h"
#include "platform/private_profile.h"
#include "support/temp_dir.h"

using namespace lork;
using lork::test::read_bytes;
using lork::test::TempDir;
using lork::test::write_bytes;

namespace {

std::string cp(const std::string& utf8) { return utf8ToCp1251(utf8); }

}  // namespace

TEST(PrivateProfile, ReadIntegerAcceptsDecimalAndHexOnly) {
    struct Case {
        const char* value;
        int32_t expected;
    };
    const Case cases[] = {
        {"5", 5},          {"0x10", 16},         {"0X1f", 31},
        {"-3", -3},        {"+7", 7},            {"  12  ", 12},
        {"\"42\"", 42},    {"0xFFFFFFFF", -1},   {"-2147483648", INT32_MIN},
        {"2147483647", INT32_MAX},
        // Not numbers: the default.
        {"", -99},         {"0x", -99},          {"12a", -99},
        {"abc", -99},      {"1 2", -99},         {"-", -99},
        {"2147483648", -99}, {"-2147483649", -99}, {"0x100000000", -99},
        {"$10", -99},      {"-0x10", -99},       {"1.5", -99},
    };
    TempDir dir;
    for (const auto& c : cases) {
        write_bytes(dir / "a.ini", std::string("[s]\r\nk=") + c.value + "\r\n");
        PrivateProfile p(dir / "a.ini");
        EXPECT_EQ(p.readInteger("s", "k", -99), c.expected) << '"' << c.value << '"';
    }
}

TEST(PrivateProfile, NamesCompareWithoutCaseButWithTheirBlanks) {
    TempDir dir;
    write_bytes(dir / "a.ini", cp("[СВЯЗЬ]\nномер=7\nёлка=8\n RIT=40\nRIT=41\nПЕРИОД ОПРОСА =3\n"
                                 "[ Таймауты ]\n WTTC=9\n"));
    PrivateProfile p(dir / "a.ini");
    struct Case {
        const char* section;
        const char* key;
        int32_t expected;
    };
    const Case cases[] = {
        {"связь", "НОМЕР", 7},       {"Связь", "Номер", 7},  {"связь", "ЁЛКА", 8},
        {"связь", " RIT", 40},       {"связь", "RIT", 41},   {"связь", " rit", 40},
        {"связь", "ПЕРИОД ОПРОСА", 3}, {"таймауты", " WTTC", 9}, {"таймауты", "WTTC", -1},
        {"связь", "НОМЕР ", -1},     {"связ", "НОМЕР", -1},  {"таймауты", "НОМЕР", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(p.readInteger(c.section, c.key, -1), c.expected)
            << c.section << "/" << c.key;
}

TEST(PrivateProfile, ReadStringIsCutAt2047Characters) {
    TempDir dir;
    write_bytes(dir / "a.ini", "[s]\r\nlong=" + std::string(3000, '\xC0') + "\r\nport=COM7\r\n");
    PrivateProfile p(dir / "a.ini");
    const std::string v = p.readString("s", "long", "");
    EXPECT_EQ(v, cp1251ToUtf8(std::string(2047, '\xC0')));
    EXPECT_EQ(p.readString("s", "port", "x"), "COM7");
    EXPECT_EQ(p.readString("s", "none", "dflt"), "dflt");
}

TEST(PrivateProfile, WritesReplaceTheirLinesAndKeepEveryOtherLine) {
    TempDir dir;
    const std::string before = cp(
        "; настройки\n"
        "[другое]\n"
        "x=1\n"
        "\n"
        "[связь]\n"
        "; порт по умолчанию\n"
        "ПОРТ=COM3\n"
        "чужой=да\n"
        "\n"
        "[хвост]\n"
        "y=2");
    write_bytes(dir / "a.ini", before);
    PrivateProfile p(dir / "a.ini");
    p.writeString("связь", "порт", "COM4");
    p.writeInteger("связь", "НОМЕР", 12);
    p.writeInteger("таймауты", " RIT", 0);
    ASSERT_TRUE(p.flush()) << p.error();
    EXPECT_EQ(read_bytes(dir / "a.ini"), cp(
        "; настройки\r\n"
        "[другое]\r\n"
        "x=1\r\n"
        "\r\n"
        "[связь]\r\n"
        "; порт по умолчанию\r\n"
        "порт=COM4\r\n"
        "чужой=да\r\n"
        "НОМЕР=12\r\n"
        "\r\n"
        "[хвост]\r\n"
        "y=2\r\n"
        "\r\n"
        "[таймауты]\r\n"
        " RIT=0\r\n"));
}

TEST(PrivateProfile, ValuesStayOnTheirLineAndUnknownCharactersBecomeQuestionMarks) {
    TempDir dir;
    PrivateProfile p(dir / "a.ini");
    p.writeString("s", "a", "one\r\n[s]\nb=2");
    p.writeString("s", "b", "\u65E5");
    ASSERT_TRUE(p.flush());
    EXPECT_EQ(read_bytes(dir / "a.ini"), "[s]\r\na=one  [s] b=2\r\nb=?\r\n");
}

// A file from a UTF-8 editor stays UTF-8: its lines keep their bytes and the
// program's own lines join them in UTF-8.
TEST(PrivateProfile, Utf8FileStaysUtf8) {
    const std::string keys = "[связь]\r\nПОРТ=COM3\r\n";
    for (const std::string comment : {"; 日本語 — ещё Ελληνικά", "; только кириллица"}) {
        TempDir dir;
        write_bytes(dir / "a.ini", "\xEF\xBB\xBF" + comment + "\n" + keys);
        PrivateProfile p(dir / "a.ini");
        EXPECT_EQ(p.readString("СВЯЗЬ", "порт", ""), "COM3");
        p.writeString("связь", "НОМЕР", "5");
        ASSERT_TRUE(p.flush()) << p.error();
        EXPECT_EQ(read_bytes(dir / "a.ini"), "\xEF\xBB\xBF" + comment + "\r\n" + keys + "НОМЕР=5\r\n") << comment;
    }
}

TEST(PrivateProfile, FlushKeepsEditsMadeToTheFileSinceItWasLoaded) {
    TempDir dir;
    write_bytes(dir / "a.ini", "[s]\r\nk=1\r\n");
    PrivateProfile p(dir / "a.ini");
    write_bytes(dir / "a.ini", "[s]\r\nk=1\r\nmine=5\r\n");
    p.writeInteger("s", "k", 2);
    ASSERT_TRUE(p.flush());
    EXPECT_EQ(read_bytes(dir / "a.ini"), "[s]\r\nk=2\r\nmine=5\r\n");
    EXPECT_EQ(p.readInteger("s", "mine", 0), 5);
}

TEST(PrivateProfile, FlushWritesThroughASymbolicLinkAndKeepsThePermissions) {
    TempDir dir;
    write_bytes(dir / "real.ini", "[s]\r\nk=1\r\n");
    ::chmod((dir / "real.ini").c_str(), 0640);
    std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
    PrivateProfile p(dir / "link.ini");
    p.writeInteger("s", "k", 2);
    ASSERT_TRUE(p.flush());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(read_bytes(dir / "real.ini"), "[s]\r\nk=2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(PrivateProfile, FailedFlushReportsThePathAndKeepsTheChanges) {
    TempDir dir;
    const std::string folder = dir / "gone";
    std::filesystem::create_directory(folder);
    PrivateProfile p(folder + "/a.ini");
    p.writeInteger("s", "k", 3);
    std::filesystem::remove(folder);
    EXPECT_FALSE(p.flush());
    EXPECT_EQ(p.error(), "Unable to write to " + folder + "/a.ini: нет такой папки [" + std::strerror(ENOENT) + "]");
    EXPECT_EQ(p.errorCode(), ENOENT);
    std::filesystem::create_directory(folder);
    ASSERT_TRUE(p.flush());
    EXPECT_EQ(p.error(), "");
    EXPECT_EQ(read_bytes(folder + "/a.ini"), "[s]\r\nk=3\r\n");
}

// The checks run as an unprivileged user, since root may write any file.
TEST(PrivateProfile, RefusedFileOrFolderIsNotReplacedAndTheReasonIsGiven) {
    struct Case {
        mode_t file, folder;
        const char* reason;
    };
    for (const Case& c : {Case{0444, 0777, "файл только для чтения"},  // the folder would allow the rename
                          Case{0644, 0555, "нет доступа к папке"}}) {
        TempDir dir;
        const std::string path = dir / "a.ini";
        const std::string old = "[s]\r\nk=1\r\n";
        write_bytes(path, old);
        ASSERT_EQ(::chmod(path.c_str(), c.file), 0);
        ASSERT_EQ(::chmod(dir.path().c_str(), c.folder), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
            PrivateProfile p(path);
            p.writeInteger("s", "k", 2);
            const bool refused = !p.flush() && p.error() == "Unable to write to " + path + ": " + c.reason + " [" + std::strerror(EACCES) + "]" &&
                                 p.errorCode() == EACCES;
            ::_exit(refused ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ::chmod(dir.path().c_str(), 0777);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "not refused with the reason: " << c.reason;
        EXPECT_EQ(read_bytes(path), old);
        size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++files;
        EXPECT_EQ(files, 1u);
    }
}

TEST(PrivateProfile, SaveRemovesTemporaryFilesOfKilledSaves) {
    TempDir dir;
    const pid_t dead = ::fork();
    ASSERT_GE(dead, 0);
    if (dead == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const std::string d = std::to_string(dead), live = std::to_string(::getppid());
    for (const std::string& name : {"a.ini.~" + d + "-0", "a.ini.~" + d + "-12", "a.ini.~" + live + "-0",
                                   "b.ini.~" + d + "-0", "a.ini.~" + d + "-x"})
        write_bytes(dir / name, "x");
    PrivateProfile p(dir / "a.ini");
    p.writeInteger("s", "k", 1);
    ASSERT_TRUE(p.flush());
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) left.insert(e.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"a.ini", "a.ini.~" + live + "-0", "b.ini.~" + d + "-0",
                                           "a.ini.~" + d + "-x"}));
}

// A file-size limit makes the write fail as a full disk would.
TEST(PrivateProfile, FullDiskLeavesTheOldFileWholeAndNoTemporaryFile) {
    TempDir dir;
    const std::string old = "[s]\r\nk=1\r\n";
    write_bytes(dir / "a.ini", old);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        PrivateProfile p(dir / "a.ini");
        p.writeString("s", "big", std::string(1000, 'x'));
        const bool failed = !p.flush() && p.error() == "Unable to write to " + (dir / "a.ini") + ": нет места на диске [" +
                                                std::strerror(EFBIG) + "]" &&
                            p.errorCode() == EFBIG;
        ::_exit(failed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the flush did not report the failure";
    EXPECT_EQ(read_bytes(dir / "a.ini"), old);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++files;
    EXPECT_EQ(files, 1u);
}

TEST(PrivateProfile, CrashBeforeTheRenameLeavesTheOldFile) {
    TempDir dir;
    const std::string old = "[s]\r\nk=1\r\n";
    write_bytes(dir / "a.ini", old);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setProfileBeforeRenameHook([](const std::string&) { ::_exit(7); });
        PrivateProfile p(dir / "a.ini");
        p.writeInteger("s", "k", 2);
        p.flush();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 7) << "the child did not stop between write and rename";
    EXPECT_EQ(read_bytes(dir / "a.ini"), old);
    // The complete new text waits beside it, in the same folder.
    bool found = false;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().filename() != "a.ini") found = read_bytes(e.path()) == "[s]\r\nk=2\r\n";
    EXPECT_TRUE(found);
}

// A child saves two different contents in turn as fast as it can and is killed
// at random moments; meanwhile and afterwards the path must hold one of them, whole.
TEST(PrivateProfile, KilledWhileSavingTheFileIsAlwaysOldOrNewWhole) {
    TempDir dir;
    const std::string path = dir / "a.ini";
    const std::string a = "[s]\r\nk=" + std::string(3000, 'a') + "\r\nz=0\r\n";
    const std::string b = "[s]\r\nk=" + std::string(5000, 'b') + "\r\nz=1\r\n";
    write_bytes(path, a);
    std::mt19937 rng(1234);
    int saw_a = 0, saw_b = 0;
    // Thirty rounds of a random look each, then more with longer looks until
    // both contents have been seen: a slow machine (a sanitizer build, a
    // loaded one) may not finish a save inside a short look.
    for (int round = 0; round < 30 || ((saw_a == 0 || saw_b == 0) && round < 200); ++round) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (;;) {
                PrivateProfile p(path);
                const bool to_b = p.readInteger("s", "z", 1) == 0;
                p.writeString("s", "k", std::string(to_b ? 5000 : 3000, to_b ? 'b' : 'a'));
                p.writeInteger("s", "z", to_b ? 1 : 0);
                p.flush();
            }
        }
        const auto look = std::chrono::microseconds(rng() % 20000 + (round < 30 ? 0 : 20000 * (round - 29)));
        const auto until = std::chrono::steady_clock::now() + look;
        do {
            const std::string now = read_bytes(path);
            ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
            (now == a ? saw_a : saw_b)++;
        } while (std::chrono::steady_clock::now() < until);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string now = read_bytes(path);
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
    // Both contents were seen: the child really was saving while we looked.
    EXPECT_GT(saw_a, 0);
    EXPECT_GT(saw_b, 0);
}

TEST(PrivateProfile, RandomAndTruncatedFilesNeverCrashTheReader) {
    TempDir dir;
    std::mt19937 rng(20261207);
    const std::string good = cp("[связь]\r\nПОРТ=COM2\r\nНОМЕР=0x1F\r\n[таймауты]\r\n RIT=4\r\n");
    for (int i = 0; i < 400; ++i) {
        std::string data;
        if (i % 2 == 0) {
            data = good.substr(0, rng() % (good.size() + 1));
            for (int flips = int(rng() % 4); flips > 0 && !data.empty(); --flips)
                data[rng() % data.size()] = char(rng());
        } else {
            data.resize(rng() % 600);
            for (char& c : data) c = char(rng() % 4 == 0 ? "[]=\r\n; "[rng() % 7] : char(rng()));
        }
        write_bytes(dir / "r.ini", data);
        PrivateProfile p(dir / "r.ini");
        (void)p.readInteger("связь", "НОМЕР", -5);
        (void)p.readString("связь", "ПОРТ", "");
        (void)p.readInteger("таймауты", " RIT", 0);
        p.writeInteger("связь", "НОМЕР", 9);
        ASSERT_TRUE(p.flush());
        EXPECT_EQ(PrivateProfile(dir / "r.ini").readInteger("связь", "НОМЕР", 0), 9) << i;
        // Every line but the one the program owns is still there, in its
        // order and byte for byte.
        const auto before = profileSplit(data), after = profileSplit(read_bytes(dir / "r.ini"));
        size_t lost = 0, at = 0;
        for (const auto& line : before) {
            const auto found = std::find(after.begin() + std::ptrdiff_t(at), after.end(), line);
            if (found == after.end()) ++lost;
            else at = size_t(found - after.begin()) + 1;
        }
        EXPECT_LE(lost, 1u) << i;
    }
}
