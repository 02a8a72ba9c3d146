#include "MetricsExporter.h"

#include <prometheus/exposer.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <charconv>
#include <exception>

using prometheus::BuildCounter;
using prometheus::BuildGauge;
using prometheus::Labels;

MetricsExporter::MetricsExporter(std::string port)
    : m_port(std::move(port))
    , m_registry(std::make_shared<prometheus::Registry>())
{
    auto gauge = [this](const char *name, const char *help) -> GaugeFamily * {
        return &BuildGauge().Name(name).Help(help).Register(*m_registry);
    };
    m_signalPercentFamily = gauge("palvex_signal_percent", "Signal quality of the last poll cycle in percent.");
    m_signalDbmFamily = gauge("palvex_signal_dbm", "Signal level of the last poll cycle in dBm (-113 + 2 * rssi).");
    m_berFamily = gauge("palvex_bit_error_rate", "Bit error rate class 0 to 7 of the last poll cycle.");
    m_registrationFamily = gauge("palvex_registration_state", "+CREG registration state of the last poll cycle.");
    m_activityFamily = gauge("palvex_activity", "+CPAS phone activity of the last poll cycle.");
    m_cellDbmFamily = gauge("palvex_cell_dbm", "Received level of a cell row in dBm (row 0 is the serving cell).");
    m_cellRssiFamily = gauge("palvex_cell_rssi", "Raw received level 0 to 63 of a cell row.");
    m_infoFamily = gauge("palvex_modem_info", "Modem identity and operator; the value is always 1.");

    auto counter = [this](const char *name, const char *help) -> prometheus::Counter * {
        return &BuildCounter().Name(name).Help(help).Register(*m_registry).Add({{"port", m_port}});
    };
    m_cycles = counter("palvex_cycles_total", "Completed poll cycles.");
    m_timeouts = counter("palvex_timeouts_total", "Commands the modem did not answer in time.");
    m_reconnects = counter("palvex_reconnects_total", "Successful opens of the port after the first.");
}

MetricsExporter::~MetricsExporter()
{
    // The exposer's threads stop before the registry they read goes away.
    m_exposer.reset();
}

bool MetricsExporter::ValidAddress(const std::string &address)
{
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= address.size())
        return false;
    const std::string host = address.substr(0, colon);
    if (host.front() == '[' && (host.size() < 3 || host.back() != ']'))
        return false;
    if (host.front() != '[' && host.find(':') != std::string::npos)
        return false;
    const std::string port = address.substr(colon + 1);
    int value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    return ec == std::errc() && end == port.data() + port.size() && value >= 0 && value <= 65535;
}

bool MetricsExporter::Listen(const std::string &address, std::string &error)
{
    if (!ValidAddress(address)) {
        error = "metrics address \"" + address + "\" is not HOST:PORT";
        return false;
    }
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(address, 2);
        m_exposer->RegisterCollectable(m_registry);
    } catch (const std::exception &e) {
        m_exposer.reset();
        error = "cannot serve metrics on " + address + ": " + e.what();
        return false;
    }
    return true;
}

int MetricsExporter::ListeningPort() const
{
    if (!m_exposer)
        return 0;
    const auto ports = m_exposer->GetListeningPorts();
    return ports.empty() ? 0 : ports.front();
}

int MetricsExporter::SignalDbm(int percent)
{
    const int rssi = (percent * 32 + 99) / 100;
    return -113 + 2 * rssi;
}

void MetricsExporter::SetOrRemove(GaugeFamily &family, prometheus::Gauge *&gauge, bool valid, double value)
{
    if (!valid) {
        if (gauge)
            family.Remove(gauge);
        gauge = nullptr;
        return;
    }
    if (!gauge)
        gauge = &family.Add({{"port", m_port}});
    gauge->Set(value);
}

void MetricsExporter::RemoveCell(std::size_t row)
{
    CellSeries &cell = m_cells[row];
    if (cell.dbm)
        m_cellDbmFamily->Remove(cell.dbm);
    if (cell.rssi)
        m_cellRssiFamily->Remove(cell.rssi);
    cell = {};
}

void MetricsExporter::Update(const TNetState &state, const std::string &manufacturer, const std::string &model)
{
    SetOrRemove(*m_signalPercentFamily, m_signalPercent, state.signalValid, state.signal);
    SetOrRemove(*m_signalDbmFamily, m_signalDbm, state.signalValid, SignalDbm(state.signal));
    SetOrRemove(*m_berFamily, m_ber, state.berValid, state.ber);
    SetOrRemove(*m_registrationFamily, m_registration, state.registrationValid, state.registration);
    SetOrRemove(*m_activityFamily, m_activity, state.activityValid, state.activity);

    for (std::size_t row = 0; row < state.cells.size(); ++row) {
        const TCellRow &cell = state.cells[row];
        CellSeries &series = m_cells[row];
        if (!cell.valid || (series.dbm && series.channel != cell.channel))
            RemoveCell(row);
        if (!cell.valid)
            continue;
        if (!series.dbm) {
            const Labels labels{{"port", m_port},
                                {"row", std::to_string(row)},
                                {"channel", std::to_string(cell.channel)},
                                {"band", BandOfChannel(cell.channel)}};
            series.dbm = &m_cellDbmFamily->Add(labels);
            series.rssi = &m_cellRssiFamily->Add(labels);
            series.channel = cell.channel;
        }
        series.dbm->Set(cell.dbm);
        series.rssi->Set(cell.rssi);
    }

    const Labels info{{"port", m_port},
                      {"manufacturer", manufacturer},
                      {"model", model},
                      {"operator_name", state.operatorNameValid ? state.operatorName : std::string()},
                      {"operator_code", state.operatorCodeValid ? state.operatorCode : std::string()}};
    if (m_info && info != m_infoLabels) {
        m_infoFamily->Remove(m_info);
        m_info = nullptr;
    }
    if (!m_info) {
        m_info = &m_infoFamily->Add(info);
        m_infoLabels = info;
    }
    m_info->Set(1);
}

void MetricsExporter::CountCycle() { m_cycles->Increment(); }
void MetricsExporter::CountTimeout() { m_timeouts->Increment(); }
void MetricsExporter::CountReconnect() { m_reconnects->Increment(); }

std::string MetricsExporter::Text() const
{
    return prometheus::TextSerializer().Serialize(m_registry->Collect());
}
