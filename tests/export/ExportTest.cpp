// palvex-export's formats, parsed as a map program would: GeoJSON with a
// JSON parser and every feature checked, KML and GPX with an XML reader
// against their structure, and a CSV log read the same as JSON lines.
#include "CycleRecord.h"
#include "RecordExport.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// A drive of 6 records: one without a position, one with two events, values
// across the classes; and a line that is no record.
struct Drive {
    double lat, lon;
    std::optional<double> rsrp;
    bool positioned;
};
const std::vector<Drive> kDrive{{50.08, 14.42, -75, true},  {50.081, 14.421, -85, true},  {50.082, 14.422, -95, false},
                                {50.083, 14.423, -105, true}, {50.084, 14.424, std::nullopt, true}, {50.085, 14.425, -79.5, true}};
constexpr std::size_t kEventRecord = 3;

QByteArray JsonLog()
{
    QByteArray log;
    for (std::size_t i = 0; i < kDrive.size(); ++i) {
        const Drive &d = kDrive[i];
        QJsonObject serving{{"rat", "LTE"}, {"cell_id", qint64(1000 + i)}, {"pci", int(i)}, {"band", "B3"},
                            {"rsrp", d.rsrp ? QJsonValue(*d.rsrp) : QJsonValue(QJsonValue::Null)},
                            {"rsrq", -10.5}, {"sinr", 12}, {"rssi", -60}, {"channel", 1300}};
        QJsonArray events;
        if (i == kEventRecord)
            events = {QJsonObject{{"type", "serving_cell_changed"}, {"from", "cell 1002 PCI 2"}, {"to", "cell 1003 PCI 3"}},
                      QJsonObject{{"type", "signal_low"}, {"from", "-95 dBm"}, {"to", "-105 dBm"}}};
        const QJsonValue position = d.positioned
            ? QJsonValue(QJsonObject{{"lat", d.lat}, {"lon", d.lon}, {"alt_m", 240.5}, {"speed_kmh", 36},
                                     {"fix", "3d"}, {"time", "2026-12-09T10:00:00Z"}})
            : QJsonValue(QJsonValue::Null);
        const QJsonObject record{{"cycle", int(i + 1)},
                                 {"time", QStringLiteral("2026-12-09T10:00:%1.000Z").arg(i, 2, 10, QChar('0'))},
                                 {"port", "SIM"}, {"signal", 60}, {"operator_name", "Carrier, \"One\""},
                                 {"operator_code", "23001"}, {"serving", serving}, {"position", position},
                                 {"events", events}};
        log += QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
        if (i == 1)
            log += "{not a record\n";
    }
    return log;
}

ExportLog Read(QByteArray text)
{
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    return ReadRecordLog(buffer);
}

std::vector<const Drive *> Positioned()
{
    std::vector<const Drive *> out;
    for (const Drive &d : kDrive)
        if (d.positioned)
            out.push_back(&d);
    return out;
}

TEST(Export, ReadsPositionedRecordsAndCountsTheRest)
{
    const ExportLog log = Read(JsonLog());
    EXPECT_EQ(log.records, kDrive.size());
    EXPECT_EQ(log.withoutPosition, 1u);
    EXPECT_EQ(log.unreadable, 1u);
    ASSERT_EQ(log.points.size(), Positioned().size());
    EXPECT_EQ(log.points[2].events.size(), 2u);
}

TEST(Export, ClassesAndLegend)
{
    struct Case {
        ExportMeasure measure;
        std::optional<double> value;
        int quality;
    };
    for (const Case &c : {Case{ExportMeasure::Rsrp, -80, 0}, Case{ExportMeasure::Rsrp, -80.5, 1},
                          Case{ExportMeasure::Rsrp, -100, 2}, Case{ExportMeasure::Rsrp, -100.5, 3},
                          Case{ExportMeasure::Rsrp, std::nullopt, -1}, Case{ExportMeasure::Sinr, 20, 0},
                          Case{ExportMeasure::Sinr, -1, 3}, Case{ExportMeasure::Signal, 50, 1},
                          Case{ExportMeasure::Signal, 29, 3}, Case{ExportMeasure::Rsrq, -15, 1}})
        EXPECT_EQ(ExportClass(c.measure, c.value), c.quality) << int(c.measure) << " " << c.value.value_or(0);
    EXPECT_EQ(ExportClassLegend(ExportMeasure::Rsrp, 0), QStringLiteral("RSRP ≥ -80 dBm"));
    EXPECT_EQ(ExportClassLegend(ExportMeasure::Rsrp, 1), QStringLiteral("RSRP -90 to -80 dBm"));
    EXPECT_EQ(ExportClassLegend(ExportMeasure::Signal, 3), QStringLiteral("Signal < 30 %"));
}

