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
// Update and the counters run on the GUI thread; the HTTP server's thread
// (MetricsServer) only collects, which the library synchronises itself.

#include "NetState.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>

#include <memory>
#include <string>
#include <vector>

struct CycleRecord;

class MetricsServer;

namespace prometheus {
class Registry;
} // namespace prometheus

class MetricsExporter {
public:
    explicit MetricsExporter(std::string port);
    ~MetricsExporter();
    MetricsExporter(const MetricsExporter &) = delete;
    MetricsExporter &operator=(const MetricsExporter &) = delete;

    // Serves /metrics on address, "HOST:PORT" or "[IPv6]:PORT", bound to
    // that host only. False with error set when the address is malformed or
    // cannot be bound ("address already in use" among the reasons).
    bool Listen(const std::string &address, std::string &error);

    // The port actually bound (useful with port 0); 0 when not listening.
    int ListeningPort() const;

    void Update(const CycleRecord &record);
    void Update(const TNetState &state, const std::string &manufacturer, const std::string &model);
    // The port went away (or did not open): every series of the last cycle
    // leaves the exposition, palvex_port_open is 0 until PortOpened.
    void PortClosed();
    void PortOpened();
    // A record the record log could not take.
    void CountRecordNotWritten();
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
    prometheus::Labels m_portLabels; // {port}
    std::shared_ptr<prometheus::Registry> m_registry;
    std::unique_ptr<MetricsServer> m_server;

    std::vector<FieldSeries> m_fields; // parallel to RecordFields()
    GaugeFamily *m_infoFamily = nullptr;
    prometheus::Gauge *m_info = nullptr;
    prometheus::Labels m_infoLabels;

    prometheus::Counter *m_cycles = nullptr;
    prometheus::Counter *m_timeouts = nullptr;
    prometheus::Counter *m_reconnects = nullptr;
    prometheus::Counter *m_recordsNotWritten = nullptr;
    prometheus::Gauge *m_portOpen = nullptr; // 0 until the port opens
    // palvex_events_total, one series per event type from the start.
    prometheus::Family<prometheus::Counter> *m_events = nullptr;
};
