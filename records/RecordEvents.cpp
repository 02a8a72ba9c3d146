#include "RecordEvents.h"

#include "CycleRecord.h"

#include <QByteArray>

namespace {

std::string Number(double value) { return QByteArray::number(value, 'g', 15).toStdString(); }

// "cell 2893569 PCI 101", with the parts the modem told.
std::string CellText(const TRadioCell &cell)
{
    std::string text;
    if (cell.cellId)
        text = "cell " + std::to_string(*cell.cellId);
    if (cell.pci)
        text += (text.empty() ? "PCI " : " PCI ") + std::to_string(*cell.pci);
    return text;
}

// Two or more component carriers are carrier aggregation; "3 carriers:
// B3+B7+n78" (a carrier of unknown band as "?"), else "no aggregation".
std::string CarriersText(const std::vector<TCarrier> &carriers)
{
    if (carriers.size() < 2)
        return "no aggregation";
    std::string text = std::to_string(carriers.size()) + " carriers: ";
    for (std::size_t i = 0; i < carriers.size(); ++i)
        text += (i ? "+" : "") + (carriers[i].band.empty() ? std::string("?") : carriers[i].band);
    return text;
}

const char *RegistrationName(int state)
{
    switch (state) {
    case 0: return "not registered";
    case 1: return "home";
    case 2: return "searching";
    case 3: return "denied";
    case 5: return "roaming";
    default: return "unknown";
    }
}

bool Registered(int state) { return state == 1 || state == 5; }

// Two values of the same thing that the records both know and that differ.
template <class T> bool Differ(const std::optional<T> &before, const std::optional<T> &now)
{
    return before && now && *before != *now;
}

std::optional<std::string> OperatorText(const std::optional<std::string> &name, const std::optional<std::string> &code)
{
    if (name && code)
        return *name + " (" + *code + ")";
    return name ? name : code;
}

} // namespace

const std::vector<std::string> &RecordEventTypes()
{
    using namespace RecordEventType;
    static const std::vector<std::string> types{
        kServingCellChanged,  kTechnologyChanged,    kBandChanged,        kCarrierAggregationOn,
        kCarrierAggregationOff, kCarrierCountChanged, kRegistrationLost, kRegistrationRegained,
        kRegistrationDenied,  kRoamingOn,            kRoamingOff,         kOperatorChanged,
        kSignalLow,           kSignalRecovered,      kPortReconnected,    kCallAnswered};
    return types;
}

RecordEventDeriver::RecordEventDeriver(SignalThresholds thresholds)
    : m_thresholds(thresholds)
{
}

void RecordEventDeriver::PortLost(const QDateTime &time)
{
    if (!m_lostAt)
        m_lostAt = time;
}

void RecordEventDeriver::PortOpened(const QDateTime &time)
{
    if (!m_lostAt)
        return;
    m_pending.push_back({RecordEventType::kPortReconnected,
                         m_lostAt->toUTC().toString(Qt::ISODateWithMs).toStdString(),
                         time.toUTC().toString(Qt::ISODateWithMs).toStdString()});
    m_lostAt.reset();
}

void RecordEventDeriver::IncomingCall(const std::string &number) { m_caller = number; }

void RecordEventDeriver::CallAnswered()
{
    m_pending.push_back({RecordEventType::kCallAnswered, std::nullopt,
                         m_caller.empty() ? std::nullopt : std::optional<std::string>(m_caller)});
    m_caller.clear();
}

void RecordEventDeriver::Reset()
{
    *this = RecordEventDeriver(m_thresholds);
}

