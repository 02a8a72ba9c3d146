#pragma once
// The radio view: a window of its own with the serving cell's measures in
// their own units over time (a chart with a local-time axis, quality bands
// behind the lines, scroll and zoom by mouse and keys, lines broken where
// the technology changed), and beside it the serving and secondary cells
// with the parts of their cell ids and the neighbours strongest first. The
// history is kept while the window is closed.

#include "RadioHistory.h"

#include <QWidget>

#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

class QAreaSeries;
class QChart;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class QValueAxis;

class TRadioView : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultWindow{10 * 60'000};
    static constexpr std::chrono::milliseconds kMinWindow{60'000};
    // Records arriving faster than this are drawn together.
    static constexpr std::chrono::milliseconds kRedrawPeriod{500};

    explicit TRadioView(QWidget *parent = nullptr);
    ~TRadioView() override;

    // A completed cycle's display record at timeMs (milliseconds since the
    // epoch): into the history, and into the cells panel.
    void AddRecord(const TNetState &record, std::int64_t timeMs);
    const RadioHistory &History() const { return m_history; }

    // An event at timeMs: a thin line of colour bgr across the chart, with
    // text as its tooltip, as the main window's graph marks it. Kept as
    // long as the history, at most kMaxMarkers.
    struct Marker {
        std::int64_t timeMs;
        std::uint32_t bgr;
        QString text;
    };
    static constexpr std::size_t kMaxMarkers = 5000;
    void AddMarker(std::int64_t timeMs, std::uint32_t bgr, const QString &text);
    const std::deque<Marker> &Markers() const { return m_markers; }
    // The lines drawn for the markers in the shown range.
    std::vector<QGraphicsLineItem *> MarkerLines() const;
    // The texts of the markers within a few pixels of x (of the chart
    // view), one per line; empty when none.
    QString MarkerTextAt(double x) const;

    void SetMeasureVisible(TRadioMeasure measure, bool visible);
    bool MeasureVisible(TRadioMeasure measure) const;
    // The gNB id length of the cells panel, 22 to 32 bits.
    int GnbIdBits() const;
    void SetGnbIdBits(int bits);

    // The time range shown, milliseconds since the epoch. While Following,
    // the range ends at the newest sample and moves with it.
    std::int64_t ViewFrom() const { return m_viewFrom; }
    std::int64_t ViewTo() const { return m_viewTo; }
    bool Following() const { return m_following; }
    void SetViewRange(std::int64_t fromMs, std::int64_t toMs);
    // factor < 1 zooms in, > 1 out, around anchor (0 left edge, 1 right).
    void Zoom(double factor, double anchor = 0.5);
    // By a fraction of the shown span; positive goes later.
    void Scroll(double fraction);
    void ShowWholeHistory();
    void FollowNewest();

    // The chart as a picture, and the entries of the shown range as CSV.
    // False, with the reason in error, when the file cannot be written.
    bool ExportPng(const QString &path, QString &error);
    bool ExportCsv(const QString &path, QString &error);

    // Rebuilds the lines for the shown range now.
    void Redraw();
    // The lines of a measure that hold points (one per unbroken run).
    std::vector<QLineSeries *> Lines(TRadioMeasure measure) const;
    // The measure whose quality bands are shaded: the first one shown.
    std::optional<TRadioMeasure> BandMeasure() const;

    QChartView *ChartView() const { return m_chartView; }
    QCheckBox *MeasureBox(TRadioMeasure measure) const { return m_boxes[std::size_t(measure)]; }
    QTableWidget *CellsTable() const { return m_cells; }
    QTableWidget *NeighboursTable() const { return m_neighbours; }

signals:
    void VisibilityChanged(bool visible);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void BuildChart();
    void BuildCellsPanel(QWidget *panel);
    void ShowCells();
    void ScheduleRedraw();
    void ClampView();
    void UpdateAxes(double dbmMin, double dbmMax, double dbMin, double dbMax);
    void UpdateBands();
    void PlaceMarkers();
    QValueAxis *AxisOf(TRadioMeasure measure) const;
    void ExportPngClick();
    void ExportCsvClick();
    int PlotWidth() const;

    RadioHistory m_history;
    TNetState m_lastRecord;
    bool m_hasRecord = false;
    std::int64_t m_viewFrom = 0;
    std::int64_t m_viewTo = 0;
    bool m_following = true;
    bool m_dragging = false;
    int m_dragX = 0;

    QChart *m_chart = nullptr;
    QChartView *m_chartView = nullptr;
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_dbmAxis = nullptr;
    QValueAxis *m_dbAxis = nullptr;
    std::array<QCheckBox *, kRadioMeasureCount> m_boxes{};
    std::array<std::vector<QLineSeries *>, kRadioMeasureCount> m_lines;
    std::array<QAreaSeries *, 4> m_bands{};
    QTableWidget *m_cells = nullptr;
    QTableWidget *m_neighbours = nullptr;
    QSpinBox *m_gnbBits = nullptr;
    QLabel *m_rangeLabel = nullptr;
    QTimer *m_redrawTimer = nullptr;
    std::deque<Marker> m_markers;
    std::vector<QGraphicsLineItem *> m_markerLines; // a pool; those beyond the shown markers hidden
};

// The neighbours strongest first by RSRP, else RSCP, else RSSI; those
// without a level last, in their order.
std::vector<TNeighbourCell> NeighboursByLevel(const std::vector<TNeighbourCell> &neighbours);
