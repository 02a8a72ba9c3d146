#include "PointingTracker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

TPointingValue PointingMain(const TNetState &record)
{
    if (record.serving && record.serving->rsrp)
        return {"RSRP", "dBm", record.serving->rsrp};
    if (record.signalValid)
        return {"Signal", "%", double(record.signal)};
    return {"RSRP", "dBm", std::nullopt};
}

TPointingValue PointingSecond(const TNetState &record)
{
    return {"SINR", "dB", record.serving ? record.serving->sinr : std::nullopt};
}

void PointingTracker::Reset()
{
    m_current = {};
    m_best.reset();
    m_recent.clear();
}

void PointingTracker::Add(std::int64_t timeMs, const TPointingValue &value)
{
    if (value.name != m_current.name || value.unit != m_current.unit) {
        m_best.reset();
        m_recent.clear();
    }
    m_current = value;
    if (!value.value)
        return;
    if (!m_best || *value.value > *m_best)
        m_best = value.value;
    m_recent.push_back({timeMs, *value.value});
    while (!m_recent.empty() && m_recent.front().timeMs < timeMs - kTrendSpan.count())
        m_recent.pop_front();
}

TTrend PointingTracker::Trend() const
{
    if (m_recent.empty() || !m_current.value)
        return TTrend::Unknown;
    const std::int64_t middle = m_recent.back().timeMs - kTrendSpan.count() / 2;
    double older = 0, newer = 0;
    int olderCount = 0, newerCount = 0;
    for (const Point &p : m_recent) {
        if (p.timeMs < middle) {
            older += p.value;
            ++olderCount;
        } else {
            newer += p.value;
            ++newerCount;
        }
    }
    if (olderCount == 0 || newerCount == 0)
        return TTrend::Unknown;
    const double change = newer / newerCount - older / olderCount;
    if (change >= kSteadyBand)
        return TTrend::Rising;
    if (change <= -kSteadyBand)
        return TTrend::Falling;
    return TTrend::Steady;
}

const char *TrendArrow(TTrend trend)
{
    switch (trend) {
    case TTrend::Rising: return "\u25B2";
    case TTrend::Falling: return "\u25BC";
    case TTrend::Steady: return "\u25BA";
    case TTrend::Unknown: break;
    }
    return "";
}

std::optional<double> PointingToneFrequency(const TPointingValue &value)
{
    if (!value.value)
        return std::nullopt;
    const bool percent = value.unit == "%";
    const double low = percent ? 0.0 : -125.0;
    const double high = percent ? 100.0 : -65.0;
    const double t = std::clamp((*value.value - low) / (high - low), 0.0, 1.0);
    return kToneLowHz * std::pow(kToneHighHz / kToneLowHz, t);
}

void ToneGenerator::Fill(float *samples, std::size_t count)
{
    if (!m_frequency) {
        std::fill(samples, samples + count, 0.0f);
        return;
    }
    constexpr double kTwoPi = 2 * std::numbers::pi;
    const double step = kTwoPi * *m_frequency / m_sampleRate;
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = float(kAmplitude * std::sin(m_phase));
        m_phase += step;
        if (m_phase >= kTwoPi)
            m_phase -= kTwoPi;
    }
}
