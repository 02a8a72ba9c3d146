#pragma once
// palvex-export's work without its command line: reads a record log (JSON
// lines or CSV, as palvex and palvex-headless write them) and writes its
// positioned records as a map: GeoJSON points, KML placemarks coloured by
// signal class with a legend, a GPX track with the values in extensions, or
// CSV. Records without a position are skipped and counted; events become
// points (GeoJSON), placemarks (KML) or waypoints (GPX) of their own.

#include "RecordEvents.h"

#include <QByteArray>
#include <QIODevice>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

enum class ExportFormat : std::uint8_t { GeoJson, Kml, Gpx, Csv };
// The measure whose class colours a point.
enum class ExportMeasure : std::uint8_t { Rsrp, Rsrq, Sinr, Rssi, Signal };

// "geojson", "kml", "gpx", "csv"; nullopt for any other name.
std::optional<ExportFormat> ExportFormatOf(const QString &name);
// "rsrp", "rsrq", "sinr", "rssi", "signal".
std::optional<ExportMeasure> ExportMeasureOf(const QString &name);

// One positioned record: where and when, the serving cell's values (keys of
// the record: cycle, time, rat, operator_name, operator_code, cell_id, pci,
// band, channel, signal, rssi, rsrp, rsrq, sinr; null where unknown) and
// its events.
struct ExportPoint {
    double lat = 0;
    double lon = 0;
    std::optional<double> altM;
    std::optional<double> speedKmh;
    QString fix;
    QString time;
    std::vector<std::pair<QString, QJsonValue>> values;
    std::vector<RecordEvent> events;

    std::optional<double> Number(const QString &key) const;
};

struct ExportLog {
    std::vector<ExportPoint> points;
    std::size_t records = 0;         // records read
    std::size_t withoutPosition = 0; // read, but without a position
    std::size_t unreadable = 0;      // lines that are no record
};

// Reads the whole log: CSV when its first line is a header that begins with
// "cycle,", JSON lines otherwise.
ExportLog ReadRecordLog(QIODevice &in);

// The quality class of a value: 0 excellent, 1 good, 2 fair, 3 poor; -1
// when unknown. RSRP, RSRQ, SINR and RSSI use the window's classes; the
// signal percentage 70, 50 and 30 %.
int ExportClass(ExportMeasure measure, std::optional<double> value);
// "excellent", "good", "fair", "poor", "unknown".
const char *ExportClassName(int quality);
// The colour of a class as #rrggbb.
const char *ExportClassColor(int quality);
// The legend line of a class: "RSRP ≥ -80 dBm", "RSRP -90 to -80 dBm",
// "RSRP < -100 dBm", "RSRP unknown".
QString ExportClassLegend(ExportMeasure measure, int quality);

QByteArray WriteExport(const ExportLog &log, ExportFormat format, ExportMeasure measure);
