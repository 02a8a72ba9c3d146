#pragma once
// What changed between two consecutive cycle records: a handover or
// reselection, a technology or band change, carrier aggregation on or off or
// another number of carriers, a lost, regained or denied
// registration, roaming on or off, another operator, the signal falling
// below a threshold and back (with hysteresis), and what the session saw in
// between (the port lost and opened again, an incoming call answered).
// One deriver serves the window and the headless monitor alike; it only
// compares records and knows nothing of the session.

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CycleRecord;

// One event of a record: {type, from, to}; from and to are texts, missing
// where the event has no such side (the caller of an answered call has no
// "from").
struct RecordEvent {
    std::string type;
    std::optional<std::string> from;
    std::optional<std::string> to;

    bool operator==(const RecordEvent &) const = default;
};

// The event types, as the records, the CSV column and the metrics name them.
namespace RecordEventType {
inline constexpr const char *kServingCellChanged = "serving_cell_changed";
inline constexpr const char *kTechnologyChanged = "technology_changed";
inline constexpr const char *kBandChanged = "band_changed";
inline constexpr const char *kCarrierAggregationOn = "carrier_aggregation_on";
inline constexpr const char *kCarrierAggregationOff = "carrier_aggregation_off";
inline constexpr const char *kCarrierCountChanged = "carrier_count_changed";
inline constexpr const char *kRegistrationLost = "registration_lost";
inline constexpr const char *kRegistrationRegained = "registration_regained";
inline constexpr const char *kRegistrationDenied = "registration_denied";
inline constexpr const char *kRoamingOn = "roaming_on";
inline constexpr const char *kRoamingOff = "roaming_off";
inline constexpr const char *kOperatorChanged = "operator_changed";
inline constexpr const char *kSignalLow = "signal_low";
inline constexpr const char *kSignalRecovered = "signal_recovered";
inline constexpr const char *kPortReconnected = "port_reconnected";
inline constexpr const char *kCallAnswered = "call_answered";
} // namespace RecordEventType

// Every type above, in that order.
const std::vector<std::string> &RecordEventTypes();

// When the signal counts as low: below the RSRP threshold where the serving
// cell's RSRP is known, else below the signal percentage threshold. It is
// good again only at the threshold plus the hysteresis, so a value that
// wavers around the threshold gives no stream of events.
struct SignalThresholds {
    double rsrpDbm = -110.0;
    double rsrpHysteresisDb = 3.0;
    int signalPercent = 20;
    int signalHysteresisPercent = 5;
};

class RecordEventDeriver {
public:
    explicit RecordEventDeriver(SignalThresholds thresholds = {});

    void SetThresholds(const SignalThresholds &thresholds) { m_thresholds = thresholds; }
    const SignalThresholds &Thresholds() const { return m_thresholds; }

    // What the session told between two records; the next record carries it.
    void PortLost(const QDateTime &time);
    void PortOpened(const QDateTime &time);
    void IncomingCall(const std::string &number);
    void CallAnswered();

    // The events of record, compared with the records before it, in the
    // order of the types above. A value that a record lacks (unknown, or
    // cleared during an operator switch) is no change: the next record that
    // has it is compared with the last one that had it. The first record
    // gives only what the session told.
    std::vector<RecordEvent> Next(const CycleRecord &record);

    // Forgets every record and what the session told (another modem).
    void Reset();

private:
    struct Measure {
        std::optional<double> value;
        bool low = false;
    };

    SignalThresholds m_thresholds;
    std::string m_cell; // "cell <id> PCI <pci>"
    std::optional<std::int64_t> m_cellId;
    std::optional<std::int32_t> m_pci;
    std::optional<std::string> m_technology;
    std::optional<std::string> m_band;
    std::optional<std::size_t> m_carrierCount;
    std::string m_carriers; // "2 carriers: B3+B7"
    std::optional<int> m_registration;
    std::optional<bool> m_roaming; // of the last registered record
    std::optional<std::string> m_operatorCode;
    std::optional<std::string> m_operatorName;
    Measure m_rsrp;
    Measure m_percent;
    std::optional<QDateTime> m_lostAt;
    std::vector<RecordEvent> m_pending;
    std::string m_caller;
};

// An event for people: "serving cell changed: cell 1 PCI 2 → cell 3 PCI 4",
// "call answered: +4930123" (the type with blanks, then from → to).
std::string RecordEventText(const RecordEvent &event);

// The event types of a record joined by ';' (the CSV column).
std::string RecordEventTypesText(const std::vector<RecordEvent> &events);
