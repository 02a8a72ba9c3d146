#include "CycleRecord.h"

#include "RecordFields.h"
#include "VRynLogger.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

// A string (valid UTF-8, as RecordText gives it) as Qt's JSON writer escapes
// it, quotes included, and DEL and the C1 controls (U+0080 to U+009F, which
// Qt leaves as they are) escaped too, so a record shown in a terminal cannot
// steer it.
void AppendJsonString(std::string &out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const auto escaped = [&out](unsigned code) {
        out += "\\u00";
        out += kHex[code >> 4];
        out += kHex[code & 0xF];
    };
    out += '"';
    std::size_t plain = 0; // the start of the bytes that need no escape
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\' && byte != 0x7F && byte != 0xC2)
            continue;
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        if (byte == 0xC2 && (next < 0x80 || next > 0x9F))
            continue;
        out.append(text.substr(plain, i - plain));
        switch (byte) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case 0xC2: escaped(next), ++i; break;
        default: escaped(byte); break;
        }
        plain = i + 1;
    }
    out.append(text.substr(plain));
    out += '"';
}

void AppendNumber(std::string &out, std::int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// A value as a format writes it: numbers in decimal, texts as text writes
// them, a missing value as missing.
QByteArray Written(const FieldValue &value, QByteArray (*text)(const std::string &), const QByteArray &missing)
{
    if (const auto *number = std::get_if<std::int64_t>(&value))
        return QByteArray::number(static_cast<qlonglong>(*number));
    if (const auto *real = std::get_if<double>(&value)) {
        std::string written;
        return std::isfinite(*real) ? (AppendRecordReal(written, *real), QByteArray::fromStdString(written)) : missing;
    }
    if (const auto *string = std::get_if<std::string>(&value))
        return text(RecordText(*string, kRecordTextCharacters));
    return missing;
}

// Appends the JSON text of the entries of the field table to out: a value,
// or an array of row objects. Texts pass through scratch, kept from value
// to value.
struct JsonWriter {
    std::string &out;
    std::string &scratch;

    void Key(const char *key, bool first)
    {
        out += first ? "\"" : ",\"";
        out += key;
        out += "\":";
    }

    void Value(const FieldValue &value)
    {
        if (const auto *number = std::get_if<std::int64_t>(&value)) {
            AppendNumber(out, *number);
        } else if (const auto *real = std::get_if<double>(&value); real && std::isfinite(*real)) {
            AppendRecordReal(out, *real);
        } else if (const auto *string = std::get_if<std::string>(&value)) {
            scratch.clear();
            VRynAppendTextOfBytes(scratch, *string, kRecordTextCharacters);
            AppendJsonString(out, scratch);
        } else {
            out += "null";
        }
    }

    template <class Source> void Object(const std::vector<Field<Source>> &fields, const Source &source)
    {
        out += '{';
        bool first = true;
        for (const Field<Source> &field : fields) {
            Key(field.key, first);
            first = false;
            Value(field.value(source));
        }
        out += '}';
    }

    void operator()(const Field<CycleRecord> &field, const CycleRecord &record) { Value(field.value(record)); }

    template <class Row> void operator()(const RowsField<Row> &rows, const CycleRecord &record)
    {
        out += '[';
        const std::size_t count = rows.size ? rows.size(record) : rows.count;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0)
                out += ',';
            if (const Row *row = rows.row(record, i))
                Object(rows.fields, *row);
            else
                out += "null";
        }
        out += ']';
    }

    template <class Item> void operator()(const ObjectField<Item> &object, const CycleRecord &record)
    {
        if (const Item *item = object.object(record))
            Object(object.fields, *item);
        else
            out += "null";
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

void AppendCycleRecordJson(std::string &out, const CycleRecord &record)
{
    std::string scratch;
    JsonWriter writer{out, scratch};
    out += '{';
    bool first = true;
    for (const RecordField &field : RecordFields()) {
        writer.Key(FieldKey(field), first);
        first = false;
        std::visit([&](const auto &f) { writer(f, record); }, field);
    }
    out += '}';
}

QByteArray CycleRecordJson(const CycleRecord &record)
{
    std::string out;
    AppendCycleRecordJson(out, record);
    return QByteArray::fromStdString(out);
}

void AppendRecordReal(std::string &out, double value)
{
    if (value == 0)
        value = 0; // -0 is written as 0
    char digits[40];
    // Qt rounds a tie at the 15th digit away from zero where to_chars rounds
    // it to even: a value whose 16th digit is a 5 is left to Qt.
    auto end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific, 15).ptr;
    if (*(std::find(digits, end, 'e') - 1) == '5') {
        out += QByteArray::number(value, 'g', 15).toStdString();
        return;
    }
    end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 15).ptr;
    out.append(digits, end);
}

std::string RecordText(const std::string &bytes, std::size_t maxCharacters)
{
    std::string text;
    VRynAppendTextOfBytes(text, bytes, maxCharacters);
    return text;
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

void RecordLines::Next(const CycleRecord &record)
{
    m_record = &record;
    m_built = {};
}

QByteArray RecordLines::Line(RecordFormat format)
{
    const auto index = std::size_t(format);
    std::string &line = m_lines[index];
    if (!m_built[index]) {
        line.clear();
        if (format == RecordFormat::Csv)
            line.append(CycleRecordCsv(*m_record).toStdString());
        else
            AppendCycleRecordJson(line, *m_record);
        line += '\n';
        m_built[index] = true;
    }
    return QByteArray::fromRawData(line.data(), qsizetype(line.size()));
}

QByteArray RecordHeaderLine(RecordFormat format)
{
    return format == RecordFormat::Csv ? CsvHeader() + '\n' : QByteArray();
}

RecordFormat RecordFormatOfFile(const QString &path)
{
    return path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ? RecordFormat::Csv : RecordFormat::Json;
}
