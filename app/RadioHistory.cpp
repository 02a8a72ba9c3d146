#include "RadioHistory.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr float kUnknown = std::numeric_limits<float>::quiet_NaN();

struct MeasureInfo {
    const char *name;
    const char *unit;
    const char *column;
    std::optional<double> TRadioCell::*member;
    TQualityBands bands;
    bool secondary;
};

// The quality classes: RSRP and RSCP after the common LTE and UMTS drive-test
// thresholds, RSRQ, SINR and Ec/No after the usual planning targets.
const std::array<MeasureInfo, kRadioMeasureCount> &Measures()
{
    static const std::array<MeasureInfo, kRadioMeasureCount> measures{{
        {"RSRP", "dBm", "rsrp", &TRadioCell::rsrp, {{-80, -90, -100}}, false},
        {"RSRQ", "dB", "rsrq", &TRadioCell::rsrq, {{-10, -15, -20}}, false},
        {"SINR", "dB", "sinr", &TRadioCell::sinr, {{20, 13, 0}}, false},
        {"RSSI", "dBm", "rssi", &TRadioCell::rssi, {{-65, -75, -85}}, false},
        {"RSCP", "dBm", "rscp", &TRadioCell::rscp, {{-80, -95, -105}}, false},
        {"Ec/No", "dB", "ecno", &TRadioCell::ecno, {{-6, -10, -15}}, false},
        {"NR RSRP", "dBm", "nr_rsrp", &TRadioCell::rsrp, {{-80, -90, -100}}, true},
        {"NR RSRQ", "dB", "nr_rsrq", &TRadioCell::rsrq, {{-10, -15, -20}}, true},
        {"NR SINR", "dB", "nr_sinr", &TRadioCell::sinr, {{20, 13, 0}}, true},
    }};
    return measures;
}

const MeasureInfo &Info(TRadioMeasure measure) { return Measures()[static_cast<std::size_t>(measure)]; }

std::int64_t Floor(std::int64_t value, std::int64_t step)
{
    const std::int64_t q = value / step;
    return (q * step > value ? q - 1 : q) * step;
}

void AppendNumber(std::string &out, float value)
{
    if (std::isnan(value))
        return;
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, 2);
    std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    // 2 decimals at most, none that add nothing: "-95.5", "-100".
    while (text.back() == '0')
        text.remove_suffix(1);
    if (text.back() == '.')
        text.remove_suffix(1);
    out += text == "-0" ? std::string_view("0") : text;
}

std::string LocalTime(std::int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::systemTimeZone()).toString(Qt::ISODateWithMs).toStdString();
}

// What a libstdc++ deque of n elements takes: its elements in 512-byte blocks
// and one map pointer per block.
template <class T> std::size_t DequeBytes(std::size_t n)
{
    constexpr std::size_t block = 512;
    constexpr std::size_t perBlock = sizeof(T) < block ? block / sizeof(T) : 1;
    const std::size_t blocks = n / perBlock + 1;
    return blocks * (std::max(block, sizeof(T)) + sizeof(void *));
}

} // namespace

const char *RadioMeasureName(TRadioMeasure measure) { return Info(measure).name; }
const char *RadioMeasureUnit(TRadioMeasure measure) { return Info(measure).unit; }
const char *RadioMeasureColumn(TRadioMeasure measure) { return Info(measure).column; }
bool RadioMeasureOfSecondary(TRadioMeasure measure) { return Info(measure).secondary; }

std::optional<double> RadioMeasureOf(const TRadioCell &cell, TRadioMeasure measure)
{
    return cell.*(Info(measure).member);
}

TQualityBands QualityBandsOf(TRadioMeasure measure) { return Info(measure).bands; }

int QualityClass(TRadioMeasure measure, double value)
{
    const TQualityBands bands = QualityBandsOf(measure);
    for (std::size_t i = 0; i < bands.lower.size(); ++i)
        if (value >= bands.lower[i])
            return static_cast<int>(i);
    return static_cast<int>(bands.lower.size());
}

TRadioSample RadioSampleOf(const TNetState &record, std::int64_t timeMs)
{
    TRadioSample sample;
    sample.timeMs = timeMs;
    sample.values.fill(kUnknown);
    if (!record.serving)
        return sample;
    sample.tech = record.serving->rat != TRadioTech::Unknown ? record.serving->rat : record.rat;
    for (TRadioMeasure measure : kRadioMeasures) {
        const std::optional<TRadioCell> &cell = RadioMeasureOfSecondary(measure) ? record.secondary : record.serving;
        if (!cell)
            continue;
        if (const std::optional<double> value = RadioMeasureOf(*cell, measure))
            sample.values[static_cast<std::size_t>(measure)] = static_cast<float>(*value);
    }
    return sample;
}

