#include "RadioHistory.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace {

constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kHour = 3600 * kSecond;
// 2026-12-09 00:00:00 UTC: a multiple of the reduction interval.
constexpr std::int64_t kStart = 1796774400000;
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

TRadioSample Sample(std::int64_t timeMs, TRadioTech tech, float rsrp, float rssi = kNan)
{
    TRadioSample sample;
    sample.timeMs = timeMs;
    sample.tech = tech;
    sample.values.fill(kNan);
    sample.values[std::size_t(TRadioMeasure::Rsrp)] = rsrp;
    sample.values[std::size_t(TRadioMeasure::Rssi)] = rssi;
    return sample;
}

std::size_t PointCount(const std::vector<TRadioSegment> &segments)
{
    std::size_t n = 0;
    for (const TRadioSegment &s : segments)
        n += s.points.size();
    return n;
}

TEST(RadioHistory, DayOfCyclesIsReducedWithinItsMemoryBound)
{
    RadioHistory history;
    // 25 hours of one cycle a second; RSRP runs -90 .. -81 over every 10 s.
    const std::int64_t count = 25 * 3600;
    for (std::int64_t i = 0; i < count; ++i)
        history.Add(Sample(kStart + i * kSecond, TRadioTech::Lte, float(-90 + i % 10)));
    const std::int64_t last = kStart + (count - 1) * kSecond;

    EXPECT_EQ(history.LastTimeMs(), last);
    // The oldest interval kept is the one that reaches into the last 24 h.
    EXPECT_GT(history.FirstTimeMs(), last - 24 * kHour - 10 * kSecond);
    EXPECT_LE(history.FirstTimeMs(), last - 24 * kHour);
    // The last 10 minutes as they came, the rest of the day in 10 s intervals.
    EXPECT_NEAR(double(history.RecentCount()), 600, 1);
    EXPECT_NEAR(double(history.ReducedCount()), (24 * 3600 - 600) / 10.0, 2);
    // A day of raw samples would take about 8 MB; reduced it stays under 2.
    EXPECT_LT(history.MemoryBytes(), 2u * 1024 * 1024);
    EXPECT_GT(86400 * sizeof(TRadioEntry), 4 * history.MemoryBytes());

    const std::vector<TRadioEntry> old = history.Entries(last - 20 * kHour, last - 20 * kHour + 30 * kSecond);
    ASSERT_GE(old.size(), 3u);
    const std::size_t rsrp = std::size_t(TRadioMeasure::Rsrp);
    for (const TRadioEntry &e : old) {
        EXPECT_EQ(e.endMs - e.startMs, 9 * kSecond);
        EXPECT_EQ(e.min[rsrp], -90);
        EXPECT_EQ(e.max[rsrp], -81);
        EXPECT_FLOAT_EQ(e.mean[rsrp], -85.5f);
        EXPECT_TRUE(std::isnan(e.mean[std::size_t(TRadioMeasure::Sinr)]));
    }
    const std::vector<TRadioEntry> recent = history.Entries(last - 5 * kSecond, last);
    ASSERT_EQ(recent.size(), 6u);
    EXPECT_EQ(recent.back().startMs, last);
    EXPECT_EQ(recent.back().mean[rsrp], float(-90 + (count - 1) % 10));
}

TEST(RadioHistory, FastCycleKeepsTheRecentTierBounded)
{
    RadioHistory history;
    // Twenty cycles a second for an hour.
    for (std::int64_t i = 0; i < 20 * 3600; ++i)
        history.Add(Sample(kStart + i * 50, TRadioTech::Lte, -100));
    EXPECT_EQ(history.RecentCount(), RadioHistory::kMaxRecentSamples);
    EXPECT_EQ(history.FirstTimeMs(), kStart);
    EXPECT_NEAR(double(history.ReducedCount()), (3600 - 600) / 10.0, 2);
}

