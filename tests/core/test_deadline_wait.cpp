// The real port's waits: they end at their deadline, never before it (a
// time-out that ends early cuts a reply short), and at once when a byte is
// there. Only lower bounds are checked; how close to the deadline they end
// is measured by bench/.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/linux/deadline_wait.h"

namespace {

struct Pipe {
    int fd[2];
    Pipe() { EXPECT_EQ(pipe(fd), 0); }
    ~Pipe() {
        close(fd[0]);
        close(fd[1]);
    }
};

const int64_t kSpans[] = {0, 10, lork::kFinishUs, 300, 2000};

TEST(DeadlineWait, SilentPollEndsNotBeforeItsDeadline) {
    Pipe p;
    for (int64_t span : kSpans) {
        const int64_t end = lork::monotonicUs() + span;
        pollfd q{p.fd[0], POLLIN, 0};
        EXPECT_EQ(lork::pollUntil(q, end), 0) << span;
        EXPECT_GE(lork::monotonicUs(), end) << span;
    }
}

TEST(DeadlineWait, PollSeesAByteThatIsThere) {
    Pipe p;
    ASSERT_EQ(write(p.fd[1], "x", 1), 1);
    const int64_t end = lork::monotonicUs() + 5'000'000;
    pollfd q{p.fd[0], POLLIN, 0};
    EXPECT_EQ(lork::pollUntil(q, end), 1);
    EXPECT_TRUE(q.revents & POLLIN);
    EXPECT_LT(lork::monotonicUs(), end);
}

TEST(DeadlineWait, SleepEndsNotBeforeItsDeadline) {
    for (int64_t span : kSpans) {
        const int64_t end = lork::monotonicUs() + span;
        lork::sleepUntil(end);
        EXPECT_GE(lork::monotonicUs(), end) << span;
    }
}

}  // namespace
