// palvex-export: a record log of palvex or palvex-headless (JSON lines or
// CSV) as a map: GeoJSON, KML, GPX or CSV of the records with a position.
#include "RecordExport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

int Fail(const QString &text, int code = 1)
{
    std::fprintf(stderr, "palvex-export: %s\n", text.toUtf8().constData());
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("palvex-export"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PALVEX_VERSION_TEXT));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Turns a record log of palvex or palvex-headless (JSON lines, or CSV with its header) into a map of the "
        "records that have a position: GeoJSON points with the serving cell's values (QGIS, web maps), KML "
        "placemarks coloured by signal class with a legend (Google Earth), a GPX track with the values in its "
        "extensions, or CSV. Records without a position are skipped and counted on standard error; events "
        "become points, placemarks or waypoints of their own.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption formatOption("format", "geojson, kml, gpx or csv (default: from the output file's "
                                                    "extension, else geojson).", "FORMAT");
    const QCommandLineOption outputOption("output", "Writes to FILE (replaced whole, only once all is written) "
                                                    "instead of standard output.", "FILE");
    const QCommandLineOption measureOption(
        "measure", "The measure whose class colours a point: rsrp (default), rsrq, sinr, rssi or signal.", "MEASURE");
    parser.addOptions({formatOption, outputOption, measureOption});
    parser.addPositionalArgument("LOG", "The record log (- for standard input).");
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(parser.errorText(), 2);
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("palvex-export %s\n", PALVEX_VERSION_TEXT);
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return Fail(positional.isEmpty() ? QStringLiteral("no record log given (try --help)")
                                         : QStringLiteral("one record log only, got: %1").arg(positional.join(' ')),
                    2);
    const QString output = parser.value(outputOption);
    QString formatName = parser.value(formatOption);
    if (formatName.isEmpty())
        formatName = ExportFormatOf(QFileInfo(output).suffix().toLower()) ? QFileInfo(output).suffix().toLower()
                                                                          : QStringLiteral("geojson");
    const std::optional<ExportFormat> format = ExportFormatOf(formatName);
    if (!format)
        return Fail(QStringLiteral("--format needs geojson, kml, gpx or csv, got \"%1\"").arg(formatName), 2);
    const QString measureName = parser.isSet(measureOption) ? parser.value(measureOption) : QStringLiteral("rsrp");
    const std::optional<ExportMeasure> measure = ExportMeasureOf(measureName);
    if (!measure)
        return Fail(QStringLiteral("--measure needs rsrp, rsrq, sinr, rssi or signal, got \"%1\"").arg(measureName), 2);

    QFile in;
    const QString path = positional.front();
    const bool opened = path == QLatin1String("-") ? in.open(stdin, QIODevice::ReadOnly)
                                                   : (in.setFileName(path), in.open(QIODevice::ReadOnly));
    if (!opened)
        return Fail(QStringLiteral("cannot open %1: %2").arg(path, in.errorString()));
    const ExportLog log = ReadRecordLog(in);
    if (in.error() != QFileDevice::NoError)
        return Fail(QStringLiteral("cannot read %1: %2").arg(path, in.errorString()));
    const QByteArray text = WriteExport(log, *format, *measure);

    if (output.isEmpty() || output == QLatin1String("-")) {
        if (std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout) != std::size_t(text.size()) ||
            std::fflush(stdout) != 0)
            return Fail(QStringLiteral("cannot write to standard output"));
    } else {
        QSaveFile file(output);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
            return Fail(QStringLiteral("cannot write %1: %2").arg(output, file.errorString()));
    }
    std::size_t events = 0;
    for (const ExportPoint &point : log.points)
        events += point.events.size();
    Fail(QStringLiteral("%1 records: %2 points and %3 events written, %4 without a position skipped%5")
             .arg(log.records)
             .arg(log.points.size())
             .arg(events)
             .arg(log.withoutPosition)
             .arg(log.unreadable ? QStringLiteral(", %1 unreadable lines skipped").arg(log.unreadable) : QString()));
    return 0;
}
