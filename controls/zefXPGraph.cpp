#include "zefXPGraph.h"

#include "RynColor.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>

using namespace std::chrono_literals;

namespace {

// Geometry of the children, in pixels.
constexpr int kFrameTop = 3;
constexpr int kLevelFrameLeft = 5;
constexpr int kLevelFrameWidth = 75;
constexpr int kHistoryFrameGap = 15;   // right frame left = left frame width + gap
constexpr int kFrameRightMargin = 5;
constexpr int kFrameBottomMargin = 10;
constexpr int kStatRowHeight = 15;     // taken from the frames while the statistics show
constexpr int kPanelLeft = 5;
constexpr int kPanelTop = 15;
constexpr int kPanelWidthLoss = 10;    // panel width = frame width - 10
constexpr int kPanelHeightLoss = 20;   // panel height = frame height - 20
constexpr int kBevel = 2;              // lowered outer plus lowered inner bevel
constexpr int kStatFrameHeight = 17;
constexpr int kStatFrameGap = 2;
constexpr int kStatLabelLeft = 9;
constexpr int kStatLabelGap = 4;
constexpr int kMinimumWidth = 200;
constexpr int kMinimumHeight = 66;
constexpr int kMinimumHeightWithStat = 81;
constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 150;

constexpr std::chrono::milliseconds kDefaultRefreshInterval = 1000ms;
constexpr std::chrono::milliseconds kMinimumRefreshInterval = 100ms;

// Space between the history surface's edge and its grid lines.
constexpr int kHistoryInset = 2;

int NonNegative(int value) { return std::max(0, value); }

} // namespace

// --- TzefShape ---------------------------------------------------------------

TzefShape::TzefShape(QWidget *parent) : QWidget(parent)
{
    // The callback repaints the whole surface each time.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TzefShape::SetOnPaint(PaintCallback callback) { m_onPaint = std::move(callback); }

void TzefShape::SetBrushColor(std::uint32_t bgr)
{
    if (m_brushColor == bgr)
        return;
    m_brushColor = bgr;
    update();
}

void TzefShape::paintEvent(QPaintEvent *)
{
    if (!m_onPaint || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    m_onPaint(*this, painter);
}

// --- drawing rules -----------------------------------------------------------

namespace zef {

long long RoundHalfEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    double result = below;
    if (fraction > 0.5)
        result = below + 1.0;
    else if (fraction == 0.5)
        result = std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
    return static_cast<long long>(result);
}

int DigitCount(long long value)
{
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    int digits = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        ++digits;
    }
    return digits;
}

TzefBarBox BarBoxFor(int w, int h, int textHeight)
{
    return TzefBarBox{10, 4, w - 11, h - 4 - textHeight};
}

int SegmentCount(const TzefBarBox &box)
{
    // A surface too small for the text leaves no room for any segment.
    if (box.bottom <= box.top || box.right <= box.left)
        return 0;
    const long long n = RoundHalfEven((box.bottom - box.top) / 3.0);
    return static_cast<int>(std::min<long long>(n, 0xFFFF));
}

int LitCount(int value, int maxValue, int segments)
{
    if (maxValue <= 0 || segments <= 0)
        return 0;
    const long long lit = RoundHalfEven(double(value) / double(maxValue) * segments);
    return static_cast<int>(std::clamp<long long>(lit, 0, segments));
}

TzefBand SegmentBand(int i, int n, int lit)
{
    if (i < n - lit)
        return TzefBand::zbUnlit;
    const int k = n - i; // 1 for the lowest segment
    if (k > (3 * n) / 4)
        return TzefBand::zbMax;
    if (k > n / 2)
        return TzefBand::zb75;
    return TzefBand::zbHalf;
}

std::array<QRect, 2> SegmentRects(const TzefBarBox &box, int i)
{
    const int y = box.top + 3 * i;
    const int mid = box.left + (box.right - box.left) / 2;
    // Right and bottom edges are exclusive: pixels left..mid-2 and mid+1..right-1.
    return {QRect(box.left, y, NonNegative(mid - 1 - box.left), 2),
            QRect(mid + 1, y, NonNegative(box.right - mid - 1), 2)};
}

std::vector<int> GridRows(int h)
{
    std::vector<int> rows;
    if (h < 0)
        return rows;
    for (int i = 0; i <= h / kGridStep; ++i)
        rows.push_back(h - kGridStep * i);
    return rows;
}

std::vector<int> GridColumns(int w, int phase)
{
    std::vector<int> columns;
    if (w < 0)
        return columns;
    for (int i = 0; i <= w / kGridStep; ++i) {
        const int x = w - kGridStep * i - phase;
        if (x >= 0)
            columns.push_back(x);
    }
    return columns;
}

QPolygon HistoryPoints(const std::deque<int> &samples, int w, int h, int maxValue)
{
    QPolygon points;
    if (samples.empty() || maxValue <= 0 || w <= 0)
        return points;
    const long long count = static_cast<long long>(samples.size());
    const double scale = double(h) / double(maxValue);
    // Samples left of x = -1 only draw segments that lie wholly off the surface.
    const long long first = std::max(0LL, count - w - 1);
    points.reserve(static_cast<int>(count - first));
    for (long long j = first; j < count; ++j) {
        const int x = static_cast<int>(w - count + j);
        const int y = static_cast<int>(h - RoundHalfEven(samples[std::size_t(j)] * scale));
        points.append(QPoint(x, y));
    }
    return points;
}

QString StatisticsText(int maxValue, double average, int usageValue, int maxWidth,
                       const QLocale &locale)
{
    const double shown = std::trunc(average * 100.0) / 100.0;
    const int padding = std::max(0, maxWidth - DigitCount(usageValue) + 1);
    return QStringLiteral("Max: ") + QString::number(maxValue) + QStringLiteral("  Avg: ")
           + locale.toString(shown, 'f', 2) + QStringLiteral("  Curr: ")
           + QString::number(usageValue) + QString(padding, QLatin1Char(' '));
}

} // namespace zef

