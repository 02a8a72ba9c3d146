#pragma once
// TzefXPGraph: a task-manager style usage display. A segmented level bar with
// the value underneath, beside it a scrolling history curve over a moving
// grid, and an optional statistics line. Colours are 0x00BBGGRR values.

#include <QFont>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class QFrame;
class QGroupBox;
class QLabel;
class QLocale;
class QPainter;
class QTimer;

// A drawing surface that paints nothing itself: its paint event fills in no
// pixel and only hands a painter to the paint callback, so the owner redraws
// it from its own state on every repaint.
class TzefShape : public QWidget {
    Q_OBJECT
public:
    using PaintCallback = std::function<void(TzefShape &sender, QPainter &painter)>;

    explicit TzefShape(QWidget *parent = nullptr);

    void SetOnPaint(PaintCallback callback);

    // The fill colour the owner paints the surface with; repaints on change.
    std::uint32_t BrushColor() const { return m_brushColor; }
    void SetBrushColor(std::uint32_t bgr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    PaintCallback m_onPaint;
    std::uint32_t m_brushColor = 0x00000000;
};

// Drawing rules of the graph as pure functions, so they can be checked apart
// from painting.
namespace zef {

// Rounds to the nearest integer, halves to the even neighbour.
long long RoundHalfEven(double value);

// Number of decimal digits of value (1 for 0; the sign is not counted).
int DigitCount(long long value);

// The box the level bar's segments fill on a surface of w x h pixels whose
// value text is textHeight pixels high. Right and bottom are exclusive.
struct TzefBarBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
TzefBarBox BarBoxFor(int w, int h, int textHeight);

// Segments of three rows each that fit the box; 0 when the box is empty.
int SegmentCount(const TzefBarBox &box);

// Lit segments for value of maxValue, in 0..segments; 0 when maxValue <= 0.
int LitCount(int value, int maxValue, int segments);

enum class TzefBand { zbUnlit, zbHalf, zb75, zbMax };

// Colour band of segment i (0 = top) of n with lit segments lit from below.
TzefBand SegmentBand(int i, int n, int lit);

// The two halves of segment i, leaving a two-pixel gap down the middle.
std::array<QRect, 2> SegmentRects(const TzefBarBox &box, int i);

// History grid: y of every horizontal line and x of every visible vertical
// line (those left of 0 are dropped) on a surface of w x h pixels.
constexpr int kGridStep = 12;
std::vector<int> GridRows(int h);
std::vector<int> GridColumns(int w, int phase);

// Curve points of the samples (oldest first), the newest at x = w - 1. Points
// that cannot reach the surface are left out; the first point kept is at most
// one pixel left of it, so the segment entering the surface stays drawn.
QPolygon HistoryPoints(const std::deque<int> &samples, int w, int h, int maxValue);

// "Max: 100  Avg: 6.50  Curr: 6   ": the average truncated to two decimals in
// the locale's notation, the value padded to maxWidth + 1 characters.
QString StatisticsText(int maxValue, double average, int usageValue, int maxWidth,
                       const QLocale &locale);

} // namespace zef

class TzefXPGraph : public QWidget {
    Q_OBJECT
public:
    explicit TzefXPGraph(QWidget *parent = nullptr);
    ~TzefXPGraph() override;

    // The current value, clamped to 0..MaxValue. Every assignment updates the
    // average and, while not Active, runs one refresh step (one sample).
    int UsageValue() const { return m_usageValue; }
    void SetUsageValue(int value);

    // Full scale; values <= 0 are refused and the old value kept.
    int MaxValue() const { return m_maxValue; }
    void SetMaxValue(int value);

    // Sampling by the timer.
    bool Active() const { return m_active; }
    void SetActive(bool active);

    // Timer period in ms, at least 100.
    unsigned RefreshInterval() const;
    void SetRefreshInterval(unsigned milliseconds);

    bool DisplayStat() const { return m_displayStat; }
    void SetDisplayStat(bool display);

    // Background of the control and fill of the statistics frame; follows the
    // parent's background until set explicitly.
    std::uint32_t Color() const { return m_color; }
    void SetColor(std::uint32_t bgr);

    // Background of both drawing surfaces.
    std::uint32_t BackGround() const;
    void SetBackGround(std::uint32_t bgr);

    QString UsageLabel() const { return m_usageLabel; }
    void SetUsageLabel(const QString &label);

