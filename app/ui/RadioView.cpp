#include "RadioView.h"

#include "RynColor.h"
#include "modems/common/CellIdentity.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGraphicsLineItem>
#include <QHelpEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Line colours by measure, in the order of kRadioMeasures.
const std::array<QColor, kRadioMeasureCount> kMeasureColors{
    QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
    QColor(0x94, 0x67, 0xbd), QColor(0xd6, 0x27, 0x28), QColor(0x8c, 0x56, 0x4b),
    QColor(0x17, 0xbe, 0xcf), QColor(0xbc, 0xbd, 0x22), QColor(0xe3, 0x77, 0xc2)};
// The shades of the quality classes, excellent to poor.
const std::array<QColor, 4> kBandColors{QColor(0, 160, 0, 40), QColor(150, 200, 0, 40), QColor(240, 160, 0, 40),
                                        QColor(220, 0, 0, 40)};

constexpr double kZoomStep = 0.8;
constexpr double kScrollStep = 0.25;

const char *const kCellRows[] = {"Technology", "Band",   "Channel", "PCI",    "TAC",  "Cell id",
                                 "eNB id",     "Sector", "gNB id",  "NR cell", "RSRP", "RSRQ",
                                 "SINR",       "RSSI",   "RSCP",    "Ec/No"};
constexpr int kFirstMeasureRow = 10;

QString Unknown() { return QStringLiteral("-"); }

template <class T> QString Number(const std::optional<T> &value)
{
    return value ? QString::number(*value) : Unknown();
}

QString Level(std::optional<double> value, const char *unit)
{
    return value ? QString::number(*value) + QLatin1Char(' ') + QLatin1String(unit) : Unknown();
}

// The level a neighbour is sorted by, with its name.
std::optional<std::pair<const char *, double>> NeighbourLevel(const TNeighbourCell &cell)
{
    if (cell.rsrp)
        return std::pair{"RSRP", *cell.rsrp};
    if (cell.rscp)
        return std::pair{"RSCP", *cell.rscp};
    if (cell.rssi)
        return std::pair{"RSSI", *cell.rssi};
    return std::nullopt;
}

QString TimeText(std::int64_t ms, const char *format)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QLatin1String(format));
}

} // namespace

std::vector<TNeighbourCell> NeighboursByLevel(const std::vector<TNeighbourCell> &neighbours)
{
    std::vector<TNeighbourCell> sorted = neighbours;
    std::stable_sort(sorted.begin(), sorted.end(), [](const TNeighbourCell &a, const TNeighbourCell &b) {
        const auto la = NeighbourLevel(a), lb = NeighbourLevel(b);
        if (!la || !lb)
            return la.has_value() && !lb.has_value();
        return la->second > lb->second;
    });
    return sorted;
}

TRadioView::TRadioView(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("radioView"));
    setWindowTitle(QStringLiteral("Radio"));
    // Closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(1000, 600);

    auto *layout = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    layout->addLayout(left, 3);

    auto *toolbar = new QHBoxLayout;
    for (TRadioMeasure measure : kRadioMeasures) {
        const std::size_t i = std::size_t(measure);
        auto *box = new QCheckBox(QString::fromLatin1(RadioMeasureName(measure)), this);
        box->setChecked(true);
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, kMeasureColors[i]);
        box->setPalette(palette);
        box->setToolTip(QStringLiteral("Show %1 in %2").arg(QLatin1String(RadioMeasureName(measure)),
                                                             QLatin1String(RadioMeasureUnit(measure))));
        connect(box, &QCheckBox::toggled, this, [this] { Redraw(); });
        toolbar->addWidget(box);
        m_boxes[i] = box;
    }
    toolbar->addStretch();
    auto *png = new QPushButton(QStringLiteral("Export PNG..."), this);
    auto *csv = new QPushButton(QStringLiteral("Export CSV..."), this);
    connect(png, &QPushButton::clicked, this, &TRadioView::ExportPngClick);
    connect(csv, &QPushButton::clicked, this, &TRadioView::ExportCsvClick);
    toolbar->addWidget(png);
    toolbar->addWidget(csv);
    left->addLayout(toolbar);

    BuildChart();
    left->addWidget(m_chartView, 1);
    m_rangeLabel = new QLabel(this);
    m_rangeLabel->setToolTip(QStringLiteral("Wheel or +/- zooms, drag or Left/Right scrolls, Home shows the whole "
                                            "history, End follows the newest values"));
    left->addWidget(m_rangeLabel);

    auto *panel = new QWidget(this);
    BuildCellsPanel(panel);
    layout->addWidget(panel, 1);

    m_redrawTimer = new QTimer(this);
    m_redrawTimer->setSingleShot(true);
    m_redrawTimer->setInterval(kRedrawPeriod);
    connect(m_redrawTimer, &QTimer::timeout, this, &TRadioView::Redraw);

    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    m_viewTo = now;
    m_viewFrom = now - kDefaultWindow.count();
}

