#include "RecordFields.h"

#include "modems/common/CellIdentity.h"
#include "VRynLogger.h"

#include <algorithm>
#include <type_traits>

namespace {

using RecordValue = Field<CycleRecord>;
using CellValue = Field<TCellRow>;

// A number or text of the display record, missing when its flag is false.
template <auto Value, auto Valid> FieldValue StateNumber(const CycleRecord &record)
{
    return record.state.*Valid ? FieldValue(std::int64_t{record.state.*Value}) : FieldValue();
}

// Signal and bit error rate of +CSQ: missing where the modem said 99 (not
// known), which the display record keeps as 0 for the design's look.
FieldValue CsqSignal(const CycleRecord &record)
{
    if (record.csqRssi && *record.csqRssi == 99)
        return {};
    return StateNumber<&TNetState::signal, &TNetState::signalValid>(record);
}

FieldValue CsqBer(const CycleRecord &record)
{
    if (record.csqBer && *record.csqBer == 99)
        return {};
    return StateNumber<&TNetState::ber, &TNetState::berValid>(record);
}

// The operator's name or code; missing where the modem named none (the
// display record keeps the design's "?" for the status bar).
template <auto Value, auto Valid> FieldValue OperatorText(const CycleRecord &record)
{
    const std::string &text = record.state.*Value;
    return record.state.*Valid && text != "?" ? FieldValue(text) : FieldValue();
}

// A text of the modem's identity; missing where the modem did not say.
template <auto Value> FieldValue IdentityText(const CycleRecord &record)
{
    const std::string &text = record.identity.*Value;
    return text.empty() ? FieldValue() : FieldValue(text);
}

template <auto Value> FieldValue CellNumber(const TCellRow &row) { return std::int64_t{row.*Value}; }

const TCellRow *CellOfRecord(const CycleRecord &record, std::size_t index)
{
    const TCellRow &row = record.state.cells[index];
    return row.valid ? &row : nullptr;
}

// The signal in dBm; for rssi 99 the signal itself is missing, so no
// made-up -113 dBm is shown either.
std::optional<double> SignalDbmOf(const CycleRecord &, double percent)
{
    return SignalDbm(static_cast<int>(percent));
}

template <class T> FieldValue Optional(const std::optional<T> &value)
{
    if (!value)
        return {};
    if constexpr (std::is_floating_point_v<T>)
        return FieldValue(static_cast<double>(*value));
    else
        return FieldValue(static_cast<std::int64_t>(*value));
}

FieldValue TechName(TRadioTech tech)
{
    const char *name = RadioTechName(tech);
    return name ? FieldValue(std::string(name)) : FieldValue();
}

// A time as UTC with milliseconds (Qt::ISODateWithMs), whatever zone it was
// taken in; empty when it is not valid.
std::string UtcText(const QDateTime &time)
{
    std::string text;
    if (time.isValid())
        VRynAppendTimeText(text, time.toMSecsSinceEpoch(), true);
    return text;
}

template <auto Member, class Source> FieldValue OptionalOf(const Source &source) { return Optional(source.*Member); }

// The fields of a serving or secondary cell; its measures are gauges named
// palvex_<prefix>_<measure>_<unit>, its identity the labels of the info gauge.
std::vector<Field<TRadioCell>> RadioCellFields(const std::string &prefix)
{
    using Cell = Field<TRadioCell>;
    auto gauge = [&](const char *measure, const char *unit, const char *what) {
        return std::vector<FieldGauge<TRadioCell>>{
            {"palvex_" + prefix + "_" + measure + "_" + unit, std::string(what) + " of the " + prefix + " cell."}};
    };
    return {
        Cell{"rat", [](const TRadioCell &c) { return TechName(c.rat); }, {}, true},
        Cell{"mcc", OptionalOf<&TRadioCell::mcc, TRadioCell>, {}, true},
        Cell{"mnc", OptionalOf<&TRadioCell::mnc, TRadioCell>, {}, true},
        Cell{"area", OptionalOf<&TRadioCell::area, TRadioCell>, {}, true},
        Cell{"cell_id", OptionalOf<&TRadioCell::cellId, TRadioCell>, {}, true},
        // The parts of the cell id: LTE eNB and sector, NR gNB (24-bit id)
        // and cell; null for the other technologies.
        Cell{"enb_id", [](const TRadioCell &c) { return Optional(CellPartsOf(c).enbId); }, {}, true},
        Cell{"sector", [](const TRadioCell &c) { return Optional(CellPartsOf(c).sector); }, {}, true},
        Cell{"gnb_id", [](const TRadioCell &c) { return Optional(CellPartsOf(c).gnbId); }, {}, true},
        Cell{"nr_cell", [](const TRadioCell &c) { return Optional(CellPartsOf(c).nrCell); }, {}, true},
        Cell{"pci", OptionalOf<&TRadioCell::pci, TRadioCell>, {}, true},
        Cell{"channel", OptionalOf<&TRadioCell::channel, TRadioCell>, {}, true},
        Cell{"band",
             [](const TRadioCell &c) { return c.band.empty() ? FieldValue() : FieldValue(c.band); },
             {},
             true},
        Cell{"rssi", OptionalOf<&TRadioCell::rssi, TRadioCell>, gauge("rssi", "dbm", "Received signal strength in dBm")},
        Cell{"rsrp", OptionalOf<&TRadioCell::rsrp, TRadioCell>, gauge("rsrp", "dbm", "Reference signal received power in dBm")},
        Cell{"rsrq", OptionalOf<&TRadioCell::rsrq, TRadioCell>, gauge("rsrq", "db", "Reference signal received quality in dB")},
        Cell{"sinr", OptionalOf<&TRadioCell::sinr, TRadioCell>, gauge("sinr", "db", "Signal to interference and noise ratio in dB")},
        Cell{"rscp", OptionalOf<&TRadioCell::rscp, TRadioCell>, gauge("rscp", "dbm", "Received signal code power in dBm")},
        Cell{"ecno", OptionalOf<&TRadioCell::ecno, TRadioCell>, gauge("ecno", "db", "Energy per chip to noise in dB")},
    };
}

const TNeighbourCell *NeighbourOfRecord(const CycleRecord &record, std::size_t index)
{
    const auto &list = record.state.neighbours;
    return index < list.size() ? &list[index] : nullptr;
}

// The neighbours in the CSV columns; JSON has them all.
constexpr std::size_t kCsvNeighbours = 8;

const TCarrier *CarrierOfRecord(const CycleRecord &record, std::size_t index)
{
    const auto &list = record.state.carriers;
    return index < list.size() ? &list[index] : nullptr;
}

// The carriers in the CSV columns and the metrics' series; JSON has them
// all. Four carriers are what most modules aggregate.
constexpr std::size_t kCsvCarriers = 4;

// A gauge of a component carrier, labelled with its row, role and band.
std::vector<FieldGauge<TCarrier>> CarrierGauge(const char *measure, const char *unit, const char *what)
{
    return {{std::string("palvex_carrier_") + measure + "_" + unit, std::string(what) + " of a component carrier."}};
}

} // namespace

