// palvex-drive-map: draws a GeoJSON file of palvex-export as a picture for
// the user guide: the records' points in their class colours on a plain
// equirectangular plane, the events as black rings, a legend, a scale bar
// and north. Usage: palvex-drive-map [--title TEXT] GEOJSON PNG
#include "RecordExport.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double kMetresPerDegree = 111320.0;

struct Feature {
    double lat = 0;
    double lon = 0;
    bool event = false;
    QColor color;
};

int Fail(const QString &text)
{
    std::fprintf(stderr, "palvex-drive-map: %s\n", qPrintable(text));
    return 1;
}

// The largest of 1, 2 and 5 times a power of ten metres that is at most
// metres.
double RoundLength(double metres)
{
    const double power = std::pow(10.0, std::floor(std::log10(metres)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= metres)
            return step * power;
    return power;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws a GeoJSON map of palvex-export as a PNG picture."));
    parser.addHelpOption();
    const QCommandLineOption titleOption(QStringLiteral("title"), QStringLiteral("The picture's title."),
                                         QStringLiteral("TEXT"), QStringLiteral("Drive test"));
    parser.addOption(titleOption);
    parser.addPositionalArgument(QStringLiteral("GEOJSON"), QStringLiteral("palvex-export --format geojson output"));
    parser.addPositionalArgument(QStringLiteral("PNG"), QStringLiteral("the picture to write"));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return Fail(QStringLiteral("needs a GeoJSON file and a PNG file"));

    QFile in(files[0]);
    if (!in.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(files[0], in.errorString()));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &error);
    if (document.isNull())
        return Fail(QStringLiteral("%1 is no JSON: %2").arg(files[0], error.errorString()));

    std::vector<Feature> features;
    for (const QJsonValue &value : document.object()[QStringLiteral("features")].toArray()) {
        const QJsonObject feature = value.toObject();
        const QJsonArray coordinates = feature[QStringLiteral("geometry")][QStringLiteral("coordinates")].toArray();
        const QJsonObject properties = feature[QStringLiteral("properties")].toObject();
        if (coordinates.size() < 2)
            continue;
        Feature f;
        f.lon = coordinates[0].toDouble();
        f.lat = coordinates[1].toDouble();
        f.event = properties[QStringLiteral("kind")].toString() == QLatin1String("event");
        f.color = QColor(properties[QStringLiteral("color")].toString());
        features.push_back(f);
    }
    if (features.empty())
        return Fail(QStringLiteral("%1 has no points").arg(files[0]));

    // The plane: metres east and north of the first point.
    double minLat = std::numeric_limits<double>::max(), maxLat = -minLat, minLon = minLat, maxLon = -minLat;
    for (const Feature &f : features) {
        minLat = std::min(minLat, f.lat), maxLat = std::max(maxLat, f.lat);
        minLon = std::min(minLon, f.lon), maxLon = std::max(maxLon, f.lon);
    }
    const double cosLat = std::cos((minLat + maxLat) / 2 * std::numbers::pi / 180);
    const double widthM = std::max(1.0, (maxLon - minLon) * kMetresPerDegree * cosLat);
    const double heightM = std::max(1.0, (maxLat - minLat) * kMetresPerDegree);

    QImage image(900, 680, QImage::Format_RGB32);
    image.fill(QColor(0xf4, 0xf4, 0xf0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plot(40, 60, 560, 580);
    const double scale = std::min(plot.width() / widthM, plot.height() / heightM);
    const QPointF origin(plot.center().x() - widthM * scale / 2, plot.center().y() + heightM * scale / 2);
    const auto place = [&](const Feature &f) {
        return QPointF(origin.x() + (f.lon - minLon) * kMetresPerDegree * cosLat * scale,
                       origin.y() - (f.lat - minLat) * kMetresPerDegree * scale);
    };

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(20);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(20, 12, 860, 36), Qt::AlignLeft | Qt::AlignVCenter, parser.value(titleOption));

    // The track, then the records' points over it, then the events.
    QPainterPath track;
    bool first = true;
    for (const Feature &f : features) {
        if (f.event)
            continue;
        first ? track.moveTo(place(f)) : track.lineTo(place(f));
        first = false;
    }
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    p.drawPath(track);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 0.8));
    for (const Feature &f : features) {
        if (f.event)
            continue;
        p.setBrush(f.color.isValid() ? f.color : QColor(0x99, 0x99, 0x99));
        p.drawEllipse(place(f), 5, 5);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 2));
    for (const Feature &f : features)
        if (f.event)
            p.drawEllipse(place(f), 10, 10);

    // The legend: the classes of RSRP, the events.
    font.setPixelSize(14);
    font.setBold(false);
    p.setFont(font);
    const QRectF legend(630, 70, 250, 200);
    p.setPen(QColor(0xb0, 0xb0, 0xb0));
    p.setBrush(Qt::white);
    p.drawRect(legend);
    double y = legend.top() + 22;
    for (int quality = 0; quality <= 3; ++quality, y += 28) {
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 0.8));
        p.setBrush(QColor(QString::fromLatin1(ExportClassColor(quality))));
        p.drawEllipse(QPointF(legend.left() + 20, y), 6, 6);
        p.setPen(Qt::black);
        p.drawText(QPointF(legend.left() + 36, y + 5),
                   QStringLiteral("%1: %2").arg(QString::fromLatin1(ExportClassName(quality)),
                                                ExportClassLegend(ExportMeasure::Rsrp, quality)));
    }
    p.setBrush(QColor(QString::fromLatin1(ExportClassColor(-1))));
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 0.8));
    p.drawEllipse(QPointF(legend.left() + 20, y), 6, 6);
    p.setPen(Qt::black);
    p.drawText(QPointF(legend.left() + 36, y + 5), ExportClassLegend(ExportMeasure::Rsrp, -1));
    y += 32;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 2));
    p.drawEllipse(QPointF(legend.left() + 20, y), 10, 10);
    p.setPen(Qt::black);
    p.drawText(QPointF(legend.left() + 36, y + 5), QStringLiteral("an event (handover...)"));

    // A scale bar of a round length, and north.
    const double barM = RoundLength(widthM / 4);
    const QPointF bar(650, 600);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(bar, bar + QPointF(barM * scale, 0));
    p.drawLine(bar + QPointF(0, -5), bar + QPointF(0, 5));
    p.drawLine(bar + QPointF(barM * scale, -5), bar + QPointF(barM * scale, 5));
    p.drawText(bar + QPointF(0, -10), barM >= 1000 ? QStringLiteral("%1 km").arg(barM / 1000)
                                                   : QStringLiteral("%1 m").arg(barM));
    const QPointF north(850, 560);
    p.drawLine(north, north + QPointF(0, -40));
    p.drawLine(north + QPointF(0, -40), north + QPointF(-6, -30));
    p.drawLine(north + QPointF(0, -40), north + QPointF(6, -30));
    p.drawText(north + QPointF(-5, 18), QStringLiteral("N"));
    p.end();

    if (!image.save(files[1]))
        return Fail(QStringLiteral("cannot write %1").arg(files[1]));
    return 0;
}