TRadioView::~TRadioView() = default;

void TRadioView::BuildChart()
{
    m_chart = new QChart;
    m_chart->legend()->hide();
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_timeAxis = new QDateTimeAxis;
    m_timeAxis->setTickCount(7);
    m_dbmAxis = new QValueAxis;
    m_dbmAxis->setTitleText(QStringLiteral("dBm"));
    m_dbmAxis->setLabelFormat(QStringLiteral("%d"));
    m_dbAxis = new QValueAxis;
    m_dbAxis->setTitleText(QStringLiteral("dB"));
    m_dbAxis->setLabelFormat(QStringLiteral("%d"));
    // Ticks on whole tens of dBm and fives of dB, whatever the range.
    m_dbmAxis->setTickType(QValueAxis::TicksDynamic);
    m_dbmAxis->setTickAnchor(0);
    m_dbmAxis->setTickInterval(10);
    m_dbAxis->setTickType(QValueAxis::TicksDynamic);
    m_dbAxis->setTickAnchor(0);
    m_dbAxis->setTickInterval(5);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_dbmAxis, Qt::AlignLeft);
    m_chart->addAxis(m_dbAxis, Qt::AlignRight);

    // The bands first, so that they lie behind the lines.
    for (std::size_t i = 0; i < m_bands.size(); ++i) {
        auto *upper = new QLineSeries(m_chart);
        auto *lower = new QLineSeries(m_chart);
        auto *band = new QAreaSeries(upper, lower);
        band->setName(QString::fromLatin1(kQualityClassNames[i]));
        band->setPen(Qt::NoPen);
        band->setBrush(kBandColors[i]);
        m_chart->addSeries(band);
        band->attachAxis(m_timeAxis);
        band->attachAxis(m_dbmAxis);
        m_bands[i] = band;
    }

    m_chartView = new QChartView(m_chart, this);
    m_chartView->setObjectName(QStringLiteral("radioChart"));
    // Dense lines of a day: drawn without antialiasing, a redraw costs a third.
    m_chartView->setRenderHint(QPainter::Antialiasing, false);
    m_chartView->setFocusPolicy(Qt::StrongFocus);
    m_chartView->setMinimumSize(400, 250);
    m_chartView->installEventFilter(this);
    m_chartView->viewport()->installEventFilter(this);
    connect(m_chart, &QChart::plotAreaChanged, this, [this] { PlaceMarkers(); });
}

void TRadioView::AddMarker(std::int64_t timeMs, std::uint32_t bgr, const QString &text)
{
    m_markers.push_back({timeMs, bgr, text});
    const std::int64_t oldest = timeMs - std::int64_t(RadioHistory::kDefaultSpan.count());
    while (m_markers.size() > kMaxMarkers || (!m_markers.empty() && m_markers.front().timeMs < oldest))
        m_markers.pop_front();
    if (isVisible())
        ScheduleRedraw();
}

// A line per marker in the shown range, from the plot's top to its bottom.
void TRadioView::PlaceMarkers()
{
    const QRectF plot = m_chart->plotArea();
    std::size_t used = 0;
    for (const Marker &marker : m_markers) {
        if (marker.timeMs < m_viewFrom || marker.timeMs > m_viewTo)
            continue;
        if (used == m_markerLines.size()) {
            auto *line = new QGraphicsLineItem(m_chart);
            line->setZValue(10); // above the lines of the measures
            m_markerLines.push_back(line);
        }
        QGraphicsLineItem *line = m_markerLines[used++];
        const double x = m_chart->mapToPosition(QPointF(double(marker.timeMs), m_dbmAxis->min()), nullptr).x();
        QPen pen(RynToQColor(marker.bgr));
        pen.setCosmetic(true);
        line->setPen(pen);
        line->setLine(x, plot.top(), x, plot.bottom());
        line->setData(0, marker.text);
        line->setVisible(true);
    }
    for (std::size_t i = used; i < m_markerLines.size(); ++i)
        m_markerLines[i]->setVisible(false);
}

