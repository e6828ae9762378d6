// The traffic journal's store, counts, texts and log file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "records/format.h"
#include "records/journal.h"
#include "records/log_file.h"

using namespace lork;
using namespace lork::journal;

namespace {
ExchangeRecord Rec(uint8_t kod, int64_t response_us, Command c = Command::Query, uint64_t run = 0) {
    ExchangeRecord r;
    r.request = {0x05, 0x03, 0x08, 0x00, 0x00, 0x01, 0x85, 0x8A};
    if (response_us >= 0) r.reply = {0x05, 0x03, 0x02, 0x00, 0x05};
    r.writeUs = 1000000;
    r.lastByteUs = r.writeUs + std::max<int64_t>(response_us, 0);
    r.kod_rez = kod;
    r.command = c;
    r.commandRun = run;
    return r;
}
}  // namespace

TEST(Journal, RingKeepsTheNewestAndNumbersThemForGood) {
    Ring ring(3);
    for (int i = 0; i < 5; ++i) ring.push(i, Rec(0, 1000));
    ASSERT_EQ(ring.size(), 3u);
    EXPECT_EQ(ring.at(0).seq, 3u);
    EXPECT_EQ(ring.at(2).seq, 5u);
    EXPECT_EQ(ring.at(2).wallMs, 4);
    EXPECT_EQ(ring.bySeq(2), nullptr);
    ASSERT_NE(ring.bySeq(4), nullptr);
    EXPECT_EQ(ring.bySeq(4)->wallMs, 3);
    ring.clear();
    EXPECT_EQ(ring.size(), 0u);
    EXPECT_EQ(ring.push(9, Rec(0, 1000)).seq, 6u);  // numbers go on after a clear
}

TEST(Journal, StatsCountFailureKindsAndResponseTimes) {
    Store s;
    // 20 good replies of 1..20 ms, one no-reply, two CRC errors, one exception 2 reply after 3 ms.
    for (int i = 1; i <= 20; ++i) s.add(0, Rec(0, i * 1000));
    s.add(0, Rec(11, -1));
    s.add(0, Rec(6, 2500));
    s.add(0, Rec(6, 2500));
    s.add(0, Rec(2, 3000));
    EXPECT_EQ(s.stats.sent, 24u);
    EXPECT_EQ(s.stats.good, 20u);
    EXPECT_EQ(s.stats.byCode[11], 1u);
    EXPECT_EQ(s.stats.byCode[6], 2u);
    EXPECT_EQ(s.stats.byCode[2], 1u);
    EXPECT_DOUBLE_EQ(s.stats.minMs(), 1.0);
    EXPECT_DOUBLE_EQ(s.stats.maxMs(), 20.0);
    // 23 timed: 1, 2, 2.5, 2.5, 3, 3, 4 .. 20; rank 12 is 9 ms, rank 22 of 23 is 19 ms.
    EXPECT_DOUBLE_EQ(s.stats.quantileMs(0.5), 9.0);
    EXPECT_DOUBLE_EQ(s.stats.quantileMs(0.95), 19.0);
    s.stats.reset();
    EXPECT_EQ(s.stats.sent, 0u);
    EXPECT_EQ(s.stats.byCode[6], 0u);
    EXPECT_EQ(s.stats.quantileMs(0.5), -1);
    EXPECT_EQ(s.ring.size(), 24u);  // the reset keeps the rows
}

TEST(Journal, AvailabilityCountsWholeTicks) {
    Stats st;
    auto add = [&](uint8_t kod, uint64_t run) { st.add(Entry{0, 0, Rec(kod, kod ? -1 : 1000, Command::Polling, run)}); };
    add(0, 1), add(0, 1);    // good tick
    add(0, 2), add(11, 2);   // one failure spoils the tick
    add(6, 3), add(11, 3);   // two failures: one bad tick
    st.add(Entry{0, 0, Rec(11, -1, Command::Query, 4)});  // not polling
    EXPECT_EQ(st.pollTicks, 3u);
    EXPECT_EQ(st.pollGoodTicks, 1u);
    EXPECT_NEAR(st.availability(), 100.0 / 3, 1e-9);
    st.reset();
    add(11, 3);  // the rest of a tick begun before the reset is left out
    add(0, 5);
    EXPECT_EQ(st.pollTicks, 1u);
    EXPECT_DOUBLE_EQ(st.availability(), 100.0);
}

TEST(Journal, CsvAndTextLines) {
    setenv("TZ", "XYZ-3", 1);  // three hours east, no summer time
    tzset();
    ExchangeRecord r = Rec(6, 12345, Command::Search);
    r.probe = true;
    const Entry e{7, 1773039904123, r};  // 2026-03-09 07:05:04.123 UTC
    EXPECT_EQ(csvLine(e), "7,2026-03-09T10:05:04.123+03:00,\"поиск, проба\",1,05 03 08 00 00 01 85 8A,8,"
                           "05 03 02 00 05,5,12.3,6,неверная контрольная сумма");
    EXPECT_EQ(tabLine(e), "10:05:04.123\tпоиск, проба\t05 03 08 00 00 01 85 8A\t8\t05 03 02 00 05\t5\t12.3\t6\t"
                           "неверная контрольная сумма");
    const Entry none{8, 1773039904123, Rec(11, -1)};
    EXPECT_NE(textLine(none).find("<- (нет)"), std::string::npos);
    EXPECT_EQ(cell(none, ColResponse), "");
}

TEST(Journal, LogFileFlushesEachLineAndComplainsOnce) {
    std::vector<std::string> told;
    LogFile log([&](const std::string& t) { told.push_back(t); });
    EXPECT_FALSE(log.start("/nonexistent-dir/j.csv"));
    log.write(Entry{1, 0, Rec(0, 1000)});
    EXPECT_EQ(told.size(), 1u);
    EXPECT_FALSE(log.active());

    char name[] = "/tmp/journal-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(log.start(name));
    log.write(Entry{1, 0, Rec(0, 1000)});
    log.write(Entry{2, 0, Rec(11, -1)});
    std::ifstream in(name);  // read while the file is still open: every line already written
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(), csvHeader() + "\n" + csvLine(Entry{1, 0, Rec(0, 1000)}) + "\n" +
                             csvLine(Entry{2, 0, Rec(11, -1)}) + "\n");
    EXPECT_EQ(told.size(), 1u);
    unlink(name);
}