TEST(RadioHistory, SeriesHasAtMostOnePointPerColumnWithTheRangeOfItsValues)
{
    RadioHistory history;
    for (std::int64_t i = 0; i < 24 * 3600; ++i)
        history.Add(Sample(kStart + i * kSecond, TRadioTech::Lte, float(-90 + i % 10)));
    const std::int64_t from = kStart, to = history.LastTimeMs();
    const auto segments = history.Series(TRadioMeasure::Rsrp, from, to, 1000);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_LE(PointCount(segments), 1002u);
    EXPECT_GE(PointCount(segments), 990u);
    for (const TRadioPoint &p : segments[0].points) {
        EXPECT_EQ(p.min, -90);
        EXPECT_EQ(p.max, -81);
        EXPECT_NEAR(p.mean, -85.5, 0.5);
    }
    // Zoomed into 30 s of raw samples: every sample is a point of its own.
    const auto zoomed = history.Series(TRadioMeasure::Rsrp, to - 30 * kSecond, to, 1000);
    ASSERT_EQ(zoomed.size(), 1u);
    EXPECT_EQ(zoomed[0].points.size(), 32u); // 31 inside and the one before
    EXPECT_EQ(zoomed[0].points.front().timeMs, double(to - 31 * kSecond));
}

TEST(RadioHistory, LinesBreakAtTechnologyChangesGapsAndUnknownValues)
{
    RadioHistory history;
    std::int64_t t = kStart;
    // Older than ten minutes, so the change falls into the reduced tier too.
    for (int i = 0; i < 900; ++i, t += kSecond)
        history.Add(Sample(t, TRadioTech::Lte, -95, -70));
    const std::int64_t change = t + 3 * kSecond; // within one 10 s interval
    for (int i = 0; i < 900; ++i, t += kSecond)
        history.Add(Sample(t, TRadioTech::Gsm, kNan, -80));
    t += 5 * 60 * kSecond; // a five-minute outage
    for (int i = 0; i < 900; ++i, t += kSecond)
        history.Add(Sample(t, TRadioTech::Gsm, kNan, -81));

    for (const TRadioEntry &e : history.Entries(kStart, t))
        EXPECT_TRUE(e.endMs < change || e.startMs >= change - 3 * kSecond) << "an interval mixes technologies";

    const auto rssi = history.Series(TRadioMeasure::Rssi, kStart, t, 800);
    ASSERT_EQ(rssi.size(), 3u);
    EXPECT_EQ(rssi[0].tech, TRadioTech::Lte);
    EXPECT_EQ(rssi[1].tech, TRadioTech::Gsm);
    EXPECT_EQ(rssi[2].tech, TRadioTech::Gsm);
    EXPECT_LT(rssi[0].points.back().timeMs, rssi[1].points.front().timeMs);
    EXPECT_EQ(rssi[0].points.back().mean, -70);
    EXPECT_EQ(rssi[1].points.front().mean, -80);
    EXPECT_EQ(rssi[2].points.front().mean, -81);
    // GSM has no RSRP: only the LTE part has a line.
    const auto rsrp = history.Series(TRadioMeasure::Rsrp, kStart, t, 800);
    ASSERT_EQ(rsrp.size(), 1u);
    EXPECT_EQ(rsrp[0].tech, TRadioTech::Lte);

    RadioHistory holes;
    holes.Add(Sample(kStart, TRadioTech::Lte, -90));
    holes.Add(Sample(kStart + kSecond, TRadioTech::Lte, -91));
    holes.Add(Sample(kStart + 2 * kSecond, TRadioTech::Lte, kNan));
    holes.Add(Sample(kStart + 3 * kSecond, TRadioTech::Lte, -92));
    EXPECT_EQ(holes.Series(TRadioMeasure::Rsrp, kStart, kStart + 3 * kSecond, 100).size(), 2u);
}

TEST(RadioHistory, ClockStepBackIsDroppedAndShortSpanForgets)
{
    RadioHistory history(std::chrono::minutes(30));
    history.Add(Sample(kStart + 10 * kSecond, TRadioTech::Lte, -90));
    history.Add(Sample(kStart, TRadioTech::Lte, -50));
    EXPECT_EQ(history.Entries(kStart - kHour, kStart + kHour).size(), 1u);
    for (std::int64_t i = 1; i <= 3600; ++i)
        history.Add(Sample(kStart + 10 * kSecond + i * kSecond, TRadioTech::Lte, -90));
    EXPECT_GE(history.FirstTimeMs(), history.LastTimeMs() - 30 * 60 * kSecond);
}