void RadioHistory::Add(const TRadioSample &sample)
{
    if (!Empty() && sample.timeMs < LastTimeMs())
        return;
    TRadioEntry entry;
    entry.startMs = entry.endMs = sample.timeMs;
    entry.tech = sample.tech;
    entry.min = entry.max = entry.mean = sample.values;
    m_recent.push_back(entry);
    const std::int64_t recentFrom = sample.timeMs - kRecentSpan.count();
    while (!m_recent.empty() && (m_recent.front().startMs < recentFrom || m_recent.size() > kMaxRecentSamples)) {
        Reduce(m_recent.front());
        m_recent.pop_front();
    }
    DropOlderThan(sample.timeMs - m_span.count());
}

void RadioHistory::Clear()
{
    m_reduced.clear();
    m_open.reset();
    m_recent.clear();
}

std::int64_t RadioHistory::FirstTimeMs() const
{
    if (!m_reduced.empty())
        return m_reduced.front().startMs;
    if (m_open)
        return m_open->entry.startMs;
    return m_recent.empty() ? 0 : m_recent.front().startMs;
}

std::int64_t RadioHistory::LastTimeMs() const
{
    if (!m_recent.empty())
        return m_recent.back().endMs;
    if (m_open)
        return m_open->entry.endMs;
    return m_reduced.empty() ? 0 : m_reduced.back().endMs;
}

std::size_t RadioHistory::MemoryBytes() const
{
    return sizeof(*this) + DequeBytes<TRadioEntry>(m_reduced.size()) + DequeBytes<TRadioEntry>(m_recent.size());
}

void RadioHistory::Reduce(const TRadioEntry &sample)
{
    const std::int64_t interval = kReducedInterval.count();
    if (m_open &&
        (m_open->entry.tech != sample.tech ||
         Floor(m_open->entry.startMs, interval) != Floor(sample.startMs, interval) ||
         sample.startMs - m_open->entry.endMs > kMaxJoinedGap.count()))
        CloseOpen();
    if (!m_open) {
        Accumulator open;
        open.entry.startMs = sample.startMs;
        open.entry.tech = sample.tech;
        open.entry.min.fill(std::numeric_limits<float>::infinity());
        open.entry.max.fill(-std::numeric_limits<float>::infinity());
        m_open = open;
    }
    TRadioEntry &entry = m_open->entry;
    entry.endMs = sample.endMs;
    for (std::size_t i = 0; i < kRadioMeasureCount; ++i) {
        const float value = sample.mean[i];
        if (std::isnan(value))
            continue;
        entry.min[i] = std::min(entry.min[i], value);
        entry.max[i] = std::max(entry.max[i], value);
        m_open->sum[i] += value;
        ++m_open->count[i];
    }
}

TRadioEntry RadioHistory::EntryOf(const Accumulator &open) const
{
    TRadioEntry entry = open.entry;
    for (std::size_t i = 0; i < kRadioMeasureCount; ++i) {
        const bool known = open.count[i] > 0;
        entry.min[i] = known ? entry.min[i] : kUnknown;
        entry.max[i] = known ? entry.max[i] : kUnknown;
        entry.mean[i] = known ? static_cast<float>(open.sum[i] / open.count[i]) : kUnknown;
    }
    return entry;
}

void RadioHistory::CloseOpen()
{
    if (m_open)
        m_reduced.push_back(EntryOf(*m_open));
    m_open.reset();
}

void RadioHistory::DropOlderThan(std::int64_t timeMs)
{
    // A technology that changes at every cycle closes an interval at every
    // cycle; the count bound holds the memory then.
    const std::size_t maxReduced = 2 * static_cast<std::size_t>(m_span / kReducedInterval) + 16;
    while (!m_reduced.empty() && (m_reduced.front().endMs < timeMs || m_reduced.size() > maxReduced))
        m_reduced.pop_front();
    if (m_reduced.empty() && m_open && m_open->entry.endMs < timeMs)
        m_open.reset();
    while (!m_recent.empty() && m_recent.front().endMs < timeMs)
        m_recent.pop_front();
}

