#include "CycleRecord.h"

#include "ModemSession.h"
#include "VRynLogger.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

namespace {

// A string as Qt's JSON writer escapes it, quotes included.
QByteArray JsonString(const std::string &text)
{
    const QByteArray array =
        QJsonDocument(QJsonArray{QString::fromStdString(text)}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray Number(std::int64_t value) { return QByteArray::number(static_cast<qlonglong>(value)); }

QByteArray JsonInt(bool valid, std::int32_t value) { return valid ? Number(value) : QByteArrayLiteral("null"); }

QByteArray JsonText(bool valid, const std::string &text) { return valid ? JsonString(text) : QByteArrayLiteral("null"); }

// C1 is the one cell value a line may lack; the parser leaves the marker.
bool C1Valid(const TCellRow &row) { return row.c1 != kMissingInteger; }

QByteArray JsonCell(const TCellRow &row)
{
    if (!row.valid)
        return QByteArrayLiteral("null");
    QByteArray out = "{\"channel\":" + Number(row.channel);
    out += ",\"band\":" + JsonString(BandOfChannel(row.channel));
    out += ",\"rssi\":" + Number(row.rssi);
    out += ",\"dbm\":" + Number(row.dbm);
    out += ",\"c1\":" + JsonInt(C1Valid(row), row.c1);
    out += ",\"mcc\":" + Number(row.mcc);
    out += ",\"mnc\":" + Number(row.mnc);
    out += '}';
    return out;
}

QByteArray TimeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs).toUtf8();
}

QByteArray CsvInt(bool valid, std::int32_t value) { return valid ? Number(value) : QByteArray(); }

constexpr const char *kCellColumns[] = {"channel", "band", "rssi", "dbm", "c1", "mcc", "mnc"};

} // namespace

CycleRecord CycleRecordFromSession(ModemSession &session, const std::string &port, const QDateTime &time)
{
    CycleRecord record;
    record.cycle = session.CompletedCycles();
    record.time = time;
    record.port = port;
    record.manufacturer = session.Manufacturer();
    record.model = session.Model();
    record.state = session.DisplayRecordSnapshot();
    return record;
}

QByteArray CycleRecordJson(const CycleRecord &record)
{
    const TNetState &s = record.state;
    QByteArray out = "{\"cycle\":" + Number(static_cast<std::int64_t>(record.cycle));
    out += ",\"time\":" + JsonString(TimeText(record.time).toStdString());
    out += ",\"port\":" + JsonString(record.port);
    out += ",\"manufacturer\":" + JsonString(record.manufacturer);
    out += ",\"model\":" + JsonString(record.model);
    out += ",\"signal\":" + JsonInt(s.signalValid, s.signal);
    out += ",\"ber\":" + JsonInt(s.berValid, s.ber);
    out += ",\"registration\":" + JsonInt(s.registrationValid, s.registration);
    out += ",\"activity\":" + JsonInt(s.activityValid, s.activity);
    out += ",\"operator_name\":" + JsonText(s.operatorNameValid, s.operatorName);
    out += ",\"operator_code\":" + JsonText(s.operatorCodeValid, s.operatorCode);
    out += ",\"cells\":[";
    for (std::size_t i = 0; i < s.cells.size(); ++i) {
        if (i > 0)
            out += ',';
        out += JsonCell(s.cells[i]);
    }
    out += "]}";
    return out;
}

QByteArray CsvField(const std::string &text)
{
    QByteArray field = VRynSafeText(text).toUtf8();
    const bool quote = field.contains(',') || field.contains('"') ||
                       (!field.isEmpty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote)
        return field;
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}

QByteArray CsvHeader()
{
    QByteArray out = "cycle,time,port,manufacturer,model,signal,ber,registration,activity,operator_name,operator_code";
    for (int i = 0; i < kNetStateCellCount; ++i)
        for (const char *column : kCellColumns)
            out += ",cell" + QByteArray::number(i) + '_' + column;
    return out;
}

QByteArray CycleRecordCsv(const CycleRecord &record)
{
    const TNetState &s = record.state;
    QByteArray out = Number(static_cast<std::int64_t>(record.cycle));
    out += ',' + TimeText(record.time);
    out += ',' + CsvField(record.port);
    out += ',' + CsvField(record.manufacturer);
    out += ',' + CsvField(record.model);
    out += ',' + CsvInt(s.signalValid, s.signal);
    out += ',' + CsvInt(s.berValid, s.ber);
    out += ',' + CsvInt(s.registrationValid, s.registration);
    out += ',' + CsvInt(s.activityValid, s.activity);
    out += ',' + (s.operatorNameValid ? CsvField(s.operatorName) : QByteArray());
    out += ',' + (s.operatorCodeValid ? CsvField(s.operatorCode) : QByteArray());
    for (const TCellRow &row : s.cells) {
        if (!row.valid) {
            out += QByteArray(static_cast<qsizetype>(std::size(kCellColumns)), ',');
            continue;
        }
        out += ',' + Number(row.channel);
        out += ',' + CsvField(BandOfChannel(row.channel));
        out += ',' + Number(row.rssi);
        out += ',' + Number(row.dbm);
        out += ',' + CsvInt(C1Valid(row), row.c1);
        out += ',' + Number(row.mcc);
        out += ',' + Number(row.mnc);
    }
    return out;
}

QByteArray CycleRecordLine(const CycleRecord &record, RecordFormat format)
{
    return (format == RecordFormat::Csv ? CycleRecordCsv(record) : CycleRecordJson(record)) + '\n';
}
