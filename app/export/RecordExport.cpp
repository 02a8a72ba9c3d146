#include "RecordExport.h"

#include "CycleRecord.h"
#include "RadioHistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

#include <array>
#include <cmath>

namespace {

constexpr std::array<const char *, 4> kFormatNames{"geojson", "kml", "gpx", "csv"};
constexpr std::array<const char *, 5> kMeasureNames{"rsrp", "rsrq", "sinr", "rssi", "signal"};

// The keys of a record that a point carries, in this order; the serving
// cell's for the radio values.
constexpr std::array<const char *, 5> kRecordKeys{"cycle", "time", "operator_name", "operator_code", "signal"};
constexpr std::array<const char *, 9> kServingKeys{"rat", "cell_id", "pci", "band", "channel",
                                                  "rssi", "rsrp", "rsrq", "sinr"};

// The namespace of GPX's extensions.
constexpr const char *kGpxExtensions = "urn:palvex:gpx:1";

// Splits one CSV row (RFC 4180 quotes; a row is always one line).
QStringList SplitCsv(const QString &row)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < row.size(); ++i) {
        const QChar c = row[i];
        if (quoted) {
            if (c == '"' && i + 1 < row.size() && row[i + 1] == '"')
                fields.back() += '"', ++i;
            else if (c == '"')
                quoted = false;
            else
                fields.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << QString();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// A CSV field as the JSON record has it: empty is null, a number a number,
// a text without the apostrophe that keeps spreadsheets from running it.
QJsonValue CsvValue(const QString &field)
{
    if (field.isEmpty())
        return QJsonValue::Null;
    bool ok = false;
    const double number = field.toDouble(&ok);
    if (ok && std::isfinite(number))
        return number;
    if (field.size() > 1 && field[0] == '\'' && QStringLiteral("=+-@").contains(field[1]))
        return field.mid(1);
    return field;
}

// A CSV row as the JSON record: serving_X and position_X in their objects,
// the events' types as events without from and to.
QJsonObject CsvRecord(const QStringList &header, const QStringList &fields)
{
    QJsonObject record;
    QJsonObject serving;
    QJsonObject position;
    for (qsizetype i = 0; i < header.size() && i < fields.size(); ++i) {
        const QString &column = header[i];
        if (column.startsWith(QLatin1String("serving_")))
            serving[column.mid(8)] = CsvValue(fields[i]);
        else if (column.startsWith(QLatin1String("position_")))
            position[column.mid(9)] = CsvValue(fields[i]);
        else if (column == QLatin1String("events")) {
            QJsonArray events;
            for (const QString &type : fields[i].split(';', Qt::SkipEmptyParts))
                events.append(QJsonObject{{"type", type}, {"from", QJsonValue::Null}, {"to", QJsonValue::Null}});
            record[column] = events;
        } else
            record[column] = CsvValue(fields[i]);
    }
    const auto missing = [](const QJsonObject &o) {
        return std::all_of(o.begin(), o.end(), [](const QJsonValue &v) { return v.isNull(); });
    };
    record["serving"] = missing(serving) ? QJsonValue(QJsonValue::Null) : QJsonValue(serving);
    record["position"] = missing(position) ? QJsonValue(QJsonValue::Null) : QJsonValue(position);
    return record;
}

std::optional<std::string> EventText(const QJsonValue &value)
{
    return value.isString() ? std::optional(value.toString().toStdString()) : std::nullopt;
}

std::optional<double> NumberOf(const QJsonValue &value)
{
    return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
}

// The point of a record; nullopt without a valid position.
std::optional<ExportPoint> PointOf(const QJsonObject &record)
{
    const QJsonObject position = record["position"].toObject();
    const std::optional<double> lat = NumberOf(position["lat"]);
    const std::optional<double> lon = NumberOf(position["lon"]);
    if (!lat || !lon || std::abs(*lat) > 90 || std::abs(*lon) > 180)
        return std::nullopt;
    ExportPoint point;
    point.lat = *lat;
    point.lon = *lon;
    point.altM = NumberOf(position["alt_m"]);
    point.speedKmh = NumberOf(position["speed_kmh"]);
    point.fix = position["fix"].toString();
    point.time = record["time"].toString();
    for (const char *key : kRecordKeys)
        point.values.emplace_back(key, record[key].isUndefined() ? QJsonValue(QJsonValue::Null) : record[key]);
    const QJsonObject serving = record["serving"].toObject();
    for (const char *key : kServingKeys)
        point.values.emplace_back(key, serving[key].isUndefined() ? QJsonValue(QJsonValue::Null) : serving[key]);
    for (const QJsonValue &value : record["events"].toArray()) {
        const QJsonObject event = value.toObject();
        if (event["type"].isString())
            point.events.push_back(
                {event["type"].toString().toStdString(), EventText(event["from"]), EventText(event["to"])});
    }
    return point;
}

std::optional<TRadioMeasure> RadioMeasure(ExportMeasure measure)
{
    switch (measure) {
    case ExportMeasure::Rsrp: return TRadioMeasure::Rsrp;
    case ExportMeasure::Rsrq: return TRadioMeasure::Rsrq;
    case ExportMeasure::Sinr: return TRadioMeasure::Sinr;
    case ExportMeasure::Rssi: return TRadioMeasure::Rssi;
    case ExportMeasure::Signal: break;
    }
    return std::nullopt;
}

// The lower bounds of excellent, good and fair.
std::array<double, 3> Bounds(ExportMeasure measure)
{
    if (const auto radio = RadioMeasure(measure))
        return QualityBandsOf(*radio).lower;
    return {70, 50, 30};
}

QString MeasureName(ExportMeasure measure)
{
    const auto radio = RadioMeasure(measure);
    return radio ? QString::fromLatin1(RadioMeasureName(*radio)) : QStringLiteral("Signal");
}

QString MeasureUnit(ExportMeasure measure)
{
    const auto radio = RadioMeasure(measure);
    return radio ? QString::fromLatin1(RadioMeasureUnit(*radio)) : QStringLiteral("%");
}

QString Number(double value) { return QString::number(value, 'g', 12); }

QString ValueText(const QJsonValue &value)
{
    if (value.isDouble())
        return Number(value.toDouble());
    return value.isString() ? value.toString() : QString();
}

QString EventLabel(const RecordEvent &event)
{
    QString text = QString::fromStdString(event.type);
    if (event.from || event.to)
        text += QStringLiteral(": %1 → %2")
                    .arg(event.from ? QString::fromStdString(*event.from) : QStringLiteral("?"),
                         event.to ? QString::fromStdString(*event.to) : QStringLiteral("?"));
    return text;
}

// KML writes colours as aabbggrr.
QString KmlColor(const char *rgb)
{
    const QString c = QString::fromLatin1(rgb + 1);
    return QStringLiteral("ff") + c.mid(4, 2) + c.mid(2, 2) + c.mid(0, 2);
}

int ClassOf(const ExportPoint &point, ExportMeasure measure)
{
    return ExportClass(measure, point.Number(QString::fromLatin1(kMeasureNames[std::size_t(measure)])));
}

QJsonArray Coordinates(const ExportPoint &point)
{
    QJsonArray coordinates{point.lon, point.lat};
    if (point.altM)
        coordinates.append(*point.altM);
    return coordinates;
}

QByteArray GeoJson(const ExportLog &log, ExportMeasure measure)
{
    QJsonArray features;
    for (const ExportPoint &point : log.points) {
        QJsonObject properties{{"kind", "record"}};
        for (const auto &[key, value] : point.values)
            properties[key] = value;
        properties["alt_m"] = point.altM ? QJsonValue(*point.altM) : QJsonValue(QJsonValue::Null);
        properties["speed_kmh"] = point.speedKmh ? QJsonValue(*point.speedKmh) : QJsonValue(QJsonValue::Null);
        properties["fix"] = point.fix;
        const int quality = ClassOf(point, measure);
        properties["class"] = ExportClassName(quality);
        properties["color"] = ExportClassColor(quality);
        const QJsonObject geometry{{"type", "Point"}, {"coordinates", Coordinates(point)}};
        features.append(QJsonObject{{"type", "Feature"}, {"geometry", geometry}, {"properties", properties}});
        for (const RecordEvent &event : point.events) {
            const QJsonObject eventProperties{
                {"kind", "event"},
                {"time", point.time},
                {"type", QString::fromStdString(event.type)},
                {"from", event.from ? QJsonValue(QString::fromStdString(*event.from)) : QJsonValue(QJsonValue::Null)},
                {"to", event.to ? QJsonValue(QString::fromStdString(*event.to)) : QJsonValue(QJsonValue::Null)}};
            features.append(QJsonObject{{"type", "Feature"}, {"geometry", geometry}, {"properties", eventProperties}});
        }
    }
    return QJsonDocument(QJsonObject{{"type", "FeatureCollection"}, {"features", features}}).toJson();
}

void KmlPoint(QXmlStreamWriter &xml, const ExportPoint &point)
{
    xml.writeStartElement("Point");
    QString coordinates = Number(point.lon) + ',' + Number(point.lat);
    if (point.altM)
        coordinates += ',' + Number(*point.altM);
    xml.writeTextElement("coordinates", coordinates);
    xml.writeEndElement();
}

QByteArray Kml(const ExportLog &log, ExportMeasure measure)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace("http://www.opengis.net/kml/2.2");
    xml.writeStartElement("kml");
    xml.writeStartElement("Document");
    xml.writeTextElement("name", QStringLiteral("Palvex drive test"));
    // The legend: in the description, and as the folders' names.
    QString legend = QStringLiteral("<table>");
    for (int quality = 0; quality <= 4; ++quality) {
        const int q = quality == 4 ? -1 : quality;
        legend += QStringLiteral("<tr><td style=\"background:%1\">&nbsp;&nbsp;&nbsp;</td><td>%2: %3</td></tr>")
                      .arg(QLatin1String(ExportClassColor(q)), QLatin1String(ExportClassName(q)),
                           ExportClassLegend(measure, q).toHtmlEscaped());
    }
    xml.writeTextElement("description", legend + QStringLiteral("</table>"));
    for (int quality = -1; quality <= 3; ++quality) {
        xml.writeStartElement("Style");
        xml.writeAttribute("id", QStringLiteral("class-") + ExportClassName(quality));
        xml.writeStartElement("IconStyle");
        xml.writeTextElement("color", KmlColor(ExportClassColor(quality)));
        xml.writeTextElement("scale", QStringLiteral("0.6"));
        xml.writeStartElement("Icon");
        xml.writeTextElement("href", QStringLiteral("http://maps.google.com/mapfiles/kml/shapes/shaded_dot.png"));
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeStartElement("LabelStyle");
        xml.writeTextElement("scale", QStringLiteral("0"));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeStartElement("Style");
    xml.writeAttribute("id", QStringLiteral("event"));
    xml.writeStartElement("IconStyle");
    xml.writeStartElement("Icon");
    xml.writeTextElement("href", QStringLiteral("http://maps.google.com/mapfiles/kml/paddle/wht-stars.png"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();

    for (int quality = 0; quality <= 4; ++quality) {
        const int q = quality == 4 ? -1 : quality;
        xml.writeStartElement("Folder");
        xml.writeTextElement("name", QStringLiteral("%1: %2").arg(QLatin1String(ExportClassName(q)),
                                                                  ExportClassLegend(measure, q)));
        for (const ExportPoint &point : log.points) {
            if (ClassOf(point, measure) != q)
                continue;
            xml.writeStartElement("Placemark");
            xml.writeTextElement("name", point.time);
            xml.writeStartElement("TimeStamp");
            xml.writeTextElement("when", point.time);
            xml.writeEndElement();
            xml.writeTextElement("styleUrl", QStringLiteral("#class-") + ExportClassName(q));
            xml.writeStartElement("ExtendedData");
            for (const auto &[key, value] : point.values) {
                xml.writeStartElement("Data");
                xml.writeAttribute("name", key);
                xml.writeTextElement("value", ValueText(value));
                xml.writeEndElement();
            }
            xml.writeEndElement();
            KmlPoint(xml, point);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeStartElement("Folder");
    xml.writeTextElement("name", QStringLiteral("Events"));
    for (const ExportPoint &point : log.points)
        for (const RecordEvent &event : point.events) {
            xml.writeStartElement("Placemark");
            xml.writeTextElement("name", QString::fromStdString(event.type));
            xml.writeTextElement("description", point.time + QStringLiteral(" ") + EventLabel(event));
            xml.writeStartElement("TimeStamp");
            xml.writeTextElement("when", point.time);
            xml.writeEndElement();
            xml.writeTextElement("styleUrl", QStringLiteral("#event"));
            KmlPoint(xml, point);
            xml.writeEndElement();
        }
    xml.writeEndDocument(); // closes the elements still open
    return out;
}

void GpxPosition(QXmlStreamWriter &xml, const ExportPoint &point)
{
    xml.writeAttribute("lat", Number(point.lat));
    xml.writeAttribute("lon", Number(point.lon));
    if (point.altM)
        xml.writeTextElement("ele", Number(*point.altM));
    if (!point.time.isEmpty())
        xml.writeTextElement("time", point.time);
}

QByteArray Gpx(const ExportLog &log, ExportMeasure measure)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace("http://www.topografix.com/GPX/1/1");
    xml.writeNamespace(kGpxExtensions, "palvex");
    xml.writeStartElement("gpx");
    xml.writeAttribute("version", "1.1");
    xml.writeAttribute("creator", "palvex-export");
    // Waypoints come before the track in GPX 1.1.
    for (const ExportPoint &point : log.points)
        for (const RecordEvent &event : point.events) {
            xml.writeStartElement("wpt");
            GpxPosition(xml, point);
            xml.writeTextElement("name", QString::fromStdString(event.type));
            xml.writeTextElement("desc", EventLabel(event));
            xml.writeTextElement("type", QStringLiteral("event"));
            xml.writeEndElement();
        }
    xml.writeStartElement("trk");
    xml.writeTextElement("name", QStringLiteral("Palvex drive test"));
    xml.writeStartElement("trkseg");
    for (const ExportPoint &point : log.points) {
        xml.writeStartElement("trkpt");
        GpxPosition(xml, point);
        xml.writeStartElement("extensions");
        for (const auto &[key, value] : point.values)
            if (key != QLatin1String("time") && !value.isNull())
                xml.writeTextElement(kGpxExtensions, key, ValueText(value));
        if (point.speedKmh)
            xml.writeTextElement(kGpxExtensions, "speed_kmh", Number(*point.speedKmh));
        xml.writeTextElement(kGpxExtensions, "class", ExportClassName(ClassOf(point, measure)));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndDocument(); // closes the elements still open
    return out;
}

QByteArray Csv(const ExportLog &log, ExportMeasure measure)
{
    QByteArrayList header{"lat", "lon", "alt_m", "speed_kmh", "fix"};
    if (!log.points.empty())
        for (const auto &[key, value] : log.points.front().values)
            header << key.toUtf8();
    header << "class" << "events";
    QByteArray out = header.join(',') + '\n';
    auto optional = [](const std::optional<double> &v) { return v ? Number(*v).toUtf8() : QByteArray(); };
    for (const ExportPoint &point : log.points) {
        QByteArrayList row{Number(point.lat).toUtf8(), Number(point.lon).toUtf8(), optional(point.altM),
                           optional(point.speedKmh), CsvField(point.fix.toStdString())};
        for (const auto &[key, value] : point.values)
            row << (value.isDouble() ? Number(value.toDouble()).toUtf8() : CsvField(ValueText(value).toStdString()));
        row << ExportClassName(ClassOf(point, measure)) << CsvField(RecordEventTypesText(point.events));
        out += row.join(',') + '\n';
    }
    return out;
}

} // namespace

std::optional<double> ExportPoint::Number(const QString &key) const
{
    for (const auto &[name, value] : values)
        if (name == key)
            return NumberOf(value);
    return std::nullopt;
}

std::optional<ExportFormat> ExportFormatOf(const QString &name)
{
    for (std::size_t i = 0; i < kFormatNames.size(); ++i)
        if (name == QLatin1String(kFormatNames[i]))
            return static_cast<ExportFormat>(i);
    return std::nullopt;
}

std::optional<ExportMeasure> ExportMeasureOf(const QString &name)
{
    for (std::size_t i = 0; i < kMeasureNames.size(); ++i)
        if (name == QLatin1String(kMeasureNames[i]))
            return static_cast<ExportMeasure>(i);
    return std::nullopt;
}

ExportLog ReadRecordLog(QIODevice &in)
{
    ExportLog log;
    QStringList header;
    bool first = true;
    while (!in.atEnd()) {
        const QByteArray line = in.readLine().trimmed();
        if (line.isEmpty())
            continue;
        if (first && line.startsWith("cycle,")) {
            header = SplitCsv(QString::fromUtf8(line));
            first = false;
            continue;
        }
        first = false;
        QJsonObject record;
        if (!header.isEmpty()) {
            // A CSV log written again after copytruncate repeats its header.
            if (line.startsWith("cycle,"))
                continue;
            const QStringList fields = SplitCsv(QString::fromUtf8(line));
            if (fields.size() != header.size()) {
                ++log.unreadable;
                continue;
            }
            record = CsvRecord(header, fields);
        } else {
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            if (error.error != QJsonParseError::NoError || !document.isObject()) {
                ++log.unreadable;
                continue;
            }
            record = document.object();
        }
        ++log.records;
        if (std::optional<ExportPoint> point = PointOf(record))
            log.points.push_back(std::move(*point));
        else
            ++log.withoutPosition;
    }
    return log;
}

int ExportClass(ExportMeasure measure, std::optional<double> value)
{
    if (!value)
        return -1;
    const std::array<double, 3> bounds = Bounds(measure);
    for (std::size_t i = 0; i < bounds.size(); ++i)
        if (*value >= bounds[i])
            return static_cast<int>(i);
    return static_cast<int>(bounds.size());
}

const char *ExportClassName(int quality)
{
    return quality >= 0 && quality <= 3 ? kQualityClassNames[std::size_t(quality)] : "unknown";
}

const char *ExportClassColor(int quality)
{
    static constexpr std::array<const char *, 4> colors{"#1a9850", "#91cf60", "#fdd835", "#d73027"};
    return quality >= 0 && quality <= 3 ? colors[std::size_t(quality)] : "#9e9e9e";
}

QString ExportClassLegend(ExportMeasure measure, int quality)
{
    const QString name = MeasureName(measure);
    const QString unit = MeasureUnit(measure);
    const std::array<double, 3> bounds = Bounds(measure);
    switch (quality) {
    case 0: return QStringLiteral("%1 ≥ %2 %3").arg(name, Number(bounds[0]), unit);
    case 1:
    case 2:
        return QStringLiteral("%1 %2 to %3 %4")
            .arg(name, Number(bounds[std::size_t(quality)]), Number(bounds[std::size_t(quality) - 1]), unit);
    case 3: return QStringLiteral("%1 < %2 %3").arg(name, Number(bounds[2]), unit);
    default: return name + QStringLiteral(" unknown");
    }
}

QByteArray WriteExport(const ExportLog &log, ExportFormat format, ExportMeasure measure)
{
    switch (format) {
    case ExportFormat::GeoJson: return GeoJson(log, measure);
    case ExportFormat::Kml: return Kml(log, measure);
    case ExportFormat::Gpx: return Gpx(log, measure);
    case ExportFormat::Csv: return Csv(log, measure);
    }
    return {};
}
