#include "PointingTracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

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

// The tone rises by octaves from the poorest to the best value; an unknown
// value is silence.
TEST(PointingTone, PitchFollowsTheMainFigure)
{
    struct Case {
        const char *unit;
        std::optional<double> value;
        std::optional<double> hz;
    };
    const Case cases[] = {
        {"dBm", -125, kToneLowHz},        {"dBm", -65, kToneHighHz},         {"dBm", -95, 220 * std::pow(2, 1.5)},
        {"dBm", -140, kToneLowHz},        {"dBm", -40, kToneHighHz},         {"%", 50, 220 * std::pow(2, 1.5)},
        {"%", 0, kToneLowHz},             {"%", 100, kToneHighHz},           {"dBm", std::nullopt, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " " + (c.value ? std::to_string(*c.value) : "unknown"));
        const std::optional<double> hz = PointingToneFrequency({"", c.unit, c.value});
        ASSERT_EQ(hz.has_value(), c.hz.has_value());
        if (hz) {
            EXPECT_NEAR(*hz, *c.hz, 1e-9);
        }
    }
    // A better value is a higher tone.
    EXPECT_LT(*PointingToneFrequency({"", "dBm", -100}), *PointingToneFrequency({"", "dBm", -99}));
}

// A second of 440 Hz has 880 zero crossings, within the amplitude, and the
// tone runs on without a jump across calls and a change of pitch.
TEST(PointingTone, GeneratedSamples)
{
    constexpr int kRate = 22050;
    ToneGenerator tone(kRate);
    std::vector<float> samples(kRate);
    tone.Fill(samples.data(), samples.size());
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](float s) { return s == 0.0f; }));

    tone.SetFrequency(440.0);
    // In two calls of uneven length.
    tone.Fill(samples.data(), 1000);
    tone.Fill(samples.data() + 1000, samples.size() - 1000);
    int crossings = 0;
    float peak = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
        peak = std::max(peak, std::abs(samples[i]));
    }
    EXPECT_NEAR(crossings, 880, 2);
    EXPECT_NEAR(peak, ToneGenerator::kAmplitude, 0.001);
    EXPECT_LE(peak, ToneGenerator::kAmplitude);
    // The largest step between two samples of a sine of f Hz.
    const auto maxStep = [&](double hz) { return ToneGenerator::kAmplitude * 2 * M_PI * hz / kRate + 1e-6; };
    for (std::size_t i = 1; i < samples.size(); ++i)
        ASSERT_LE(std::abs(samples[i] - samples[i - 1]), maxStep(440)) << i;

    const float last = samples.back();
    tone.SetFrequency(880.0);
    float next = 0;
    tone.Fill(&next, 1);
    EXPECT_LE(std::abs(next - last), maxStep(880));
}

} // namespace
