// File and host-name failures as the operator reads them, from the real
// calls: Russian words first, the system's own text after them in brackets.
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "platform/private_profile.h"
#include "platform/base/socket.h"
#include "protocol/settings_file.h"
#include "records/calibration_log.h"
#include "records/log_file.h"
#include "support/temp_dir.h"

using namespace lork;
using lork::test::TempDir;
using lork::test::write_bytes;

namespace {

std::string bracket(const char* system) { return std::string(" [") + system + "]"; }
std::string bracket(int err) { return bracket(std::strerror(err)); }

}  // namespace

TEST(ErrorWords, FileAndHostFailuresReadRussianFirst) {
    TempDir d;
    write_bytes(d / "plain", "x");
    ASSERT_EQ(::symlink((d / "loop-b").c_str(), (d / "loop-a").c_str()), 0);
    ASSERT_EQ(::symlink((d / "loop-a").c_str(), (d / "loop-b").c_str()), 0);
    const std::string long_name = d / std::string(300, 'n');

    const struct {
        const char* what;
        std::function<std::string()> told;
        std::string expected;
    } cases[] = {
        {"settings file behind a symbolic link loop",
         [&] {
             LineSettings ls;
             return SettingsFile(d / "loop-a").open(ls).message;
         },
         "файл настроек " + d / "loop-a" +
             ": символические ссылки ведут по кругу или слишком длинной цепочкой" + bracket(ELOOP)},
        {"settings save under a name too long",
         [&] {
             PrivateProfile p(long_name);
             p.writeInteger("s", "k", 1);
             p.flush();
             return p.error();
         },
         "Unable to write to " + long_name + ": слишком длинное имя файла или пути" + bracket(ENAMETOOLONG)},
        {"calibration log under a file",
         [&] { return calib::append(d / "plain/cal/calibration.csv", calib::Record{}); },
         "журнал калибровки: запись не добавлена в " + d / "plain/cal/calibration.csv" +
             ": в пути файл там, где должна быть папка" + bracket(ENOTDIR)},
        {"exchange log on a folder",
         [&] {
             std::string told;
             journal::LogFile log([&](const std::string& t) { told = t; });
             log.start(d.path());
             return told;
         },
         "журнал обмена: не удаётся писать в файл " + d.path() + ": это папка, а не файл" + bracket(EISDIR)},
        {"gateway service name the resolver does not know",
         [] {
             net::Socket s = net::kNoSocket;
             std::string detail;
             net::connect("127.0.0.1", "no-such-service", 1000000, s, detail);
             return detail;
         },
         "неверный номер порта шлюза" + bracket(gai_strerror(EAI_SERVICE))},
    };
    for (const auto& c : cases) EXPECT_EQ(c.told(), c.expected) << c.what;
}
