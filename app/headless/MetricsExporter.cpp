#include "MetricsExporter.h"

#include "MetricsServer.h"
#include "CycleRecord.h"
#include "RecordFields.h"
#include "VRynLogger.h"

#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <optional>
#include <type_traits>

using prometheus::BuildCounter;
using prometheus::BuildGauge;
using prometheus::Labels;

namespace {

using GaugeFamily = prometheus::Family<prometheus::Gauge>;

// Label values stay short: an operator name is cut here, the record keeps
// more of it.
constexpr std::size_t kLabelCharacters = 64;

void Remove(GaugeFamily &family, prometheus::Gauge *&gauge)
{
    if (gauge)
        family.Remove(gauge);
    gauge = nullptr;
}

// Shows a number value, adding the series with labels when it is new;
// removes the series when the value is missing.
template <class Source>
void SetOrRemove(GaugeFamily &family, prometheus::Gauge *&gauge, const Labels &labels,
                 const FieldGauge<Source> &gaugeOf, const Source &source, const FieldValue &value)
{
    std::optional<double> number;
    if (const auto *whole = std::get_if<std::int64_t>(&value))
        number = static_cast<double>(*whole);
    else if (const auto *real = std::get_if<double>(&value))
        number = *real;
    if (number && gaugeOf.convert)
        number = gaugeOf.convert(source, *number);
    if (!number)
        return Remove(family, gauge);
    if (!gauge)
        gauge = &family.Add(labels);
    gauge->Set(*number);
}

// A text as a label value: cut short, and its control characters (ESC,
// BEL, NUL, C1...) escaped as every other output escapes them, so a scrape
// read in a terminal cannot steer it.
std::string LabelString(const std::string &text)
{
    // Most labels are short printable ASCII, which stays as it is.
    if (text.size() <= kLabelCharacters &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return text;
    std::string cut;
    VRynAppendTextOfBytes(cut, text, kLabelCharacters);
    std::string label;
    VRynAppendSafeText(label, cut);
    return label;
}

std::string LabelText(const FieldValue &value)
{
    if (const auto *number = std::get_if<std::int64_t>(&value))
        return std::to_string(*number);
    if (const auto *real = std::get_if<double>(&value))
        return QByteArray::number(*real, 'g', 15).toStdString();
    if (const auto *text = std::get_if<std::string>(&value))
        return LabelString(*text);
    return {};
}

} // namespace

template <class T> struct IsObjectField : std::false_type {};
template <class Item> struct IsObjectField<ObjectField<Item>> : std::true_type {};

// Brings the series of one entry of the field table up to date with record,
// and collects the record's labels for palvex_modem_info in info.
struct MetricsExporter::Updater {
    const std::string &port;
    const Labels &portOnly; // {port}, the labels of a series that has no others
    const CycleRecord &record;
    FieldSeries &series;
    Labels &info;

    void operator()(const Field<CycleRecord> &field) const
    {
        const FieldValue value = field.value(record);
        for (std::size_t g = 0; g < field.gauges.size(); ++g)
            SetOrRemove(*series.families[g], series.gauges[g], portOnly, field.gauges[g], record, value);
        if (field.label)
            info[field.key] = LabelText(value);
    }

    template <class Row> void operator()(const RowsField<Row> &rows) const
    {
        const std::size_t perRow = series.families.size();
        for (std::size_t r = 0; r < rows.count; ++r) {
            const Row *row = rows.row(record, r);
            Labels labels;
            if (row) {
                labels = {{"port", port}, {"row", std::to_string(r)}};
                for (const Field<Row> &field : rows.fields)
                    if (field.label)
                        labels[field.key] = LabelText(field.value(*row));
            }
            prometheus::Gauge **gauges = series.gauges.data() + r * perRow;
            if (labels != series.rowLabels[r]) {
                for (std::size_t g = 0; g < perRow; ++g)
                    Remove(*series.families[g], gauges[g]);
                series.rowLabels[r] = labels;
            }
            if (!row)
                continue;
            std::size_t g = 0;
            for (const Field<Row> &field : rows.fields) {
                if (field.gauges.empty())
                    continue;
                const FieldValue value = field.value(*row);
                for (const auto &gauge : field.gauges)
                    SetOrRemove(*series.families[g], gauges[g], labels, gauge, *row, value), ++g;
            }
        }
    }

