// The exchange record: what the core publishes of each exchange, once.
#include <gtest/gtest.h>

#include "core_test_util.h"

namespace lork::test {
namespace {

struct FeedRig : CoreRig {
    std::vector<ExchangeRecord> seen;
    FeedRig() {
        core.feed.subscribe([this](const ExchangeRecord& r) { seen.push_back(r); });
    }
};

TEST(ExchangeRecord, TransactionPublishesBytesTimesResultAndCommand) {
    FeedRig r;
    const auto reply = reg_reply(5, 3, {0x0007});
    r.answer_with(reply, 3000);
    {
        ExchangeFeed::CommandScope outer(r.core.feed, Command::Activation);
        ExchangeFeed::CommandScope inner(r.core.feed, Command::Query);  // a query inside keeps the outer mark
        EXPECT_EQ(r.core.dev.transact(3, 0x0A00, 1), 0);
    }
    ASSERT_EQ(r.seen.size(), 1u);
    const ExchangeRecord& rec = r.seen[0];
    EXPECT_EQ(rec.request, with_crc({5, 3, 0x0A, 0x00, 0x00, 0x01}));
    EXPECT_EQ(rec.reply, reply);
    EXPECT_EQ(rec.writeUs, r.port.writes.at(0).atUs);
    EXPECT_GE(rec.lastByteUs, rec.writeUs + 3000);
    EXPECT_EQ(rec.kod_rez, 0);
    EXPECT_EQ(rec.command, Command::Activation);
    EXPECT_FALSE(rec.probe);
    EXPECT_EQ(r.core.feed.command(), Command::Page);  // the scopes gave the mark back
}

TEST(ExchangeRecord, PresenceProbeIsMarkedAndKeepsTheLastResult) {
    FeedRig r;
    r.st.ex.kod_rez = 7;
    EXPECT_NE(r.core.dev.Read_adr(), 0);  // nobody answers
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_TRUE(r.seen[0].probe);
    EXPECT_EQ(r.seen[0].report, FailureReport::None);
    EXPECT_TRUE(r.seen[0].reply.empty());
    EXPECT_EQ(r.seen[0].lastByteUs, r.seen[0].writeUs);
    EXPECT_EQ(r.st.ex.kod_rez, 7);
}

TEST(ExchangeRecord, UnsubscribedListenerHearsNothing) {
    FeedRig r;
    int other = 0;
    const int key = r.core.feed.subscribe([&](const ExchangeRecord&) { ++other; });
    r.core.feed.unsubscribe(key);
    r.core.dev.transact(16, 0x0A03, 1, {1}, FailureReport::Box);
    EXPECT_EQ(other, 0);
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_EQ(r.seen[0].report, FailureReport::Box);
}

}  // namespace
}  // namespace lork::test