template <class F> void RadioHistory::Visit(std::int64_t fromMs, std::int64_t toMs, F &&f) const
{
    const auto visit = [&](const std::deque<TRadioEntry> &entries) {
        auto it = std::lower_bound(entries.begin(), entries.end(), fromMs,
                                   [](const TRadioEntry &e, std::int64_t t) { return e.endMs < t; });
        for (; it != entries.end() && it->startMs <= toMs; ++it)
            if (!f(*it))
                return false;
        return true;
    };
    if (!visit(m_reduced))
        return;
    if (m_open && m_open->entry.endMs >= fromMs && m_open->entry.startMs <= toMs && !f(EntryOf(*m_open)))
        return;
    visit(m_recent);
}

std::vector<TRadioEntry> RadioHistory::Entries(std::int64_t fromMs, std::int64_t toMs) const
{
    std::vector<TRadioEntry> entries;
    Visit(fromMs, toMs, [&](const TRadioEntry &e) {
        entries.push_back(e);
        return true;
    });
    return entries;
}

std::vector<TRadioSegment> RadioHistory::Series(TRadioMeasure measure, std::int64_t fromMs, std::int64_t toMs,
                                                int columns) const
{
    std::vector<TRadioSegment> segments;
    if (toMs <= fromMs)
        return segments;
    columns = std::max(columns, 1);
    const std::size_t m = static_cast<std::size_t>(measure);
    const double columnMs = static_cast<double>(toMs - fromMs) / columns;
    const std::int64_t gap = kMaxJoinedGap.count();

    // The column being gathered: -1 left of the view, columns right of it.
    int column = 0;
    std::size_t gathered = 0;
    TRadioPoint sum;
    bool open = false; // a segment is being built
    std::int64_t lastEnd = 0;
    bool pastEnd = false;

    const auto flush = [&] {
        if (gathered == 0)
            return;
        const double n = static_cast<double>(gathered);
        segments.back().points.push_back({sum.timeMs / n, sum.mean / n, sum.min, sum.max});
        gathered = 0;
    };
    const auto close = [&] {
        flush();
        if (open && segments.back().points.empty())
            segments.pop_back();
        open = false;
    };

    Visit(fromMs - gap, toMs + gap, [&](const TRadioEntry &e) {
        const float mean = e.mean[m];
        if (open && (std::isnan(mean) || e.tech != segments.back().tech || e.startMs - lastEnd > gap))
            close();
        if (pastEnd && !open)
            return false; // what follows lies wholly right of the view
        if (std::isnan(mean))
            return true;
        const double mid = (static_cast<double>(e.startMs) + static_cast<double>(e.endMs)) / 2;
        int at = mid < fromMs ? -1 : mid > toMs ? columns : std::min(columns - 1, int((mid - fromMs) / columnMs));
        if (!open) {
            segments.push_back({e.tech, {}});
            open = true;
        } else if (at != column || at == -1) {
            // Left of the view only the newest entry counts: it starts the line.
            if (at == -1)
                gathered = 0;
            else
                flush();
        }
        lastEnd = e.endMs;
        column = at;
        if (gathered == 0)
            sum = {0, 0, e.min[m], e.max[m]};
        sum.timeMs += mid;
        sum.mean += mean;
        sum.min = std::min<double>(sum.min, e.min[m]);
        sum.max = std::max<double>(sum.max, e.max[m]);
        ++gathered;
        if (at == columns) {
            pastEnd = true;
            close();
        }
        return true;
    });
    close();
    return segments;
}

std::string RadioHistoryCsv(const RadioHistory &history, std::int64_t fromMs, std::int64_t toMs)
{
    std::string out = "time,end_time,rat";
    for (TRadioMeasure measure : kRadioMeasures) {
        const std::string name = RadioMeasureColumn(measure);
        std::string unit = RadioMeasureUnit(measure);
        std::transform(unit.begin(), unit.end(), unit.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        out += ',' + name + '_' + unit + ',' + name + "_min_" + unit + ',' + name + "_max_" + unit;
    }
    out += '\n';
    for (const TRadioEntry &e : history.Entries(fromMs, toMs)) {
        out += LocalTime(e.startMs) + ',' + LocalTime(e.endMs) + ',';
        if (const char *name = RadioTechName(e.tech))
            out += name;
        for (std::size_t i = 0; i < kRadioMeasureCount; ++i) {
            for (float value : {e.mean[i], e.min[i], e.max[i]}) {
                out += ',';
                AppendNumber(out, value);
            }
        }
        out += '\n';
    }
    return out;
}