std::vector<QGraphicsLineItem *> TRadioView::MarkerLines() const
{
    std::vector<QGraphicsLineItem *> lines;
    for (QGraphicsLineItem *line : m_markerLines)
        if (line->isVisible())
            lines.push_back(line);
    return lines;
}

QString TRadioView::MarkerTextAt(double x) const
{
    constexpr double kReach = 3; // pixels either side of a line
    QStringList texts;
    const QPointF chartOrigin = m_chartView->mapFromScene(m_chart->mapToScene(QPointF(0, 0)));
    for (QGraphicsLineItem *line : MarkerLines())
        if (std::abs(line->line().x1() + chartOrigin.x() - x) <= kReach)
            texts << line->data(0).toString();
    return texts.join(QLatin1Char('\n'));
}

void TRadioView::BuildCellsPanel(QWidget *panel)
{
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Cells"), panel));
    m_cells = new QTableWidget(int(std::size(kCellRows)), 2, panel);
    m_cells->setObjectName(QStringLiteral("radioCells"));
    m_cells->setHorizontalHeaderLabels({QStringLiteral("Serving"), QStringLiteral("Secondary")});
    QStringList rows;
    for (const char *row : kCellRows)
        rows << QString::fromLatin1(row);
    m_cells->setVerticalHeaderLabels(rows);
    m_cells->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_cells->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_cells->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_cells, 3);

    auto *bitsRow = new QHBoxLayout;
    auto *bitsLabel = new QLabel(QStringLiteral("gNB id length (bits):"), panel);
    m_gnbBits = new QSpinBox(panel);
    m_gnbBits->setRange(kMinGnbIdBits, kMaxGnbIdBits);
    m_gnbBits->setValue(kDefaultGnbIdBits);
    m_gnbBits->setToolTip(QStringLiteral("How many of the 36 bits of an NR cell id the operator gives the gNB id"));
    bitsLabel->setBuddy(m_gnbBits);
    connect(m_gnbBits, &QSpinBox::valueChanged, this, [this] { ShowCells(); });
    bitsRow->addWidget(bitsLabel);
    bitsRow->addWidget(m_gnbBits);
    layout->addLayout(bitsRow);

    layout->addWidget(new QLabel(QStringLiteral("Neighbours, strongest first"), panel));
    m_neighbours = new QTableWidget(0, 4, panel);
    m_neighbours->setObjectName(QStringLiteral("radioNeighbours"));
    m_neighbours->setHorizontalHeaderLabels(
        {QStringLiteral("Technology"), QStringLiteral("Channel"), QStringLiteral("PCI"), QStringLiteral("Level")});
    m_neighbours->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_neighbours->verticalHeader()->hide();
    m_neighbours->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_neighbours->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    layout->addWidget(m_neighbours, 2);
}

void TRadioView::AddRecord(const TNetState &record, std::int64_t timeMs)
{
    const bool wasEmpty = m_history.Empty();
    m_history.Add(RadioSampleOf(record, timeMs));
    m_lastRecord = record;
    m_hasRecord = true;
    if (m_following) {
        const std::int64_t span = wasEmpty ? kDefaultWindow.count() : m_viewTo - m_viewFrom;
        m_viewTo = m_history.LastTimeMs();
        m_viewFrom = m_viewTo - span;
    }
    if (isVisible()) {
        ShowCells();
        ScheduleRedraw();
    }
}

void TRadioView::SetMeasureVisible(TRadioMeasure measure, bool visible)
{
    m_boxes[std::size_t(measure)]->setChecked(visible);
}

bool TRadioView::MeasureVisible(TRadioMeasure measure) const { return m_boxes[std::size_t(measure)]->isChecked(); }

int TRadioView::GnbIdBits() const { return m_gnbBits->value(); }
void TRadioView::SetGnbIdBits(int bits) { m_gnbBits->setValue(bits); }

std::optional<TRadioMeasure> TRadioView::BandMeasure() const
{
    for (TRadioMeasure measure : kRadioMeasures)
        if (MeasureVisible(measure))
            return measure;
    return std::nullopt;
}