TEST(Export, GeoJsonHasAPointPerRecordAndPerEvent)
{
    const ExportLog log = Read(JsonLog());
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(WriteExport(log, ExportFormat::GeoJson, ExportMeasure::Rsrp), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_EQ(document["type"].toString(), "FeatureCollection");
    const QJsonArray features = document["features"].toArray();
    ASSERT_EQ(features.size(), qsizetype(Positioned().size() + 2));
    std::size_t record = 0;
    int events = 0;
    for (const QJsonValue &value : features) {
        const QJsonObject feature = value.toObject();
        EXPECT_EQ(feature["type"].toString(), "Feature");
        EXPECT_EQ(feature["geometry"]["type"].toString(), "Point");
        const QJsonArray coordinates = feature["geometry"]["coordinates"].toArray();
        ASSERT_EQ(coordinates.size(), 3);
        const QJsonObject properties = feature["properties"].toObject();
        if (properties["kind"] == "event") {
            ++events;
            EXPECT_DOUBLE_EQ(coordinates[1].toDouble(), kDrive[kEventRecord].lat);
            EXPECT_TRUE(properties["type"] == "serving_cell_changed" || properties["type"] == "signal_low");
            EXPECT_TRUE(properties["from"].isString() && properties["to"].isString());
            continue;
        }
        ASSERT_EQ(properties["kind"].toString(), "record");
        ASSERT_LT(record, Positioned().size());
        const Drive &d = *Positioned()[record++];
        // GeoJSON is longitude first.
        EXPECT_DOUBLE_EQ(coordinates[0].toDouble(), d.lon);
        EXPECT_DOUBLE_EQ(coordinates[1].toDouble(), d.lat);
        EXPECT_DOUBLE_EQ(coordinates[2].toDouble(), 240.5);
        EXPECT_EQ(properties["rsrp"].isNull(), !d.rsrp);
        if (d.rsrp) {
            EXPECT_DOUBLE_EQ(properties["rsrp"].toDouble(), *d.rsrp);
        }
        const int quality = ExportClass(ExportMeasure::Rsrp, d.rsrp);
        EXPECT_EQ(properties["class"].toString(), ExportClassName(quality));
        EXPECT_EQ(properties["color"].toString(), ExportClassColor(quality));
        EXPECT_EQ(properties["operator_name"].toString(), "Carrier, \"One\"");
        EXPECT_EQ(properties["band"].toString(), "B3");
        EXPECT_DOUBLE_EQ(properties["speed_kmh"].toDouble(), 36);
    }
    EXPECT_EQ(events, 2);
}

TEST(Export, KmlFoldersPerClassWithStyledPlacemarksAndEvents)
{
    const ExportLog log = Read(JsonLog());
    QXmlStreamReader xml(WriteExport(log, ExportFormat::Kml, ExportMeasure::Rsrp));
    std::vector<QString> path;
    std::map<QString, QString> folderOf; // the style of each class placemark, by folder name
    std::set<QString> styles;
    QString folder;
    int placemarks = 0;
    int eventPlacemarks = 0;
    QString styleUrl;
    std::vector<std::pair<double, double>> points;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            path.push_back(xml.name().toString());
            if (path.size() == 1) {
                EXPECT_EQ(xml.name(), QStringLiteral("kml"));
                EXPECT_EQ(xml.namespaceUri(), QStringLiteral("http://www.opengis.net/kml/2.2"));
            }
            if (xml.name() == QStringLiteral("Style"))
                styles.insert(xml.attributes().value("id").toString());
            if (xml.name() == QStringLiteral("name") && path.size() == 4 && path[2] == QStringLiteral("Folder"))
                folder = xml.readElementText(), path.pop_back();
            else if (xml.name() == QStringLiteral("styleUrl"))
                styleUrl = xml.readElementText(), path.pop_back();
            else if (xml.name() == QStringLiteral("coordinates")) {
                const QStringList parts = xml.readElementText().split(',');
                path.pop_back();
                ASSERT_EQ(parts.size(), 3);
                points.emplace_back(parts[1].toDouble(), parts[0].toDouble());
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == QStringLiteral("Placemark")) {
                EXPECT_EQ(path, (std::vector<QString>{"kml", "Document", "Folder", "Placemark"}));
                if (folder == QStringLiteral("Events")) {
                    ++eventPlacemarks;
                    EXPECT_EQ(styleUrl, "#event");
                } else {
                    ++placemarks;
                    // The folder is the legend of the placemark's class.
                    EXPECT_TRUE(folder.startsWith(styleUrl.mid(7) + ": ")) << folder.toStdString();
                }
            }
            path.pop_back();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(placemarks, int(Positioned().size()));
    EXPECT_EQ(eventPlacemarks, 2);
    for (const char *style : {"class-excellent", "class-good", "class-fair", "class-poor", "class-unknown", "event"})
        EXPECT_TRUE(styles.count(style)) << style;
    // Every positioned record is a placemark at its place.
    for (const Drive *d : Positioned())
        EXPECT_TRUE(std::count(points.begin(), points.end(), std::pair(d->lat, d->lon)) >= 1) << d->lat;
}

TEST(Export, GpxTrackWithValuesAndEventWaypoints)
{
    const ExportLog log = Read(JsonLog());
    QXmlStreamReader xml(WriteExport(log, ExportFormat::Gpx, ExportMeasure::Rsrp));
    std::vector<QString> path;
    int waypoints = 0;
    bool trackSeen = false;
    std::size_t trackpoint = 0;
    std::map<QString, QString> extensions;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            path.push_back(xml.name().toString());
            if (path.size() == 1) {
                EXPECT_EQ(xml.name(), QStringLiteral("gpx"));
                EXPECT_EQ(xml.namespaceUri(), QStringLiteral("http://www.topografix.com/GPX/1/1"));
                EXPECT_EQ(xml.attributes().value("version"), QStringLiteral("1.1"));
            }
            if (xml.name() == QStringLiteral("wpt")) {
                EXPECT_FALSE(trackSeen) << "a waypoint after the track";
                ++waypoints;
                EXPECT_DOUBLE_EQ(xml.attributes().value("lat").toDouble(), kDrive[kEventRecord].lat);
            } else if (xml.name() == QStringLiteral("trk")) {
                trackSeen = true;
            } else if (xml.name() == QStringLiteral("trkpt")) {
                EXPECT_EQ(path, (std::vector<QString>{"gpx", "trk", "trkseg", "trkpt"}));
                ASSERT_LT(trackpoint, Positioned().size());
                const Drive &d = *Positioned()[trackpoint];
                EXPECT_DOUBLE_EQ(xml.attributes().value("lat").toDouble(), d.lat);
                EXPECT_DOUBLE_EQ(xml.attributes().value("lon").toDouble(), d.lon);
                extensions.clear();
            } else if (path.size() == 6 && path[4] == QStringLiteral("extensions")) {
                EXPECT_EQ(xml.namespaceUri(), QStringLiteral("urn:palvex:gpx:1"));
                extensions[xml.name().toString()] = xml.readElementText();
                path.pop_back();
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == QStringLiteral("trkpt")) {
                const Drive &d = *Positioned()[trackpoint++];
                EXPECT_EQ(extensions.count("rsrp"), d.rsrp ? 1u : 0u);
                if (d.rsrp) {
                    EXPECT_DOUBLE_EQ(extensions["rsrp"].toDouble(), *d.rsrp);
                }
                EXPECT_EQ(extensions["class"], ExportClassName(ExportClass(ExportMeasure::Rsrp, d.rsrp)));
                EXPECT_EQ(extensions["cell_id"].isEmpty(), false);
            }
            path.pop_back();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(waypoints, 2);
    EXPECT_EQ(trackpoint, Positioned().size());
}

// The same records as a CSV log (its header, quoted texts, the event types)
// give the same points.
TEST(Export, CsvLogReadsAsJsonLines)
{
    QByteArray csv = "cycle,time,port,signal,operator_name,operator_code,serving_rat,serving_cell_id,serving_pci,"
                     "serving_band,serving_rsrp,events,position_lat,position_lon,position_alt_m\n";
    for (std::size_t i = 0; i < kDrive.size(); ++i) {
        const Drive &d = kDrive[i];
        csv += QStringLiteral("%1,2026-12-09T10:00:0%1.000Z,SIM,60,\"Carrier, \"\"One\"\"\",23001,LTE,%2,%3,B3,%4,%5,%6,%7,240.5\n")
                   .arg(i + 1)
                   .arg(1000 + i)
                   .arg(i)
                   .arg(d.rsrp ? QString::number(*d.rsrp) : QString())
                   .arg(i == kEventRecord ? "serving_cell_changed;signal_low" : "")
                   .arg(d.positioned ? QString::number(d.lat, 'g', 10) : QString())
                   .arg(d.positioned ? QString::number(d.lon, 'g', 10) : QString())
                   .toUtf8();
    }
    const ExportLog log = Read(csv);
    EXPECT_EQ(log.records, kDrive.size());
    EXPECT_EQ(log.withoutPosition, 1u);
    ASSERT_EQ(log.points.size(), Positioned().size());
    for (std::size_t i = 0; i < log.points.size(); ++i) {
        EXPECT_DOUBLE_EQ(log.points[i].lat, Positioned()[i]->lat);
        EXPECT_EQ(log.points[i].Number("rsrp"), Positioned()[i]->rsrp);
    }
    const QByteArray out = WriteExport(log, ExportFormat::Csv, ExportMeasure::Rsrp);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), qsizetype(Positioned().size() + 1));
    EXPECT_TRUE(lines[0].startsWith("lat,lon,alt_m,speed_kmh,fix,cycle,time,operator_name,"));
    EXPECT_TRUE(lines[3].endsWith(",poor,serving_cell_changed;signal_low")) << lines[3].toStdString();
    EXPECT_TRUE(lines[1].contains(",\"Carrier, \"\"One\"\"\",")) << lines[1].toStdString();
}

