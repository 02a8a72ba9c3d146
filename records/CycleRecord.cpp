#include "CycleRecord.h"

#include "RecordFields.h"
#include "VRynLogger.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <cmath>

namespace {

// A string as Qt's JSON writer escapes it, quotes included, and DEL and the
// C1 controls (U+0080 to U+009F, which Qt leaves as they are) escaped too,
// so a record shown in a terminal cannot steer it.
QByteArray JsonString(const std::string &text)
{
    const QByteArray array =
        QJsonDocument(QJsonArray{QString::fromStdString(text)}).toJson(QJsonDocument::Compact);
    QByteArray out;
    out.reserve(array.size());
    for (qsizetype i = 1; i + 1 < array.size(); ++i) {
        const auto byte = static_cast<unsigned char>(array[i]);
        const auto next = i + 2 < array.size() ? static_cast<unsigned char>(array[i + 1]) : 0u;
        if (byte == 0x7F) {
            out += "\\u007f";
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += "\\u00" + QByteArray::number(next, 16);
            ++i;
        } else {
            out += char(byte);
        }
    }
    return out;
}

QByteArray Number(std::int64_t value) { return QByteArray::number(static_cast<qlonglong>(value)); }

// A value as a format writes it: numbers in decimal, texts as text writes
// them, a missing value as missing.
QByteArray Written(const FieldValue &value, QByteArray (*text)(const std::string &), const QByteArray &missing)
{
    if (const auto *number = std::get_if<std::int64_t>(&value))
        return Number(*number);
    // Shortest form that reads back the same: -95, -10.5.
    if (const auto *real = std::get_if<double>(&value))
        return std::isfinite(*real) ? QByteArray::number(*real, 'g', 15) : missing;
    if (const auto *string = std::get_if<std::string>(&value))
        return text(RecordText(*string, kRecordTextCharacters));
    return missing;
}

// The JSON text of an entry of the field table: a value, or an array of
// row objects.
struct JsonWriter {
    static QByteArray Value(const FieldValue &value) { return Written(value, JsonString, QByteArrayLiteral("null")); }

    template <class Source> static QByteArray Object(const std::vector<Field<Source>> &fields, const Source &source)
    {
        QByteArray out = "{";
        for (const Field<Source> &field : fields)
            out += (out.size() > 1 ? ",\"" : "\"") + QByteArray(field.key) + "\":" + Value(field.value(source));
        return out + '}';
    }

    static QByteArray Of(const Field<CycleRecord> &field, const CycleRecord &record)
    {
        return Value(field.value(record));
    }

    template <class Row> static QByteArray Of(const RowsField<Row> &rows, const CycleRecord &record)
    {
        QByteArray out = "[";
        const std::size_t count = rows.size ? rows.size(record) : rows.count;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0)
                out += ',';
            const Row *row = rows.row(record, i);
            out += row ? Object(rows.fields, *row) : QByteArrayLiteral("null");
        }
        return out + ']';
    }

    template <class Item> static QByteArray Of(const ObjectField<Item> &object, const CycleRecord &record)
    {
        const Item *item = object.object(record);
        return item ? Object(object.fields, *item) : QByteArrayLiteral("null");
    }
};

// The CSV columns and values of an entry of the field table: one for a
// value, count times the row's fields for a row list.
struct CsvWriter {
    static QByteArray Value(const FieldValue &value) { return Written(value, CsvField, {}); }

    static QByteArray Header(const Field<CycleRecord> &field) { return field.key; }

    template <class Row> static QByteArray Header(const RowsField<Row> &rows)
    {
        if (rows.csv)
            return rows.column;
        QByteArrayList columns;
        for (std::size_t i = 0; i < rows.count; ++i)
            for (const Field<Row> &field : rows.fields)
                columns << QByteArray(rows.column) + QByteArray::number(qulonglong(i)) + '_' + field.key;
        return columns.join(',');
    }

    static QByteArray Of(const Field<CycleRecord> &field, const CycleRecord &record)
    {
        return Value(field.value(record));
    }

    template <class Row> static QByteArray Of(const RowsField<Row> &rows, const CycleRecord &record)
    {
        if (rows.csv)
            return Value(rows.csv(record));
        QByteArrayList values;
        for (std::size_t i = 0; i < rows.count; ++i) {
            const Row *row = rows.row(record, i);
            for (const Field<Row> &field : rows.fields)
                values << (row ? Value(field.value(*row)) : QByteArray());
        }
        return values.join(',');
    }