void TRadioView::SetViewRange(std::int64_t fromMs, std::int64_t toMs)
{
    m_viewFrom = fromMs;
    m_viewTo = toMs;
    ClampView();
    Redraw();
}

void TRadioView::ClampView()
{
    const std::int64_t newest = m_history.Empty() ? QDateTime::currentMSecsSinceEpoch() : m_history.LastTimeMs();
    // Scrolling stops at the oldest sample and at the newest; a span longer
    // than the history ends at the newest.
    const std::int64_t oldest = std::max(newest - m_history.Span().count(),
                                         m_history.Empty() ? newest : m_history.FirstTimeMs());
    const std::int64_t span =
        std::clamp<std::int64_t>(m_viewTo - m_viewFrom, kMinWindow.count(), m_history.Span().count());
    m_viewTo = std::max(std::min(m_viewTo, newest), std::min(oldest + span, newest));
    m_viewFrom = m_viewTo - span;
    m_following = m_viewTo >= newest;
}

void TRadioView::Zoom(double factor, double anchor)
{
    const double span = double(m_viewTo - m_viewFrom);
    const double at = double(m_viewFrom) + anchor * span;
    const double newSpan =
        std::clamp(span * factor, double(kMinWindow.count()), double(m_history.Span().count()));
    m_viewFrom = std::int64_t(std::llround(at - anchor * newSpan));
    m_viewTo = m_viewFrom + std::int64_t(std::llround(newSpan));
    ClampView();
    Redraw();
}

void TRadioView::Scroll(double fraction)
{
    const std::int64_t by = std::int64_t(std::llround(fraction * double(m_viewTo - m_viewFrom)));
    SetViewRange(m_viewFrom + by, m_viewTo + by);
}

void TRadioView::ShowWholeHistory()
{
    if (m_history.Empty())
        return;
    SetViewRange(m_history.FirstTimeMs(), m_history.LastTimeMs());
}

void TRadioView::FollowNewest()
{
    const std::int64_t span = m_viewTo - m_viewFrom;
    const std::int64_t newest = m_history.Empty() ? QDateTime::currentMSecsSinceEpoch() : m_history.LastTimeMs();
    SetViewRange(newest - span, newest);
}

int TRadioView::PlotWidth() const
{
    const int plot = int(m_chart->plotArea().width());
    return plot > 10 ? plot : std::max(100, m_chartView->width());
}

QValueAxis *TRadioView::AxisOf(TRadioMeasure measure) const
{
    return QLatin1String(RadioMeasureUnit(measure)) == QLatin1String("dBm") ? m_dbmAxis : m_dbAxis;
}

void TRadioView::Redraw()
{
    m_redrawTimer->stop();
    const int columns = PlotWidth();
    constexpr double inf = std::numeric_limits<double>::infinity();
    double dbmMin = inf, dbmMax = -inf, dbMin = inf, dbMax = -inf;
    for (TRadioMeasure measure : kRadioMeasures) {
        const std::size_t m = std::size_t(measure);
        std::vector<TRadioSegment> segments;
        if (MeasureVisible(measure))
            segments = m_history.Series(measure, m_viewFrom, m_viewTo, columns);
        auto &pool = m_lines[m];
        while (pool.size() < segments.size()) {
            auto *line = new QLineSeries(m_chart);
            QPen pen(kMeasureColors[m]);
            pen.setWidthF(1.5);
            line->setPen(pen);
            line->setName(QString::fromLatin1(RadioMeasureName(measure)));
            m_chart->addSeries(line);
            line->attachAxis(m_timeAxis);
            line->attachAxis(AxisOf(measure));
            pool.push_back(line);
        }
        const bool dbm = AxisOf(measure) == m_dbmAxis;
        for (std::size_t s = 0; s < pool.size(); ++s) {
            QList<QPointF> points;
            if (s < segments.size()) {
                points.reserve(qsizetype(segments[s].points.size()));
                for (const TRadioPoint &p : segments[s].points) {
                    points.append(QPointF(p.timeMs, p.mean));
                    if (p.timeMs < double(m_viewFrom) || p.timeMs > double(m_viewTo))
                        continue; // off the view: it only leads the line to the edge
                    (dbm ? dbmMin : dbMin) = std::min(dbm ? dbmMin : dbMin, p.mean);
                    (dbm ? dbmMax : dbMax) = std::max(dbm ? dbmMax : dbMax, p.mean);
                }
            }
            pool[s]->replace(points);
            pool[s]->setVisible(!points.isEmpty());
        }
    }
    UpdateAxes(dbmMin, dbmMax, dbMin, dbMax);
    UpdateBands();
    const qint64 span = m_viewTo - m_viewFrom;
    const char *format = span > 20 * 3'600'000 ? "dd.MM. HH:mm" : span > 3'600'000 ? "HH:mm" : "HH:mm:ss";
    m_rangeLabel->setText(QStringLiteral("%1 to %2%3")
                              .arg(TimeText(m_viewFrom, "yyyy-MM-dd HH:mm:ss"), TimeText(m_viewTo, "HH:mm:ss"),
                                   m_following ? QStringLiteral(", following the newest values") : QString()));
    m_timeAxis->setFormat(QLatin1String(format));
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(m_viewFrom), QDateTime::fromMSecsSinceEpoch(m_viewTo));
    PlaceMarkers();
}