// --- TzefXPGraph -------------------------------------------------------------

TzefXPGraph::TzefXPGraph(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kDefaultWidth, kDefaultHeight);

    const auto makeFrame = [this](const QString &title, QFrame *&panel, TzefShape *&surface) {
        auto *frame = new QGroupBox(title, this);
        panel = new QFrame(frame);
        panel->setFrameStyle(QFrame::WinPanel | QFrame::Sunken); // two 1-pixel lowered bevels
        surface = new TzefShape(panel);
        return frame;
    };
    m_levelFrame = makeFrame(QStringLiteral("Usage"), m_levelPanel, m_levelSurface);
    m_historyFrame = makeFrame(QStringLiteral("Usage History"), m_historyPanel, m_historySurface);
    m_levelSurface->setObjectName(QStringLiteral("levelSurface"));
    m_historySurface->setObjectName(QStringLiteral("historySurface"));
    m_levelSurface->SetOnPaint([this](TzefShape &s, QPainter &p) { DrawLevel(s, p); });
    m_historySurface->SetOnPaint([this](TzefShape &s, QPainter &p) { DrawHistory(s, p); });
    m_historySurface->installEventFilter(this);

    m_statFrame = new TzefShape(this);
    m_statFrame->setObjectName(QStringLiteral("statisticsFrame"));
    m_statFrame->setAttribute(Qt::WA_OpaquePaintEvent, false);
    m_statFrame->SetOnPaint([](TzefShape &s, QPainter &p) {
        const int radius = std::min(s.width(), s.height()) / 8;
        p.setPen(QPen(Qt::black));
        p.setBrush(RynToQColor(s.BrushColor()));
        p.drawRoundedRect(s.rect().adjusted(0, 0, -1, -1), radius, radius);
    });
    m_statLabel = new QLabel(this);
    m_statLabel->setObjectName(QStringLiteral("statisticsLabel"));
    m_statLabel->setAttribute(Qt::WA_TranslucentBackground);
    m_statLabel->setAutoFillBackground(false);
    m_statFrame->setVisible(false);
    m_statLabel->setVisible(false);

    m_timer = new QTimer(this);
    m_timer->setInterval(kDefaultRefreshInterval);
    connect(m_timer, &QTimer::timeout, this, &TzefXPGraph::RefreshStep);

    m_levelSurface->setFont(m_graphFont);
    m_historySurface->setFont(m_graphFont);

    Layout();
    m_color = RynFromQColor(QApplication::palette().color(QPalette::Button));
    if (parentWidget())
        ParentColorChanged();
}

