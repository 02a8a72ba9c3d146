#pragma once
// The history of the serving cell's measures in their own units, for the
// radio view: the recent samples as they came, older ones reduced to the
// minimum, maximum and mean of each kReducedInterval, so that a day at the
// cycle rate costs about two megabytes. Pure logic, no widgets.

#include "NetState.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// The measures of a serving cell: RSRP, RSRQ, SINR and RSSI for LTE and NR,
// RSCP and Ec/No for UMTS, RSSI for GSM; then RSRP, RSRQ and SINR of the NR
// leg of an EN-DC connection (the secondary cell).
enum class TRadioMeasure : std::uint8_t { Rsrp, Rsrq, Sinr, Rssi, Rscp, Ecno, NrRsrp, NrRsrq, NrSinr };
inline constexpr std::size_t kRadioMeasureCount = 9;
inline constexpr std::array<TRadioMeasure, kRadioMeasureCount> kRadioMeasures{
    TRadioMeasure::Rsrp, TRadioMeasure::Rsrq,   TRadioMeasure::Sinr,   TRadioMeasure::Rssi,  TRadioMeasure::Rscp,
    TRadioMeasure::Ecno, TRadioMeasure::NrRsrp, TRadioMeasure::NrRsrq, TRadioMeasure::NrSinr};

// "RSRP", "RSRQ", "SINR", "RSSI", "RSCP", "Ec/No", "NR RSRP", "NR RSRQ",
// "NR SINR".
const char *RadioMeasureName(TRadioMeasure measure);
// "dBm" for powers, "dB" for ratios.
const char *RadioMeasureUnit(TRadioMeasure measure);
// The CSV column without its unit: "rsrp", "rsrq", ..., "nr_sinr".
const char *RadioMeasureColumn(TRadioMeasure measure);
// Whether the measure is one of the secondary (NR) cell.
bool RadioMeasureOfSecondary(TRadioMeasure measure);
// The measure's value in cell (the serving or the secondary one), when known.
std::optional<double> RadioMeasureOf(const TRadioCell &cell, TRadioMeasure measure);

// The quality classes of a measure, best first: a value at or above
// lower[i] is of class i; below the last bound it is "poor".
struct TQualityBands {
    std::array<double, 3> lower; // "excellent", "good", "fair"
};
inline constexpr std::array<const char *, 4> kQualityClassNames{"excellent", "good", "fair", "poor"};
TQualityBands QualityBandsOf(TRadioMeasure measure);
// The class index 0 (excellent) to 3 (poor) of a value.
int QualityClass(TRadioMeasure measure, double value);

// The measures of one poll cycle. A value the modem did not give is NaN.
struct TRadioSample {
    std::int64_t timeMs = 0; // milliseconds since the epoch, UTC
    TRadioTech tech = TRadioTech::Unknown;
    std::array<float, kRadioMeasureCount> values{};
};
// The serving and secondary cells' measures of record at timeMs; NaN where
// the cell or the value is missing; the technology is the serving cell's.
TRadioSample RadioSampleOf(const TNetState &record, std::int64_t timeMs);

// One stored entry: a raw sample (start == end, min == max == mean) or the
// reduction of the samples of one interval on one technology.
struct TRadioEntry {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    TRadioTech tech = TRadioTech::Unknown;
    std::array<float, kRadioMeasureCount> min{};
    std::array<float, kRadioMeasureCount> max{};
    std::array<float, kRadioMeasureCount> mean{};
};

// One point of a drawn line: the mean of what falls into one column of the
// view, with the range of the values there.
struct TRadioPoint {
    double timeMs = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
};

// A run of points that are drawn joined: same technology, no gap longer
// than kMaxJoinedGap, no unknown value between them.
struct TRadioSegment {
    TRadioTech tech = TRadioTech::Unknown;
    std::vector<TRadioPoint> points;
};

class RadioHistory {
public:
    static constexpr std::chrono::milliseconds kReducedInterval{10'000};
    static constexpr std::chrono::milliseconds kRecentSpan{10 * 60'000};
    // Samples of the recent tier at most, whatever the cycle rate: older
    // ones are reduced earlier.
    static constexpr std::size_t kMaxRecentSamples = 12'000;
    static constexpr std::chrono::milliseconds kDefaultSpan{24 * 3'600'000};
    // Two entries further apart than this are not joined by a line.
    static constexpr std::chrono::milliseconds kMaxJoinedGap{60'000};

    explicit RadioHistory(std::chrono::milliseconds span = kDefaultSpan) : m_span(span) {}

    // Adds a sample; one older than the newest is dropped (a clock step
    // back), so the entries stay in time order.
    void Add(const TRadioSample &sample);
    void Clear();

    bool Empty() const { return m_reduced.empty() && !m_open && m_recent.empty(); }
    std::int64_t FirstTimeMs() const;
    std::int64_t LastTimeMs() const;
    std::chrono::milliseconds Span() const { return m_span; }

    std::size_t ReducedCount() const { return m_reduced.size() + (m_open ? 1 : 0); }
    std::size_t RecentCount() const { return m_recent.size(); }
    // What the stored entries take, containers' own blocks included.
    std::size_t MemoryBytes() const;

    // Every entry that overlaps [fromMs, toMs], oldest first.
    std::vector<TRadioEntry> Entries(std::int64_t fromMs, std::int64_t toMs) const;

    // The line of measure over [fromMs, toMs] for a view columns wide: at
    // most one point per column and segment, plus the entry just outside
    // each end so that the line runs to the edges.
    std::vector<TRadioSegment> Series(TRadioMeasure measure, std::int64_t fromMs, std::int64_t toMs,
                                      int columns) const;

private:
    // The interval being reduced: its entry (the mean still to be taken)
    // and the sums and counts of the known values.
    struct Accumulator {
        TRadioEntry entry;
        std::array<double, kRadioMeasureCount> sum{};
        std::array<std::uint32_t, kRadioMeasureCount> count{};
    };
    void Reduce(const TRadioEntry &sample);
    void CloseOpen();
    void DropOlderThan(std::int64_t timeMs);
    TRadioEntry EntryOf(const Accumulator &open) const;
    template <class F> void Visit(std::int64_t fromMs, std::int64_t toMs, F &&f) const;

    std::chrono::milliseconds m_span;
    std::deque<TRadioEntry> m_reduced;
    std::optional<Accumulator> m_open; // the interval being reduced
    std::deque<TRadioEntry> m_recent;
};

// The entries of [fromMs, toMs] as CSV, header first: time (local, ISO 8601
// with its offset), rat, then each measure's mean, min and max; unknown
// values are empty fields.
std::string RadioHistoryCsv(const RadioHistory &history, std::int64_t fromMs, std::int64_t toMs);