    template <class Item> static QByteArray Header(const ObjectField<Item> &object)
    {
        QByteArrayList columns;
        for (const Field<Item> &field : object.fields)
            columns << QByteArray(object.column) + '_' + field.key;
        return columns.join(',');
    }

    template <class Item> static QByteArray Of(const ObjectField<Item> &object, const CycleRecord &record)
    {
        const Item *item = object.object(record);
        QByteArrayList values;
        for (const Field<Item> &field : object.fields)
            values << (item ? Value(field.value(*item)) : QByteArray());
        return values.join(',');
    }
};

} // namespace

CycleRecord CycleRecordOf(const CompletedCycle &cycle, const std::string &port, const QDateTime &time,
                          bool personalIdentity)
{
    CycleRecord record;
    record.cycle = cycle.cycle;
    record.time = time;
    record.port = port;
    record.manufacturer = cycle.manufacturer;
    record.model = cycle.model;
    record.state = cycle.record;
    record.csqRssi = cycle.csqRssi;
    record.csqBer = cycle.csqBer;
    record.identity.firmware = cycle.identity.firmware;
    record.identity.sim = cycle.identity.sim;
    if (personalIdentity) {
        record.identity.imei = cycle.identity.imei;
        record.identity.imsi = cycle.identity.imsi;
        record.identity.iccid = cycle.identity.iccid;
    }
    if (cycle.position) {
        const TGnssFix &fix = *cycle.position;
        RecordPosition &position = record.position.emplace();
        position.lat = fix.lat;
        position.lon = fix.lon;
        position.altM = fix.altM;
        position.speedKmh = fix.speedKmh;
        position.fix = fix.dimension >= 3 ? "3d" : "2d";
        position.time = QDateTime::fromString(QString::fromStdString(fix.time), Qt::ISODateWithMs);
    }
    return record;
}

QByteArray CycleRecordJson(const CycleRecord &record)
{
    QByteArray out = "{";
    for (const RecordField &field : RecordFields()) {
        out += (out.size() > 1 ? ",\"" : "\"") + QByteArray(FieldKey(field)) + "\":";
        out += std::visit([&](const auto &f) { return JsonWriter::Of(f, record); }, field);
    }
    return out + '}';
}

std::string RecordText(const std::string &bytes, std::size_t maxCharacters)
{
    QString text = VRynTextOfBytes(bytes);
    qsizetype end = 0;
    for (std::size_t n = 0; n < maxCharacters && end < text.size(); ++n)
        end += text.at(end).isHighSurrogate() ? 2 : 1; // the text holds whole pairs only
    text.truncate(end);
    return text.toStdString();
}

QByteArray CsvField(const std::string &text)
{
    QByteArray field = VRynSafeText(text).toUtf8();
    // A spreadsheet runs a field that starts so as a formula: the usual
    // leading apostrophe keeps it text.
    if (!field.isEmpty() && QByteArrayView("=+-@").contains(field.front()))
        field.prepend('\'');
    const bool quote = field.contains(',') || field.contains('"') ||
                       (!field.isEmpty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote)
        return field;
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}

QByteArray CsvHeader()
{
    QByteArrayList columns;
    for (const RecordField &field : RecordFields())
        columns << std::visit([](const auto &f) { return CsvWriter::Header(f); }, field);
    return columns.join(',');
}

QByteArray CycleRecordCsv(const CycleRecord &record)
{
    QByteArrayList columns;
    for (const RecordField &field : RecordFields())
        columns << std::visit([&](const auto &f) { return CsvWriter::Of(f, record); }, field);
    return columns.join(',');
}

QByteArray CycleRecordLine(const CycleRecord &record, RecordFormat format)
{
    return (format == RecordFormat::Csv ? CycleRecordCsv(record) : CycleRecordJson(record)) + '\n';
}

QByteArray RecordHeaderLine(RecordFormat format)
{
    return format == RecordFormat::Csv ? CsvHeader() + '\n' : QByteArray();
}

RecordFormat RecordFormatOfFile(const QString &path)
{
    return path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ? RecordFormat::Csv : RecordFormat::Json;
}