    // The object's gauges, then its info series (the last family), which is
    // replaced when its labels change and removed with the object.
    template <class Item> void operator()(const ObjectField<Item> &object) const
    {
        const Item *item = object.object(record);
        Labels labels;
        std::size_t g = 0;
        for (const Field<Item> &field : object.fields) {
            const FieldValue value = item ? field.value(*item) : FieldValue();
            for (const auto &gauge : field.gauges) {
                if (item)
                    SetOrRemove(*series.families[g], series.gauges[g], portOnly, gauge, *item, value);
                else
                    Remove(*series.families[g], series.gauges[g]);
                ++g;
            }
            if (item && field.label)
                if (const std::string text = LabelText(value); !text.empty())
                    labels[field.key] = text;
        }
        if (item)
            labels["port"] = port;
        prometheus::Gauge *&info = series.gauges[g];
        if (labels != series.rowLabels.front()) {
            Remove(*series.families[g], info);
            series.rowLabels.front() = labels;
        }
        if (item && !info)
            info = &series.families[g]->Add(labels);
        if (info)
            info->Set(1);
    }
};

MetricsExporter::MetricsExporter(std::string port)
    : m_port(LabelString(port))
    , m_portLabels{{"port", m_port}}
    , m_registry(std::make_shared<prometheus::Registry>())
{
    auto family = [this](const auto &gauge) -> GaugeFamily * {
        return &BuildGauge().Name(gauge.name).Help(gauge.help).Register(*m_registry);
    };
    for (const RecordField &entry : RecordFields())
        std::visit(
            [&](const auto &field) {
                FieldSeries &series = m_fields.emplace_back();
                using Entry = std::decay_t<decltype(field)>;
                if constexpr (std::is_same_v<Entry, Field<CycleRecord>>) {
                    for (const auto &gauge : field.gauges)
                        series.families.push_back(family(gauge));
                    series.gauges.assign(series.families.size(), nullptr);
                } else if constexpr (IsObjectField<Entry>::value) {
                    for (const auto &objectField : field.fields)
                        for (const auto &gauge : objectField.gauges)
                            series.families.push_back(family(gauge));
                    series.families.push_back(
                        &BuildGauge().Name(field.infoName).Help(field.infoHelp).Register(*m_registry));
                    series.gauges.assign(series.families.size(), nullptr);
                    series.rowLabels.assign(1, {});
                } else {
                    for (const auto &rowField : field.fields)
                        for (const auto &gauge : rowField.gauges)
                            series.families.push_back(family(gauge));
                    series.gauges.assign(field.count * series.families.size(), nullptr);
                    series.rowLabels.assign(field.count, {});
                }
            },
            entry);
    m_infoFamily = &BuildGauge()
                        .Name("palvex_modem_info")
                        .Help("Modem identity and operator; the value is always 1.")
                        .Register(*m_registry);

    auto counter = [this](const char *name, const char *help) -> prometheus::Counter * {
        return &BuildCounter().Name(name).Help(help).Register(*m_registry).Add({{"port", m_port}});
    };
    m_cycles = counter("palvex_cycles_total", "Completed poll cycles.");
    m_timeouts = counter("palvex_timeouts_total", "Commands the modem did not answer in time.");
    m_reconnects = counter("palvex_reconnects_total", "Successful opens of the port after the first.");
    m_recordsNotWritten = counter("palvex_records_not_written_total",
                                  "Records the record log could not take (disk full, FIFO without reader...).");
    m_events = &BuildCounter()
                    .Name("palvex_events_total")
                    .Help("Events of the records by type (serving_cell_changed, signal_low...).")
                    .Register(*m_registry);
    for (const std::string &type : RecordEventTypes())
        m_events->Add({{"port", m_port}, {"type", type}});
    m_portOpen = &BuildGauge()
                      .Name("palvex_port_open")
                      .Help("1 while the modem's port is open, 0 while it is missing or failed.")
                      .Register(*m_registry)
                      .Add({{"port", m_port}});
}

MetricsExporter::~MetricsExporter() = default;

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
    const std::size_t colon = address.rfind(':');
    std::string host = address.substr(0, colon);
    if (host.front() == '[')
        host = host.substr(1, host.size() - 2);
    auto server = std::make_unique<MetricsServer>([registry = m_registry] {
        return prometheus::TextSerializer().Serialize(registry->Collect());
    });
    std::string reason;
    if (!server->Listen(host, std::stoi(address.substr(colon + 1)), reason)) {
        error = "cannot serve metrics on " + address + ": " + reason;
        return false;
    }
    m_server = std::move(server);
    return true;
}

int MetricsExporter::ListeningPort() const { return m_server ? m_server->Port() : 0; }

void MetricsExporter::Update(const CycleRecord &record)
{
    Labels info{{"port", m_port}};
    const std::vector<RecordField> &fields = RecordFields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        std::visit(Updater{m_port, m_portLabels, record, m_fields[i], info}, fields[i]);
    for (const RecordEvent &event : record.events)
        m_events->Add({{"port", m_port}, {"type", LabelString(event.type)}}).Increment();

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

void MetricsExporter::PortClosed()
{
    Update(CycleRecord{});
    m_infoFamily->Remove(m_info);
    m_info = nullptr;
    m_infoLabels.clear();
    m_portOpen->Set(0);
}

void MetricsExporter::PortOpened() { m_portOpen->Set(1); }

void MetricsExporter::CountRecordNotWritten() { m_recordsNotWritten->Increment(); }

void MetricsExporter::CountCycle() { m_cycles->Increment(); }
void MetricsExporter::CountTimeout() { m_timeouts->Increment(); }
void MetricsExporter::CountReconnect() { m_reconnects->Increment(); }

std::string MetricsExporter::Text() const
{
    return prometheus::TextSerializer().Serialize(m_registry->Collect());
}