int SignalDbm(int percent)
{
    const int rssi = (percent * 32 + 99) / 100;
    return -113 + 2 * rssi;
}

const std::vector<RecordField> &RecordFields()
{
    static const std::vector<RecordField> fields{
        RecordValue{"cycle", [](const CycleRecord &r) -> FieldValue { return static_cast<std::int64_t>(r.cycle); }},
        // UTC with milliseconds, whatever zone the time was taken in.
        RecordValue{"time",
                    [](const CycleRecord &r) -> FieldValue { return UtcText(r.time); }},
        RecordValue{"port", [](const CycleRecord &r) -> FieldValue { return r.port; }},
        RecordValue{"manufacturer", [](const CycleRecord &r) -> FieldValue { return r.manufacturer; }, {}, true},
        RecordValue{"model", [](const CycleRecord &r) -> FieldValue { return r.model; }, {}, true},
        RecordValue{"signal",
                    CsqSignal,
                    {{"palvex_signal_percent", "Signal quality of the last poll cycle in percent."},
                     {"palvex_signal_dbm",
                      "Signal level of the last poll cycle in dBm (-113 + 2 * rssi); absent for rssi 99.",
                      SignalDbmOf}}},
        RecordValue{"ber",
                    CsqBer,
                    {{"palvex_bit_error_rate",
                      "Bit error rate class 0 to 7 of the last poll cycle; absent for ber 99 (not known)."}}},
        RecordValue{"registration",
                    StateNumber<&TNetState::registration, &TNetState::registrationValid>,
                    {{"palvex_registration_state", "+CREG registration state of the last poll cycle."}}},
        RecordValue{"activity",
                    StateNumber<&TNetState::activity, &TNetState::activityValid>,
                    {{"palvex_activity", "+CPAS phone activity of the last poll cycle."}}},
        RecordValue{"operator_name", OperatorText<&TNetState::operatorName, &TNetState::operatorNameValid>, {}, true},
        RecordValue{"operator_code", OperatorText<&TNetState::operatorCode, &TNetState::operatorCodeValid>, {}, true},
        // Row 0 is the serving cell, rows 1 to 6 the neighbours.
        RowsField<TCellRow>{
            "cells",
            "cell",
            kNetStateCellCount,
            CellOfRecord,
            {
                CellValue{"channel", CellNumber<&TCellRow::channel>, {}, true},
                CellValue{"band", [](const TCellRow &c) -> FieldValue { return BandOfChannel(c.channel); }, {}, true},
                CellValue{"rssi",
                          CellNumber<&TCellRow::rssi>,
                          {{"palvex_cell_rssi", "Raw received level 0 to 63 of a cell row."}}},
                CellValue{"dbm",
                          CellNumber<&TCellRow::dbm>,
                          {{"palvex_cell_dbm", "Received level of a cell row in dBm (row 0 is the serving cell)."}}},
                // C1 is the one cell value a line may lack; the parser leaves the marker.
                CellValue{"c1",
                          [](const TCellRow &c) -> FieldValue {
                              return c.c1 != kMissingInteger ? FieldValue(std::int64_t{c.c1}) : FieldValue();
                          }},
                CellValue{"mcc", CellNumber<&TCellRow::mcc>},
                CellValue{"mnc", CellNumber<&TCellRow::mnc>},
            }},
        RecordValue{"rat", [](const CycleRecord &r) { return TechName(r.state.rat); }},
        ObjectField<TRadioCell>{"serving",
                                "serving",
                                [](const CycleRecord &r) { return r.state.serving ? &*r.state.serving : nullptr; },
                                RadioCellFields("serving"),
                                "palvex_serving_cell_info",
                                "Identity of the serving cell; the value is always 1."},
        ObjectField<TRadioCell>{"secondary",
                                "secondary",
                                [](const CycleRecord &r) { return r.state.secondary ? &*r.state.secondary : nullptr; },
                                RadioCellFields("secondary"),
                                "palvex_secondary_cell_info",
                                "Identity of the secondary (NR) cell of a dual connection; the value is always 1."},
        RowsField<TNeighbourCell>{
            "neighbours",
            "nb",
            kCsvNeighbours,
            NeighbourOfRecord,
            {
                Field<TNeighbourCell>{"rat", [](const TNeighbourCell &c) { return TechName(c.rat); }},
                Field<TNeighbourCell>{"channel", OptionalOf<&TNeighbourCell::channel, TNeighbourCell>},
                Field<TNeighbourCell>{"pci", OptionalOf<&TNeighbourCell::pci, TNeighbourCell>},
                Field<TNeighbourCell>{"rssi", OptionalOf<&TNeighbourCell::rssi, TNeighbourCell>},
                Field<TNeighbourCell>{"rsrp", OptionalOf<&TNeighbourCell::rsrp, TNeighbourCell>},
                Field<TNeighbourCell>{"rsrq", OptionalOf<&TNeighbourCell::rsrq, TNeighbourCell>},
                Field<TNeighbourCell>{"rscp", OptionalOf<&TNeighbourCell::rscp, TNeighbourCell>},
                Field<TNeighbourCell>{"ecno", OptionalOf<&TNeighbourCell::ecno, TNeighbourCell>},
            },
            [](const CycleRecord &r) { return std::min(r.state.neighbours.size(), kMaxNeighbourCells); }},
        // The component carriers of carrier aggregation, the primary first.
        RowsField<TCarrier>{
            "carriers",
            "ca",
            kCsvCarriers,
            CarrierOfRecord,
            {
                Field<TCarrier>{"role",
                                [](const TCarrier &c) -> FieldValue { return std::string(CarrierRoleName(c.role)); },
                                {},
                                true},
                Field<TCarrier>{"rat", [](const TCarrier &c) { return TechName(c.rat); }},
                Field<TCarrier>{"band",
                                [](const TCarrier &c) { return c.band.empty() ? FieldValue() : FieldValue(c.band); },
                                {},
                                true},
                Field<TCarrier>{"channel", OptionalOf<&TCarrier::channel, TCarrier>},
                Field<TCarrier>{"pci", OptionalOf<&TCarrier::pci, TCarrier>},
                Field<TCarrier>{"bandwidth_mhz", OptionalOf<&TCarrier::bandwidthMhz, TCarrier>,
                                CarrierGauge("bandwidth", "mhz", "Downlink bandwidth in MHz")},
                Field<TCarrier>{"rssi", OptionalOf<&TCarrier::rssi, TCarrier>,
                                CarrierGauge("rssi", "dbm", "Received signal strength in dBm")},
                Field<TCarrier>{"rsrp", OptionalOf<&TCarrier::rsrp, TCarrier>,
                                CarrierGauge("rsrp", "dbm", "Reference signal received power in dBm")},
                Field<TCarrier>{"rsrq", OptionalOf<&TCarrier::rsrq, TCarrier>,
                                CarrierGauge("rsrq", "db", "Reference signal received quality in dB")},
                Field<TCarrier>{"sinr", OptionalOf<&TCarrier::sinr, TCarrier>,
                                CarrierGauge("sinr", "db", "Signal to interference and noise ratio in dB")},
            },
            [](const CycleRecord &r) { return std::min(r.state.carriers.size(), kMaxCarriers); }},
        // What changed since the record before; CSV: the types, joined by ';'.
        RowsField<RecordEvent>{
            "events",
            "events",
            0,
            [](const CycleRecord &r, std::size_t index) { return index < r.events.size() ? &r.events[index] : nullptr; },
            {
                Field<RecordEvent>{"type", [](const RecordEvent &e) -> FieldValue { return e.type; }},
                Field<RecordEvent>{"from", [](const RecordEvent &e) -> FieldValue { return e.from ? FieldValue(*e.from) : FieldValue(); }},
                Field<RecordEvent>{"to", [](const RecordEvent &e) -> FieldValue { return e.to ? FieldValue(*e.to) : FieldValue(); }},
            },
            [](const CycleRecord &r) { return r.events.size(); },
            [](const CycleRecord &r) { return RecordEventTypesText(r.events); }},
        ObjectField<RecordPosition>{
            "position",
            "position",
            [](const CycleRecord &r) { return r.position ? &*r.position : nullptr; },
            {
                Field<RecordPosition>{"lat",
                                      [](const RecordPosition &p) -> FieldValue { return p.lat; },
                                      {{"palvex_position_latitude_degrees", "Latitude of the last position (WGS84)."}}},
                Field<RecordPosition>{"lon",
                                      [](const RecordPosition &p) -> FieldValue { return p.lon; },
                                      {{"palvex_position_longitude_degrees", "Longitude of the last position (WGS84)."}}},
                Field<RecordPosition>{"alt_m",
                                      OptionalOf<&RecordPosition::altM, RecordPosition>,
                                      {{"palvex_position_altitude_meters", "Altitude above mean sea level."}}},
                Field<RecordPosition>{"speed_kmh",
                                      OptionalOf<&RecordPosition::speedKmh, RecordPosition>,
                                      {{"palvex_position_speed_kmh", "Speed over ground in km/h."}}},
                Field<RecordPosition>{"fix", [](const RecordPosition &p) -> FieldValue { return p.fix; }, {}, true},
                Field<RecordPosition>{"time",
                                      [](const RecordPosition &p) -> FieldValue {
                                          return p.time.isValid() ? FieldValue(UtcText(p.time)) : FieldValue();
                                      }},
            },
            "palvex_position_info",
            "The fix of the last position (label fix: 2d or 3d); the value is always 1."},
        // Last, so that CSV logs of earlier versions keep their columns.
        RecordValue{"firmware", IdentityText<&ModemIdentity::firmware>, {}, true},
        RecordValue{"sim", IdentityText<&ModemIdentity::sim>, {}, true},
        RecordValue{"imei", IdentityText<&ModemIdentity::imei>},
        RecordValue{"imsi", IdentityText<&ModemIdentity::imsi>},
        RecordValue{"iccid", IdentityText<&ModemIdentity::iccid>},
    };
    return fields;
}

const char *FieldKey(const RecordField &field)
{
    return std::visit([](const auto &f) { return f.key; }, field);
}
