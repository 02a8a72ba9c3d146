#include "RecordFields.h"

namespace {

using RecordValue = Field<CycleRecord>;
using CellValue = Field<TCellRow>;

// A number or text of the display record, missing when its flag is false.
template <auto Value, auto Valid> FieldValue StateNumber(const CycleRecord &record)
{
    return record.state.*Valid ? FieldValue(std::int64_t{record.state.*Value}) : FieldValue();
}

template <auto Value, auto Valid> FieldValue StateText(const CycleRecord &record)
{
    return record.state.*Valid ? FieldValue(record.state.*Value) : FieldValue();
}

template <auto Value> FieldValue CellNumber(const TCellRow &row) { return std::int64_t{row.*Value}; }

const TCellRow *CellOfRecord(const CycleRecord &record, std::size_t index)
{
    const TCellRow &row = record.state.cells[index];
    return row.valid ? &row : nullptr;
}

double SignalDbmOf(std::int64_t percent) { return SignalDbm(static_cast<int>(percent)); }

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
                    [](const CycleRecord &r) -> FieldValue {
                        return r.time.toUTC().toString(Qt::ISODateWithMs).toStdString();
                    }},
        RecordValue{"port", [](const CycleRecord &r) -> FieldValue { return r.port; }},
        RecordValue{"manufacturer", [](const CycleRecord &r) -> FieldValue { return r.manufacturer; }, {}, true},
        RecordValue{"model", [](const CycleRecord &r) -> FieldValue { return r.model; }, {}, true},
        RecordValue{"signal",
                    StateNumber<&TNetState::signal, &TNetState::signalValid>,
                    {{"palvex_signal_percent", "Signal quality of the last poll cycle in percent."},
                     {"palvex_signal_dbm", "Signal level of the last poll cycle in dBm (-113 + 2 * rssi).",
                      SignalDbmOf}}},
        RecordValue{"ber",
                    StateNumber<&TNetState::ber, &TNetState::berValid>,
                    {{"palvex_bit_error_rate", "Bit error rate class 0 to 7 of the last poll cycle."}}},
        RecordValue{"registration",
                    StateNumber<&TNetState::registration, &TNetState::registrationValid>,
                    {{"palvex_registration_state", "+CREG registration state of the last poll cycle."}}},
        RecordValue{"activity",
                    StateNumber<&TNetState::activity, &TNetState::activityValid>,
                    {{"palvex_activity", "+CPAS phone activity of the last poll cycle."}}},
        RecordValue{"operator_name", StateText<&TNetState::operatorName, &TNetState::operatorNameValid>, {}, true},
        RecordValue{"operator_code", StateText<&TNetState::operatorCode, &TNetState::operatorCodeValid>, {}, true},
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
    };
    return fields;
}

const char *FieldKey(const RecordField &field)
{
    return std::visit([](const auto &f) { return f.key; }, field);
}