TEST(RadioHistory, SampleOfRecordTakesTheServingCellsMeasures)
{
    TNetState record;
    EXPECT_TRUE(std::isnan(RadioSampleOf(record, 0).values[0]));
    TRadioCell cell;
    cell.rat = TRadioTech::Umts;
    cell.rscp = -97;
    cell.ecno = -7.5;
    record.serving = cell;
    const TRadioSample sample = RadioSampleOf(record, 42);
    EXPECT_EQ(sample.tech, TRadioTech::Umts);
    EXPECT_EQ(sample.timeMs, 42);
    EXPECT_EQ(sample.values[std::size_t(TRadioMeasure::Rscp)], -97);
    EXPECT_EQ(sample.values[std::size_t(TRadioMeasure::Ecno)], -7.5);
    EXPECT_TRUE(std::isnan(sample.values[std::size_t(TRadioMeasure::Rsrp)]));
    EXPECT_TRUE(std::isnan(sample.values[std::size_t(TRadioMeasure::NrRsrp)]));

    // EN-DC: the LTE anchor's measures, and the NR leg's apart.
    TRadioCell lte, nr;
    lte.rat = TRadioTech::Lte;
    lte.rsrp = -95;
    lte.sinr = 9;
    nr.rat = TRadioTech::Nr5gNsa;
    nr.rsrp = -88;
    nr.sinr = 21;
    record.serving = lte;
    record.secondary = nr;
    const TRadioSample endc = RadioSampleOf(record, 43);
    EXPECT_EQ(endc.tech, TRadioTech::Lte);
    EXPECT_EQ(endc.values[std::size_t(TRadioMeasure::Rsrp)], -95);
    EXPECT_EQ(endc.values[std::size_t(TRadioMeasure::Sinr)], 9);
    EXPECT_EQ(endc.values[std::size_t(TRadioMeasure::NrRsrp)], -88);
    EXPECT_EQ(endc.values[std::size_t(TRadioMeasure::NrSinr)], 21);
    EXPECT_TRUE(std::isnan(endc.values[std::size_t(TRadioMeasure::NrRsrq)]));
}

TEST(RadioHistory, QualityClassesFollowTheBands)
{
    EXPECT_EQ(QualityClass(TRadioMeasure::Rsrp, -80), 0);
    EXPECT_EQ(QualityClass(TRadioMeasure::Rsrp, -80.5), 1);
    EXPECT_EQ(QualityClass(TRadioMeasure::Rsrp, -100), 2);
    EXPECT_EQ(QualityClass(TRadioMeasure::Rsrp, -120), 3);
    EXPECT_EQ(QualityClass(TRadioMeasure::Sinr, 25), 0);
    EXPECT_EQ(QualityClass(TRadioMeasure::Sinr, -1), 3);
}

TEST(RadioHistory, CsvHasLocalTimesAndEmptyFieldsForUnknown)
{
    RadioHistory history;
    history.Add(Sample(kStart, TRadioTech::Lte, -95.5f, -70));
    history.Add(Sample(kStart + kSecond, TRadioTech::Gsm, kNan, -81.25f));
    history.Add(Sample(kStart + 2 * kSecond, TRadioTech::Gsm, kNan, -82));
    const std::string csv = RadioHistoryCsv(history, kStart, kStart + kSecond);
    std::istringstream lines(csv);
    std::string header, first, second, third;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, third)) << "the entry after the range was written";
    EXPECT_EQ(header.rfind("time,end_time,rat,rsrp_dbm,rsrp_min_dbm,rsrp_max_dbm,rsrq_db,", 0), 0u);
    const std::string time = first.substr(0, first.find(','));
    EXPECT_EQ(QDateTime::fromString(QString::fromStdString(time), Qt::ISODateWithMs).toMSecsSinceEpoch(), kStart);
    EXPECT_NE(first.find(",LTE,-95.5,-95.5,-95.5,,,,,,,-70,-70,-70,"), std::string::npos) << first;
    EXPECT_NE(second.find(",GSM,,,,,,,,,,-81.25,-81.25,-81.25,"), std::string::npos) << second;
}

} // namespace