TzefXPGraph::~TzefXPGraph() = default;

QSize TzefXPGraph::sizeHint() const { return QSize(kDefaultWidth, kDefaultHeight); }

void TzefXPGraph::SetUsageValue(int value)
{
    m_usageValue = std::clamp(value, 0, m_maxValue);
    UpdateAverage(m_usageValue);
    if (!m_active)
        RefreshStep();
}

void TzefXPGraph::SetMaxValue(int value)
{
    // The bar and the curve scale by the maximum; a non-positive one has no scale.
    if (value <= 0)
        return;
    m_maxValue = value;
    m_maxWidth = zef::DigitCount(value);
}

void TzefXPGraph::SetActive(bool active)
{
    m_active = active;
    if (active)
        m_timer->start();
    else
        m_timer->stop();
}

unsigned TzefXPGraph::RefreshInterval() const { return static_cast<unsigned>(m_timer->interval()); }

void TzefXPGraph::SetRefreshInterval(unsigned milliseconds)
{
    const auto minimum = static_cast<unsigned>(kMinimumRefreshInterval.count());
    // The timer holds its period as an int.
    const unsigned bounded = std::clamp(milliseconds, minimum, static_cast<unsigned>(INT_MAX));
    m_timer->setInterval(static_cast<int>(bounded));
}

void TzefXPGraph::SetDisplayStat(bool display)
{
    m_displayStat = display;
    setMinimumHeight(display ? kMinimumHeightWithStat : kMinimumHeight);
    if (!display && height() == kMinimumHeightWithStat)
        resize(width(), kMinimumHeight);
    m_statFrame->setVisible(display);
    m_statLabel->setVisible(display);
    RefreshStep();
}

void TzefXPGraph::SetColor(std::uint32_t bgr)
{
    m_followsParentColor = false;
    m_color = bgr;
    m_statFrame->SetBrushColor(bgr);
    update();
}

std::uint32_t TzefXPGraph::BackGround() const { return m_levelSurface->BrushColor(); }

void TzefXPGraph::SetBackGround(std::uint32_t bgr)
{
    m_levelSurface->SetBrushColor(bgr);
    m_historySurface->SetBrushColor(bgr);
}

void TzefXPGraph::SetUsageLabel(const QString &label)
{
    m_usageLabel = label;
    RefreshStep();
}

void TzefXPGraph::SetGraphFont(const QFont &font, std::uint32_t bgr)
{
    m_graphFont = font;
    m_graphFontColor = bgr;
    m_levelSurface->setFont(font);
    m_historySurface->setFont(font);
    RefreshStep();
}

void TzefXPGraph::SetColorProperty(std::uint32_t &member, std::uint32_t bgr)
{
    member = bgr;
    RefreshStep();
}

void TzefXPGraph::SetColorHalf(std::uint32_t bgr) { SetColorProperty(m_colorHalf, bgr); }
void TzefXPGraph::SetColor75(std::uint32_t bgr) { SetColorProperty(m_color75, bgr); }
void TzefXPGraph::SetColorMax(std::uint32_t bgr) { SetColorProperty(m_colorMax, bgr); }
void TzefXPGraph::SetColorUsageBarBack(std::uint32_t bgr) { SetColorProperty(m_colorUsageBarBack, bgr); }
void TzefXPGraph::SetColorHistoryGrid(std::uint32_t bgr) { SetColorProperty(m_colorHistoryGrid, bgr); }
void TzefXPGraph::SetColorHistoryGridLine(std::uint32_t bgr)
{
    SetColorProperty(m_colorHistoryGridLine, bgr);
}

QString TzefXPGraph::UsageCaption() const { return m_levelFrame->title(); }
void TzefXPGraph::SetUsageCaption(const QString &caption) { m_levelFrame->setTitle(caption); }
QString TzefXPGraph::HistoryCaption() const { return m_historyFrame->title(); }
void TzefXPGraph::SetHistoryCaption(const QString &caption) { m_historyFrame->setTitle(caption); }