void TRadioView::UpdateAxes(double dbmMin, double dbmMax, double dbMin, double dbMax)
{
    // Whole steps around what is shown, a default range when nothing is.
    const auto range = [](QValueAxis *axis, double low, double high, double step, double defaultLow,
                          double defaultHigh) {
        if (!(low <= high)) {
            low = defaultLow;
            high = defaultHigh;
        }
        axis->setRange(std::floor((low - step / 2) / step) * step, std::ceil((high + step / 2) / step) * step);
    };
    range(m_dbmAxis, dbmMin, dbmMax, 10, -120, -60);
    range(m_dbAxis, dbMin, dbMax, 5, -20, 30);
}

void TRadioView::UpdateBands()
{
    const std::optional<TRadioMeasure> measure = BandMeasure();
    QValueAxis *axis = measure ? AxisOf(*measure) : m_dbmAxis;
    const TQualityBands bands = measure ? QualityBandsOf(*measure) : TQualityBands{};
    const double top = axis->max(), bottom = axis->min();
    for (std::size_t i = 0; i < m_bands.size(); ++i) {
        QAreaSeries *band = m_bands[i];
        if (!band->attachedAxes().contains(axis)) {
            band->detachAxis(axis == m_dbmAxis ? m_dbAxis : m_dbmAxis);
            band->attachAxis(axis);
        }
        const double high = std::clamp(i == 0 ? top : bands.lower[i - 1], bottom, top);
        const double low = std::clamp(i == bands.lower.size() ? bottom : bands.lower[i], bottom, top);
        const double from = double(m_viewFrom), to = double(m_viewTo);
        band->upperSeries()->replace({QPointF(from, high), QPointF(to, high)});
        band->lowerSeries()->replace({QPointF(from, low), QPointF(to, low)});
        band->setVisible(measure.has_value() && high > low);
    }
}

std::vector<QLineSeries *> TRadioView::Lines(TRadioMeasure measure) const
{
    std::vector<QLineSeries *> lines;
    for (QLineSeries *line : m_lines[std::size_t(measure)])
        if (line->isVisible() && line->count() > 0)
            lines.push_back(line);
    return lines;
}

void TRadioView::ScheduleRedraw()
{
    if (!m_redrawTimer->isActive())
        m_redrawTimer->start();
}