// Logs as palvex writes them, JSON lines and CSV, give the same points.
TEST(Export, RecordLogsOfBothFormatsGiveTheSamePoints)
{
    QByteArray json;
    QByteArray csv = RecordHeaderLine(RecordFormat::Csv);
    for (std::size_t i = 0; i < kDrive.size(); ++i) {
        CycleRecord r;
        r.cycle = i + 1;
        r.time = QDateTime::fromString("2026-12-09T10:00:00Z", Qt::ISODate).addSecs(qint64(i));
        r.port = "SIM";
        r.state.operatorName = "=Carrier, \"One\"", r.state.operatorNameValid = true;
        TRadioCell &cell = r.state.serving.emplace();
        cell.rat = TRadioTech::Lte;
        cell.cellId = 1000 + std::int64_t(i);
        cell.rsrp = kDrive[i].rsrp;
        if (kDrive[i].positioned)
            r.position = RecordPosition{kDrive[i].lat, kDrive[i].lon, 240.5, 36, "3d", r.time};
        if (i == kEventRecord)
            r.events = {{"band_changed", "B3", "B7"}};
        json += CycleRecordLine(r, RecordFormat::Json);
        csv += CycleRecordLine(r, RecordFormat::Csv);
    }
    const ExportLog fromJson = Read(json);
    const ExportLog fromCsv = Read(csv);
    for (const ExportLog *log : {&fromJson, &fromCsv}) {
        EXPECT_EQ(log->records, kDrive.size());
        EXPECT_EQ(log->withoutPosition, 1u);
        EXPECT_EQ(log->unreadable, 0u);
        ASSERT_EQ(log->points.size(), Positioned().size());
        for (std::size_t i = 0; i < log->points.size(); ++i) {
            const ExportPoint &p = log->points[i];
            EXPECT_DOUBLE_EQ(p.lat, Positioned()[i]->lat);
            EXPECT_DOUBLE_EQ(p.lon, Positioned()[i]->lon);
            EXPECT_EQ(p.altM, 240.5);
            EXPECT_EQ(p.speedKmh, 36);
            EXPECT_EQ(p.fix, "3d");
            EXPECT_EQ(p.Number("rsrp"), Positioned()[i]->rsrp);
            EXPECT_EQ(p.Number("cell_id"), 1000 + (i < 2 ? i : i + 1));
        }
        ASSERT_EQ(log->points[2].events.size(), 1u);
        EXPECT_EQ(log->points[2].events[0].type, "band_changed");
    }
    // The texts as the record has them, the spreadsheet guard of CSV undone.
    EXPECT_EQ(fromJson.points[0].values[2].second.toString(), "=Carrier, \"One\"");
    EXPECT_EQ(fromCsv.points[0].values[2].second.toString(), "=Carrier, \"One\"");
    EXPECT_EQ(fromJson.points[0].time, fromCsv.points[0].time);
}

// The program: a file in, a map out, and the count of what was skipped.
TEST(Export, ProgramWritesTheFileAndCountsTheSkipped)
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath("drive.jsonl");
    {
        QFile f(logPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(JsonLog());
    }
    QProcess process;
    process.start(PALVEX_EXPORT_PATH, {"--output", dir.filePath("drive.kml"), logPath});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardError().trimmed(),
              "palvex-export: 6 records: 5 points and 2 events written, 1 without a position skipped, "
              "1 unreadable lines skipped");
    QFile kml(dir.filePath("drive.kml"));
    ASSERT_TRUE(kml.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kml.readAll().contains("<kml xmlns=\"http://www.opengis.net/kml/2.2\">"));

    process.start(PALVEX_EXPORT_PATH, {"--format", "shapefile", logPath});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 2);
    process.start(PALVEX_EXPORT_PATH, {dir.filePath("missing.jsonl")});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().startsWith("palvex-export: cannot open "));
}

} // namespace