    // Font and colour of the value text under the bar.
    QFont GraphFont() const { return m_graphFont; }
    std::uint32_t GraphFontColor() const { return m_graphFontColor; }
    void SetGraphFont(const QFont &font, std::uint32_t bgr);

    std::uint32_t ColorHalf() const { return m_colorHalf; }
    void SetColorHalf(std::uint32_t bgr);
    std::uint32_t Color75() const { return m_color75; }
    void SetColor75(std::uint32_t bgr);
    std::uint32_t ColorMax() const { return m_colorMax; }
    void SetColorMax(std::uint32_t bgr);
    std::uint32_t ColorUsageBarBack() const { return m_colorUsageBarBack; }
    void SetColorUsageBarBack(std::uint32_t bgr);
    std::uint32_t ColorHistoryGrid() const { return m_colorHistoryGrid; }
    void SetColorHistoryGrid(std::uint32_t bgr);
    std::uint32_t ColorHistoryGridLine() const { return m_colorHistoryGridLine; }
    void SetColorHistoryGridLine(std::uint32_t bgr);

    // Titles of the two frames.
    QString UsageCaption() const;
    void SetUsageCaption(const QString &caption);
    QString HistoryCaption() const;
    void SetHistoryCaption(const QString &caption);

    // One refresh step: layout, append the current value as a sample, advance
    // the grid, repaint both surfaces and the statistics line. Inert while the
    // control has no parent.
    void RefreshStep();

    // Sampled values, oldest first, at most kMaxSamples.
    static constexpr std::size_t kMaxSamples = 1001;
    const std::deque<int> &Samples() const { return m_samples; }
    // Horizontal offset of the vertical grid, 0..kGridStep - 1.
    int GridPhase() const { return m_gridPhase; }
    double Average() const { return m_average; }

    // A marker on the history: a thin vertical line in its colour at the
    // sample the next refresh step takes, with its text as the tooltip. It
    // scrolls with the history and goes when its sample does.
    struct Marker {
        std::uint64_t sample; // the number of samples taken before it
        std::uint32_t bgr;
        QString text;
    };
    void AddMarker(std::uint32_t bgr, const QString &text);
    const std::deque<Marker> &Markers() const { return m_markers; }
    // The x of a marker on a history surface of width w (the newest sample
    // at w - 1).
    int MarkerX(const Marker &marker, int w) const;
    // The texts of the markers within two pixels of x on the history
    // surface, one per line; empty when none.
    QString MarkerTextAt(int x) const;

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void SetColorProperty(std::uint32_t &member, std::uint32_t bgr);
    void UpdateAverage(int value);
    void ParentColorChanged();
    void Layout();
    void DrawLevel(TzefShape &surface, QPainter &painter) const;
    void DrawHistory(TzefShape &surface, QPainter &painter) const;
    void UpdateStatistics();
    bool IsOnOwnBackground(const QPoint &pos) const;

    QGroupBox *m_levelFrame = nullptr;
    QGroupBox *m_historyFrame = nullptr;
    QFrame *m_levelPanel = nullptr;
    QFrame *m_historyPanel = nullptr;
    TzefShape *m_levelSurface = nullptr;
    TzefShape *m_historySurface = nullptr;
    TzefShape *m_statFrame = nullptr;
    QLabel *m_statLabel = nullptr;
    QTimer *m_timer = nullptr;

    int m_usageValue = 0;
    int m_maxValue = 100;
    int m_maxWidth = 3; // digits of m_maxValue, kept in step with it
    bool m_active = false;
    bool m_displayStat = false;
    bool m_followsParentColor = true;
    std::uint32_t m_color = 0x00000000;
    QString m_usageLabel = QStringLiteral("%");
    QFont m_graphFont;
    std::uint32_t m_graphFontColor = 0x0000FF00;
    std::uint32_t m_colorHalf = 0x0000FF00;
    std::uint32_t m_color75 = 0x0009F9FF;
    std::uint32_t m_colorMax = 0x000000E1;
    std::uint32_t m_colorUsageBarBack = 0x00004000;
    std::uint32_t m_colorHistoryGrid = 0x00008000;
    std::uint32_t m_colorHistoryGridLine = 0x0000FF00;

    std::deque<int> m_samples;     // oldest first, at most kMaxSamples
    int m_gridPhase = 0;           // 0..kGridStep - 1
    double m_average = 0.0;        // mean since the first non-zero value
    long long m_averageCount = 1;  // samples in m_average, never reset
    std::uint64_t m_taken = 0;     // samples taken so far
    std::deque<Marker> m_markers;  // oldest first
};