void TRadioView::ShowCells()
{
    const auto column = [&](int c, const std::optional<TRadioCell> &cell) {
        QStringList texts;
        if (cell) {
            const TCellParts parts = CellPartsOf(*cell, GnbIdBits());
            const char *tech = RadioTechName(cell->rat);
            texts << (tech ? QString::fromLatin1(tech) : Unknown())
                  << (cell->band.empty() ? Unknown() : QString::fromStdString(cell->band)) << Number(cell->channel)
                  << Number(cell->pci) << Number(cell->area) << Number(cell->cellId) << Number(parts.enbId)
                  << Number(parts.sector) << Number(parts.gnbId) << Number(parts.nrCell);
            for (TRadioMeasure measure : kRadioMeasures)
                if (!RadioMeasureOfSecondary(measure)) // the secondary column shows the NR leg's own
                    texts << Level(RadioMeasureOf(*cell, measure), RadioMeasureUnit(measure));
        }
        for (int row = 0; row < m_cells->rowCount(); ++row) {
            const QString text = row < texts.size() ? texts[row] : Unknown();
            if (QTableWidgetItem *item = m_cells->item(row, c))
                item->setText(text);
            else
                m_cells->setItem(row, c, new QTableWidgetItem(text));
        }
    };
    column(0, m_lastRecord.serving);
    column(1, m_lastRecord.secondary);
    static_assert(kFirstMeasureRow + 6 == std::size(kCellRows)); // RSRP to Ec/No

    const std::vector<TNeighbourCell> sorted = NeighboursByLevel(m_lastRecord.neighbours);
    m_neighbours->setRowCount(int(sorted.size()));
    for (int row = 0; row < int(sorted.size()); ++row) {
        const TNeighbourCell &n = sorted[std::size_t(row)];
        const char *tech = RadioTechName(n.rat);
        const auto level = NeighbourLevel(n);
        // RSRP, RSCP and RSSI are all powers in dBm.
        const QString levelText =
            level ? QStringLiteral("%1 %2 dBm").arg(QLatin1String(level->first), QString::number(level->second))
                  : Unknown();
        const QStringList texts{tech ? QString::fromLatin1(tech) : Unknown(), Number(n.channel), Number(n.pci),
                                levelText};
        for (int c = 0; c < texts.size(); ++c)
            m_neighbours->setItem(row, c, new QTableWidgetItem(texts[c]));
    }
}

bool TRadioView::ExportPng(const QString &path, QString &error)
{
    Redraw();
    QImageWriter writer(path, "png");
    if (!writer.write(m_chartView->grab().toImage())) {
        error = QStringLiteral("cannot write %1: %2").arg(path, writer.errorString());
        return false;
    }
    return true;
}

bool TRadioView::ExportCsv(const QString &path, QString &error)
{
    QSaveFile file(path);
    const std::string csv = RadioHistoryCsv(m_history, m_viewFrom, m_viewTo);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv.data(), qint64(csv.size())) != qint64(csv.size()) ||
        !file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void TRadioView::ExportPngClick()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export chart"), QStringLiteral("radio.png"),
                                                      QStringLiteral("PNG pictures (*.png)"));
    QString error;
    if (!path.isEmpty() && !ExportPng(path, error))
        QMessageBox::warning(this, QStringLiteral("Export chart"), error);
}

void TRadioView::ExportCsvClick()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export values"),
                                                      QStringLiteral("radio.csv"), QStringLiteral("CSV files (*.csv)"));
    QString error;
    if (!path.isEmpty() && !ExportCsv(path, error))
        QMessageBox::warning(this, QStringLiteral("Export values"), error);
}

void TRadioView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: Zoom(kZoomStep, m_following ? 1.0 : 0.5); break;
    case Qt::Key_Minus: Zoom(1 / kZoomStep, m_following ? 1.0 : 0.5); break;
    case Qt::Key_Left: Scroll(-kScrollStep); break;
    case Qt::Key_Right: Scroll(kScrollStep); break;
    case Qt::Key_Home: ShowWholeHistory(); break;
    case Qt::Key_End: FollowNewest(); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

bool TRadioView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_chartView && event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return event->isAccepted();
    }
    if (watched != m_chartView->viewport())
        return QWidget::eventFilter(watched, event);
    const QRectF plot = m_chart->plotArea();
    switch (event->type()) {
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        const int delta = wheel->angleDelta().y();
        if (delta == 0)
            return false;
        const double anchor = std::clamp((wheel->position().x() - plot.left()) / std::max(1.0, plot.width()), 0.0, 1.0);
        Zoom(delta > 0 ? kZoomStep : 1 / kZoomStep, anchor);
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_dragging = true;
        m_dragX = int(mouse->position().x());
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_dragging)
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        const int x = int(mouse->position().x());
        Scroll(double(m_dragX - x) / std::max(1.0, plot.width()));
        m_dragX = x;
        return true;
    }
    case QEvent::MouseButtonRelease: m_dragging = false; return true;
    case QEvent::ToolTip: {
        // The events under the pointer, as the main window's graph says them.
        auto *help = static_cast<QHelpEvent *>(event);
        const QString text = MarkerTextAt(help->pos().x());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, m_chartView->viewport());
        return true;
    }
    default: return false;
    }
}

void TRadioView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ShowCells();
    Redraw();
    emit VisibilityChanged(true);
}

void TRadioView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit VisibilityChanged(false);
}
