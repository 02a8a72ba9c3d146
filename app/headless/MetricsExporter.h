#pragma once
// Prometheus metrics of one monitored modem, served over HTTP at /metrics.
//
// Gauges follow the last completed poll cycle; a value whose valid flag is
// false is removed from the exposition rather than shown as a stale or made
// up number, and so are the cell series of rows that are no longer valid or
// whose channel or band changed. Every series carries the label port.
//
// Update and the counters run on the GUI thread; the exposer's threads only
// collect, which the library synchronises itself.

#include "NetState.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>

#include <array>
#include <memory>
#include <string>

namespace prometheus {
class Exposer;
class Registry;
} // namespace prometheus

class MetricsExporter {
public:
    explicit MetricsExporter(std::string port);
    ~MetricsExporter();
    MetricsExporter(const MetricsExporter &) = delete;
    MetricsExporter &operator=(const MetricsExporter &) = delete;

    // Serves /metrics on address, "HOST:PORT" (or "[IPv6]:PORT"), bound to
    // that host only. False with error set when the address is malformed or
    // cannot be bound.
    bool Listen(const std::string &address, std::string &error);
    // The port actually bound (useful with port 0); 0 when not listening.
    int ListeningPort() const;

    void Update(const TNetState &state, const std::string &manufacturer, const std::string &model);
    void CountCycle();
    void CountTimeout();
    void CountReconnect();

    // The exposition text as a scrape returns it.
    std::string Text() const;

    // -113 + 2 * rssi, with the +CSQ rssi recovered from the percent value
    // (percent = rssi * 100 / 32, rounded down).
    static int SignalDbm(int percent);
    // True when address is "HOST:PORT" with a non-empty host and a port of
    // 0 to 65535.
    static bool ValidAddress(const std::string &address);

private:
    struct CellSeries {
        prometheus::Gauge *dbm = nullptr;
        prometheus::Gauge *rssi = nullptr;
        std::int32_t channel = 0;
    };
    using GaugeFamily = prometheus::Family<prometheus::Gauge>;

    void SetOrRemove(GaugeFamily &family, prometheus::Gauge *&gauge, bool valid, double value);
    void RemoveCell(std::size_t row);

    std::string m_port;
    std::shared_ptr<prometheus::Registry> m_registry;
    std::unique_ptr<prometheus::Exposer> m_exposer;

    GaugeFamily *m_signalPercentFamily = nullptr;
    GaugeFamily *m_signalDbmFamily = nullptr;
    GaugeFamily *m_berFamily = nullptr;
    GaugeFamily *m_registrationFamily = nullptr;
    GaugeFamily *m_activityFamily = nullptr;
    GaugeFamily *m_cellDbmFamily = nullptr;
    GaugeFamily *m_cellRssiFamily = nullptr;
    GaugeFamily *m_infoFamily = nullptr;

    prometheus::Gauge *m_signalPercent = nullptr;
    prometheus::Gauge *m_signalDbm = nullptr;
    prometheus::Gauge *m_ber = nullptr;
    prometheus::Gauge *m_registration = nullptr;
    prometheus::Gauge *m_activity = nullptr;
    prometheus::Gauge *m_info = nullptr;
    prometheus::Labels m_infoLabels;
    std::array<CellSeries, kNetStateCellCount> m_cells{};

    prometheus::Counter *m_cycles = nullptr;
    prometheus::Counter *m_timeouts = nullptr;
    prometheus::Counter *m_reconnects = nullptr;
};
