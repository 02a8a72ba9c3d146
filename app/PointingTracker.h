#pragma once
// The figures of the antenna-pointing mode: the measure to watch (RSRP and
// SINR, or the signal percentage where RSRP is unknown), the best value seen
// since the mode was entered, and the trend of the last seconds. Pure logic,
// no widgets.

#include "NetState.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

enum class TTrend : std::uint8_t { Unknown, Rising, Steady, Falling };

// One watched value of a record: what it is, its unit and its value.
struct TPointingValue {
    std::string name; // "RSRP", "SINR", "Signal"
    std::string unit; // "dBm", "dB", "%"
    std::optional<double> value;
};

// The main figure: the serving cell's RSRP, else the signal percentage;
// unknown when neither is known.
TPointingValue PointingMain(const TNetState &record);
// The second figure: the serving cell's SINR (unknown where not reported).
TPointingValue PointingSecond(const TNetState &record);

class PointingTracker {
public:
    // The trend compares the newer half of this span with the older half.
    static constexpr std::chrono::milliseconds kTrendSpan{6000};
    // A change of the mean smaller than this is steady.
    static constexpr double kSteadyBand = 1.0;

    // Forgets everything: the mode was entered again.
    void Reset();
    // The value of one cycle; a change of what is watched (RSRP to the
    // signal percentage) starts the best value and the trend anew.
    void Add(std::int64_t timeMs, const TPointingValue &value);

    const TPointingValue &Current() const { return m_current; }
    std::optional<double> Best() const { return m_best; }
    TTrend Trend() const;

private:
    struct Point {
        std::int64_t timeMs;
        double value;
    };
    TPointingValue m_current;
    std::optional<double> m_best;
    std::deque<Point> m_recent;
};

// The pitch of the pointing tone for the main figure: from kToneLowHz at a
// poor value to kToneHighHz at an excellent one (RSRP -125 to -65 dBm, the
// signal percentage 0 to 100), rising by octaves, so a step of a few dB is
// heard alike anywhere on the scale; none for an unknown value.
inline constexpr double kToneLowHz = 220.0;
inline constexpr double kToneHighHz = 1760.0;
std::optional<double> PointingToneFrequency(const TPointingValue &value);

// A sine tone of a frequency that may change while it plays, as mono
// samples from -1 to 1; the phase runs on across calls and changes of the
// frequency, so the tone never clicks. No frequency is silence.
class ToneGenerator {
public:
    static constexpr double kAmplitude = 0.3;

    explicit ToneGenerator(int sampleRate)
        : m_sampleRate(sampleRate)
    {
    }
    void SetFrequency(std::optional<double> hz) { m_frequency = hz; }
    std::optional<double> Frequency() const { return m_frequency; }
    int SampleRate() const { return m_sampleRate; }
    // The next count samples into samples.
    void Fill(float *samples, std::size_t count);

private:
    int m_sampleRate;
    std::optional<double> m_frequency;
    double m_phase = 0; // radians, 0 to 2 pi
};

// "▲", "▼", "►" and "" for the trends.
const char *TrendArrow(TTrend trend);
