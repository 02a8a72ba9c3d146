#pragma once
// The fields of a cycle record, in one table. The JSON record, the CSV header
// and rows and the Prometheus gauges are all written from it, in its order:
// a new field is one more entry in RecordFields() (RecordFields.cpp), and a
// new kind of row list one more alternative of RecordField.

#include "CycleRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// One value of a record: missing (JSON null, an empty CSV field, no gauge
// series), a whole number, a number with a fraction (dB values) or a text.
using FieldValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// A Prometheus gauge that shows a number field: the number itself, or what
// convert makes of it for its source (nullopt: no series).
template <class Source> struct FieldGauge {
    std::string name;
    std::string help;
    std::optional<double> (*convert)(const Source &, double) = nullptr;
};

// One value read from Source (the record, or one row of a row list).
template <class Source> struct Field {
    const char *key; // the JSON key and the CSV column
    FieldValue (*value)(const Source &);
    std::vector<FieldGauge<Source>> gauges = {};
    // A label of the metrics: of palvex_modem_info for a field of the
    // record, of the row's series for a field of a row (whose series are
    // replaced when a label changes).
    bool label = false;
};

// A fixed number of rows of the same fields, such as the cell grid. JSON: an
// array with one object per row, null for a missing row. CSV: the columns
// <column><index>_<key> of every row, all empty for a missing row. Metrics:
// one series per row and gauge, labelled with the port, the row index and
// the row's label fields.
template <class Row> struct RowsField {
    const char *key;    // the JSON key
    const char *column; // the prefix of the CSV columns
    std::size_t count;
    const Row *(*row)(const CycleRecord &, std::size_t index); // nullptr: the row is missing
    std::vector<Field<Row>> fields;
    // For a list of any length: JSON writes this many rows and no nulls;
    // CSV still has the columns of count rows.
    std::size_t (*size)(const CycleRecord &) = nullptr;
    // For a list written in one CSV column named column (the event types):
    // its text; the rows then have no CSV columns of their own.
    std::string (*csv)(const CycleRecord &) = nullptr;
};

// One object that may be missing, such as the serving cell. JSON: an object,
// or null. CSV: the columns <column>_<key>. Metrics: its gauges labelled
// with the port, and the info gauge (value 1) labelled with the port and the
// label fields while the object is there.
template <class Object> struct ObjectField {
    const char *key;
    const char *column;
    const Object *(*object)(const CycleRecord &);
    std::vector<Field<Object>> fields;
    const char *infoName;
    const char *infoHelp;
};

using RecordField = std::variant<Field<CycleRecord>, RowsField<TCellRow>, ObjectField<TRadioCell>,
                                 RowsField<TNeighbourCell>, RowsField<TCarrier>, RowsField<RecordEvent>,
                                 ObjectField<RecordPosition>>;

// Every field of the record in the order the formats write them.
const std::vector<RecordField> &RecordFields();

const char *FieldKey(const RecordField &field);

// -113 + 2 * rssi, with the +CSQ rssi recovered from the percent value
// (percent = rssi * 100 / 32, rounded down).
int SignalDbm(int percent);