std::vector<RecordEvent> RecordEventDeriver::Next(const CycleRecord &record)
{
    using namespace RecordEventType;
    std::vector<RecordEvent> events;
    const TNetState &state = record.state;
    const TRadioCell *serving = state.serving ? &*state.serving : nullptr;

    // A handover or reselection: the cell id or the PCI changed.
    if (serving && (serving->cellId || serving->pci)) {
        const std::string text = CellText(*serving);
        if (Differ(m_cellId, serving->cellId) || Differ(m_pci, serving->pci)) {
            events.push_back({kServingCellChanged, m_cell, text});
            m_cellId = serving->cellId;
            m_pci = serving->pci;
        } else {
            m_cellId = serving->cellId ? serving->cellId : m_cellId;
            m_pci = serving->pci ? serving->pci : m_pci;
        }
        TRadioCell known;
        known.cellId = m_cellId;
        known.pci = m_pci;
        m_cell = CellText(known);
    }

    if (const char *tech = RadioTechName(state.rat)) {
        if (m_technology && *m_technology != tech)
            events.push_back({kTechnologyChanged, m_technology, tech});
        m_technology = tech;
    }

    if (serving && !serving->band.empty()) {
        if (m_band && *m_band != serving->band)
            events.push_back({kBandChanged, m_band, serving->band});
        m_band = serving->band;
    }

    // The carriers count where the serving cell is known: a record without
    // one (the port lost, the operator being switched) says nothing of them.
    if (serving) {
        const std::size_t count = state.carriers.size();
        const bool aggregated = count >= 2;
        const std::string text = CarriersText(state.carriers);
        if (m_carrierCount) {
            const bool before = *m_carrierCount >= 2;
            if (aggregated != before)
                events.push_back({aggregated ? kCarrierAggregationOn : kCarrierAggregationOff, m_carriers, text});
            else if (aggregated && count != *m_carrierCount)
                events.push_back({kCarrierCountChanged, m_carriers, text});
        }
        m_carrierCount = count;
        m_carriers = text;
    }

    if (state.registrationValid && state.registration >= 0) {
        const int now = state.registration;
        if (m_registration && *m_registration != now) {
            const int before = *m_registration;
            const RecordEvent change{"", RegistrationName(before), RegistrationName(now)};
            if (now == 3)
                events.push_back({kRegistrationDenied, change.from, change.to});
            else if (Registered(before) && !Registered(now))
                events.push_back({kRegistrationLost, change.from, change.to});
            else if (!Registered(before) && Registered(now))
                events.push_back({kRegistrationRegained, change.from, change.to});
        }
        if (Registered(now)) {
            const bool roaming = now == 5;
            if (m_roaming && *m_roaming != roaming)
                events.push_back({roaming ? kRoamingOn : kRoamingOff, RegistrationName(*m_roaming ? 5 : 1),
                                  RegistrationName(now)});
            m_roaming = roaming;
        }
        m_registration = now;
    }

    // The numeric codes decide where both records have them, else the names.
    const std::optional<std::string> code =
        state.operatorCodeValid && !state.operatorCode.empty() ? std::optional(state.operatorCode) : std::nullopt;
    const std::optional<std::string> name =
        state.operatorNameValid && !state.operatorName.empty() ? std::optional(state.operatorName) : std::nullopt;
    if (code || name) {
        const bool changed = (m_operatorCode && code) ? *m_operatorCode != *code : Differ(m_operatorName, name);
        if (changed) {
            events.push_back({kOperatorChanged, OperatorText(m_operatorName, m_operatorCode), OperatorText(name, code)});
            m_operatorCode = code;
            m_operatorName = name;
        } else {
            m_operatorCode = code ? code : m_operatorCode;
            m_operatorName = name ? name : m_operatorName;
        }
    }

    // The signal: RSRP where the serving cell has it, else the percentage of
    // +CSQ (not when the modem said 99).
    const bool csqKnown = state.signalValid && !(record.csqRssi && *record.csqRssi == 99);
    std::optional<double> value;
    Measure *measure = nullptr;
    double threshold = 0;
    double hysteresis = 0;
    const char *unit = "";
    if (serving && serving->rsrp) {
        value = *serving->rsrp;
        measure = &m_rsrp;
        threshold = m_thresholds.rsrpDbm;
        hysteresis = m_thresholds.rsrpHysteresisDb;
        unit = " dBm";
    } else if (csqKnown) {
        value = state.signal;
        measure = &m_percent;
        threshold = m_thresholds.signalPercent;
        hysteresis = m_thresholds.signalHysteresisPercent;
        unit = " %";
    }
    if (measure) {
        const bool low = measure->low ? *value < threshold + hysteresis : *value < threshold;
        if (measure->value && low != measure->low)
            events.push_back({low ? kSignalLow : kSignalRecovered, Number(*measure->value) + unit, Number(*value) + unit});
        measure->value = value;
        measure->low = low;
    }

    events.insert(events.end(), m_pending.begin(), m_pending.end());
    m_pending.clear();
    return events;
}

std::string RecordEventText(const RecordEvent &event)
{
    std::string text = event.type;
    for (char &c : text)
        if (c == '_')
            c = ' ';
    if (event.from && event.to)
        text += ": " + *event.from + " \u2192 " + *event.to;
    else if (event.from || event.to)
        text += ": " + (event.from ? *event.from : *event.to);
    return text;
}

std::string RecordEventTypesText(const std::vector<RecordEvent> &events)
{
    std::string text;
    for (const RecordEvent &event : events)
        text += (text.empty() ? "" : ";") + event.type;
    return text;
}