void TzefXPGraph::UpdateAverage(int value)
{
    // Running mean since the first non-zero average; the count starts at 1.
    if (m_average == 0.0) {
        m_average = value;
        return;
    }
    const double count = double(m_averageCount);
    m_average = (value / count + m_average) / (1.0 / count + 1.0);
    ++m_averageCount;
}

void TzefXPGraph::RefreshStep()
{
    if (!parentWidget())
        return;
    Layout();
    if (m_samples.size() >= kMaxSamples)
        m_samples.pop_front();
    m_samples.push_back(m_usageValue);
    ++m_taken;
    while (!m_markers.empty() && m_markers.front().sample + kMaxSamples < m_taken)
        m_markers.pop_front();
    if (++m_gridPhase >= zef::kGridStep)
        m_gridPhase = 0;
    m_statFrame->SetBrushColor(m_color);
    m_levelSurface->update();
    m_historySurface->update();
    UpdateStatistics();
}

void TzefXPGraph::UpdateStatistics()
{
    if (!m_displayStat)
        return;
    m_statLabel->setText(
        zef::StatisticsText(m_maxValue, m_average, m_usageValue, m_maxWidth, QLocale()));
    m_statLabel->adjustSize();
}

void TzefXPGraph::Layout()
{
    const int stat = m_displayStat ? 1 : 0;
    const int frameHeight = NonNegative(height() - kFrameBottomMargin - kStatRowHeight * stat);
    const int historyLeft = kLevelFrameWidth + kHistoryFrameGap;
    const int historyWidth = NonNegative(width() - historyLeft - kFrameRightMargin);

    m_levelFrame->setGeometry(kLevelFrameLeft, kFrameTop, kLevelFrameWidth, frameHeight);
    m_historyFrame->setGeometry(historyLeft, kFrameTop, historyWidth, frameHeight);

    const auto placePanel = [](QGroupBox *frame, QFrame *panel, TzefShape *surface) {
        const int panelWidth = NonNegative(frame->width() - kPanelWidthLoss);
        const int panelHeight = NonNegative(frame->height() - kPanelHeightLoss);
        panel->setGeometry(kPanelLeft, kPanelTop, panelWidth, panelHeight);
        surface->setGeometry(kBevel, kBevel, NonNegative(panelWidth - 2 * kBevel),
                             NonNegative(panelHeight - 2 * kBevel));
    };
    placePanel(m_levelFrame, m_levelPanel, m_levelSurface);
    placePanel(m_historyFrame, m_historyPanel, m_historySurface);

    const int below = kFrameTop + frameHeight;
    m_statFrame->setGeometry(historyLeft, below + kStatFrameGap, historyWidth, kStatFrameHeight);
    m_statLabel->move(historyLeft + kStatLabelLeft, below + kStatLabelGap);
    m_statFrame->setVisible(m_displayStat);
    m_statLabel->setVisible(m_displayStat);
}

void TzefXPGraph::DrawLevel(TzefShape &surface, QPainter &painter) const
{
    const int w = surface.width();
    const int h = surface.height();
    const QColor background = RynToQColor(surface.BrushColor());
    painter.fillRect(surface.rect(), background);

    const QString text = QString::number(m_usageValue) + QLatin1Char(' ') + m_usageLabel;
    const QFontMetrics metrics(m_graphFont);
    const int textHeight = metrics.height();
    const int textWidth = metrics.horizontalAdvance(text);
    const QRect textRect((w - textWidth) / 2, h - textHeight - 3, textWidth, textHeight);
    painter.setFont(m_graphFont);
    painter.setPen(RynToQColor(m_graphFontColor));
    painter.setBackground(background);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);

    const zef::TzefBarBox box = zef::BarBoxFor(w, h, textHeight);
    const int n = zef::SegmentCount(box);
    const int lit = zef::LitCount(m_usageValue, m_maxValue, n);
    for (int i = 0; i < n; ++i) {
        std::uint32_t colour = m_colorUsageBarBack;
        switch (zef::SegmentBand(i, n, lit)) {
        case zef::TzefBand::zbUnlit: break;
        case zef::TzefBand::zbHalf: colour = m_colorHalf; break;
        case zef::TzefBand::zb75: colour = m_color75; break;
        case zef::TzefBand::zbMax: colour = m_colorMax; break;
        }
        for (const QRect &half : zef::SegmentRects(box, i))
            painter.fillRect(half, RynToQColor(colour));
    }
}

