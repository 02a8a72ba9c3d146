#pragma once
// Prometheus metrics of one monitored modem, served over HTTP at /metrics.
//
// The gauges are those of the record's field table (RecordFields) and follow
// the last completed poll cycle; a missing value is removed from the
// exposition rather than shown as a stale or made up number, and so are the
// series of rows that are missing now or whose label fields changed. The
// label fields of the record make up palvex_modem_info. Every series carries
// the label port.
//
// Update and the counters run on the GUI thread; the exposer's threads only
// collect, which the library synchronises itself.

#include "NetState.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

struct CycleRecord;

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

    // Serves /metrics on address, "HOST:PORT" (or "[IPv6]:PORT" where the
    // HTTP server has IPv6), bound to that host only. False with error set
    // when the address is malformed, is IPv6 without IPv6 support or cannot
    // be bound.
    bool Listen(const std::string &address, std::string &error);
    // How long the server waits for a whole request (and for a reply to be
    // taken) before it drops the connection.
    static constexpr std::chrono::milliseconds kRequestTimeout{3000};

    // The port actually bound (useful with port 0); 0 when not listening.
    int ListeningPort() const;

    void Update(const CycleRecord &record);
    void Update(const TNetState &state, const std::string &manufacturer, const std::string &model);
    void CountCycle();
    void CountTimeout();
    void CountReconnect();

    // The exposition text as a scrape returns it.
    std::string Text() const;

    // True when address is "HOST:PORT" with a non-empty host and a port of
    // 0 to 65535.
    static bool ValidAddress(const std::string &address);

private:
    using GaugeFamily = prometheus::Family<prometheus::Gauge>;
    // The series of one entry of the field table: for a field of the
    // record one gauge per family; for a row list, row by row, one gauge per
    // family (the gauges of its fields in table order), with the labels the
    // row's series carry.
    struct FieldSeries {
        std::vector<GaugeFamily *> families;
        std::vector<prometheus::Gauge *> gauges;
        std::vector<prometheus::Labels> rowLabels;
    };
    struct Updater;

    std::string m_port;
    std::string m_host; // listened on, without brackets
    std::shared_ptr<prometheus::Registry> m_registry;
    std::unique_ptr<prometheus::Exposer> m_exposer;

    std::vector<FieldSeries> m_fields; // parallel to RecordFields()
    GaugeFamily *m_infoFamily = nullptr;
    prometheus::Gauge *m_info = nullptr;
    prometheus::Labels m_infoLabels;

    prometheus::Counter *m_cycles = nullptr;
    prometheus::Counter *m_timeouts = nullptr;
    prometheus::Counter *m_reconnects = nullptr;
};
