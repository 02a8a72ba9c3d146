#include "DistributorFixture.h"

#include <string>

namespace {

struct ElapsedCase {
    const char *name;
    std::uint32_t start;
    std::uint32_t interval;
    std::uint32_t now;
    bool elapsed;
};

void PrintTo(const ElapsedCase &c, std::ostream *os) { *os << c.name; }

class ElapsedRule : public ::testing::TestWithParam<ElapsedCase> {};

TEST_P(ElapsedRule, MatchesTheWrappingTickRule)
{
    const ElapsedCase &c = GetParam();
    EXPECT_EQ(VRynGeneralDistributor::Elapsed(c.start, c.interval, c.now), c.elapsed);
}

// Values sit off the round numbers so that an overflowing start + interval,
// a signed difference or a >= instead of > cannot pass by accident.
INSTANTIATE_TEST_SUITE_P(
    Distributor, ElapsedRule,
    ::testing::Values(ElapsedCase{"NotYet", 1000, 300, 1299, false},
                      ElapsedCase{"ExactlyIntervalIsNotElapsed", 1000, 300, 1300, false},
                      ElapsedCase{"OneBeyond", 1000, 300, 1301, true},
                      ElapsedCase{"ZeroIntervalSameTick", 5000, 0, 5000, false},
                      ElapsedCase{"ZeroIntervalNextTick", 5000, 0, 5001, true},
                      ElapsedCase{"StartNearTopNotYet", 0xFFFFFF00u, 0x200, 0xFFFFFFFFu, false},
                      ElapsedCase{"AcrossWrapNotYet", 0xFFFFFF00u, 0x200, 0x000000FFu, false},
                      ElapsedCase{"AcrossWrapExactly", 0xFFFFFF00u, 0x200, 0x00000100u, false},
                      ElapsedCase{"AcrossWrapElapsed", 0xFFFFFF00u, 0x200, 0x00000101u, true},
                      ElapsedCase{"AcrossWrapFromUpperHalf", 0x80000010u, 0x7FFFFFF0u, 0x00000001u, true},
                      ElapsedCase{"AcrossWrapLongIntervalNotYet", 0x90000000u, 0x7FFFFFFFu, 0x0FFFFFFFu, false},
                      ElapsedCase{"NowBeforeStartLowHalf", 5000, 300, 4000, true},
                      ElapsedCase{"NowBeforeStartHighHalf", 0xF0000000u, 300, 0xE0000000u, true},
                      ElapsedCase{"HalfRangeInterval", 0x10, 0x80000000u, 0x80000010u, false}),
    [](const ::testing::TestParamInfo<ElapsedCase> &info) { return std::string(info.param.name); });

class TimeoutAcrossWrap : public TopFixture {};

TEST_F(TimeoutAcrossWrap, FiresOnceWhenTheModularDifferenceExceedsTheInterval)
{
    int fired = 0;
    std::uint32_t firedAt = 0;
    top.SetOnTimeout([&](VRynGeneralDistributor *, std::uint32_t &t) {
        ++fired;
        firedAt = t;
    });
    now = 0xFFFFFFC0u;
    top.TimerTick(); // current time := now
    top.SetTimeout(100);
    for (std::uint32_t t : {0xFFFFFFF0u, 0x00000010u, 0x00000024u}) {
        now = t;
        top.TimerTick();
    }
    EXPECT_EQ(fired, 0) << "0x24 is exactly 100 ms after 0xFFFFFFC0";
    now = 0x00000025u;
    top.TimerTick();
    now = 0x00000300u;
    top.TimerTick();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(firedAt, 0x25u);
    EXPECT_FALSE(top.TimeoutArmed());
}

TEST_F(TimeoutAcrossWrap, DisarmValueStopsAnArmedTimeout)
{
    int fired = 0;
    top.SetOnTimeout([&](VRynGeneralDistributor *, std::uint32_t &) { ++fired; });
    top.TimerTick();
    top.SetTimeout(50);
    top.SetTimeout(kTimeoutDisarm);
    now += 10000;
    top.TimerTick();
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(top.TimeoutArmed());
}

} // namespace