void TzefXPGraph::DrawHistory(TzefShape &surface, QPainter &painter) const
{
    const int w = surface.width();
    const int h = surface.height();
    painter.fillRect(surface.rect(), RynToQColor(surface.BrushColor()));

    // Grid lines end one pixel before their end point.
    painter.setPen(QPen(RynToQColor(m_colorHistoryGrid), 0));
    for (int y : zef::GridRows(h))
        if (y < h)
            painter.drawLine(kHistoryInset, y, w - 1, y);
    for (int x : zef::GridColumns(w, m_gridPhase))
        painter.drawLine(x, kHistoryInset, x, h - kHistoryInset - 1);

    const QPolygon points = zef::HistoryPoints(m_samples, w, h, m_maxValue);
    if (!points.isEmpty()) {
        painter.setPen(QPen(RynToQColor(m_colorHistoryGridLine), 0));
        if (points.size() == 1)
            painter.drawPoint(points.front());
        else
            painter.drawPolyline(points);
    }
    for (const Marker &marker : m_markers) {
        const int x = MarkerX(marker, w);
        if (x < 0)
            continue;
        painter.setPen(QPen(RynToQColor(marker.bgr), 0));
        painter.drawLine(x, kHistoryInset, x, h - kHistoryInset - 1);
    }
}

void TzefXPGraph::AddMarker(std::uint32_t bgr, const QString &text)
{
    m_markers.push_back({m_taken, bgr, text});
    m_historySurface->update();
}

int TzefXPGraph::MarkerX(const Marker &marker, int w) const
{
    // Sample n (counted from 0) is at w - m_taken + n; one not taken yet at
    // the right edge.
    const long long x = static_cast<long long>(w) - static_cast<long long>(m_taken) +
                        static_cast<long long>(marker.sample);
    return static_cast<int>(std::min<long long>(x, w - 1));
}

QString TzefXPGraph::MarkerTextAt(int x) const
{
    QStringList texts;
    for (const Marker &marker : m_markers)
        if (std::abs(MarkerX(marker, m_historySurface->width()) - x) <= 2)
            texts << marker.text;
    return texts.join('\n');
}

bool TzefXPGraph::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_historySurface && event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString text = MarkerTextAt(help->pos().x());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, m_historySurface);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TzefXPGraph::ParentColorChanged()
{
    if (m_followsParentColor) {
        const QWidget *parent = parentWidget();
        const QColor colour = parent ? parent->palette().color(parent->backgroundRole())
                                     : QApplication::palette().color(QPalette::Button);
        m_color = RynFromQColor(colour);
    }
    update();
    m_levelPanel->update();
    m_historyPanel->update();
    RefreshStep();
}

void TzefXPGraph::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), RynToQColor(m_color));
}

void TzefXPGraph::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Layout();
}

void TzefXPGraph::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange) {
        ParentColorChanged();
    } else if (event->type() == QEvent::PaletteChange && m_followsParentColor && parentWidget()) {
        // The parent's palette reaches us through propagation; act only on a new colour.
        const QWidget *parent = parentWidget();
        if (RynFromQColor(parent->palette().color(parent->backgroundRole())) != m_color)
            ParentColorChanged();
    }
}

bool TzefXPGraph::IsOnOwnBackground(const QPoint &pos) const
{
    return rect().contains(pos) && childAt(pos) == nullptr;
}

void TzefXPGraph::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && IsOnOwnBackground(event->position().toPoint()))
        event->accept();
    else
        event->ignore();
}

void TzefXPGraph::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && IsOnOwnBackground(event->position().toPoint())) {
        event->accept();
        RefreshStep();
    } else {
        event->ignore();
    }
}
