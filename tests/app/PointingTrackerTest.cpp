#include "PointingTracker.h"

#include <gtest/gtest.h>

namespace {

TPointingValue Rsrp(double value) { return {"RSRP", "dBm", value}; }

TEST(PointingTracker, BestValueIsTheHighestSinceReset)
{
    PointingTracker tracker;
    for (double v : {-101.0, -95.0, -99.0, -97.0})
        tracker.Add(0, Rsrp(v));
    EXPECT_EQ(tracker.Best(), -95.0);
    EXPECT_EQ(tracker.Current().value, -97.0);
    tracker.Add(0, {"RSRP", "dBm", std::nullopt});
    EXPECT_EQ(tracker.Best(), -95.0) << "an unknown value is not a worse one";
    tracker.Reset();
    EXPECT_FALSE(tracker.Best());
    tracker.Add(0, Rsrp(-110));
    EXPECT_EQ(tracker.Best(), -110.0);
    // The percentage is another scale: its best starts anew.
    tracker.Add(0, {"Signal", "%", 40});
    EXPECT_EQ(tracker.Best(), 40.0);
}

TEST(PointingTracker, TrendComparesTheNewerHalfWithTheOlder)
{
    struct Case {
        const char *name;
        std::vector<double> values; // one a second
        TTrend expected;
    };
    const Case cases[] = {
        {"Rising", {-100, -100, -100, -97, -96, -95}, TTrend::Rising},
        {"Falling", {-90, -90, -90, -93, -94, -95}, TTrend::Falling},
        {"Steady", {-90, -91, -90, -90, -91, -90}, TTrend::Steady},
        {"OnlyOneHalf", {-90}, TTrend::Unknown},
        // Older values than the span no longer count.
        {"OldValuesForgotten", {-120, -120, -120, -120, -90, -90, -90, -90, -90, -90, -90}, TTrend::Steady},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PointingTracker tracker;
        std::int64_t t = 0;
        for (double v : c.values) {
            tracker.Add(t, Rsrp(v));
            t += 1000;
        }
        EXPECT_EQ(tracker.Trend(), c.expected);
    }
}

TEST(PointingTracker, MainFigureIsRsrpElseTheSignalPercentage)
{
    TNetState record;
    EXPECT_FALSE(PointingMain(record).value);
    record.signal = 61;
    record.signalValid = true;
    EXPECT_EQ(PointingMain(record).name, "Signal");
    EXPECT_EQ(PointingMain(record).value, 61.0);
    TRadioCell cell;
    cell.rsrp = -88;
    cell.sinr = 12.5;
    record.serving = cell;
    EXPECT_EQ(PointingMain(record).name, "RSRP");
    EXPECT_EQ(PointingMain(record).value, -88.0);
    EXPECT_EQ(PointingSecond(record).value, 12.5);
}

} // namespace
