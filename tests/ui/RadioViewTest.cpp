// The radio view, the antenna-pointing mode and their menu items, offscreen:
// measures toggled, a day of cycles within the memory bound, zoom and scroll
// by keys, the break at a technology change, exports read back, the cells
// panel's decoded identities and the pointing mode's best value and short
// cycle.
#include "MainWindow.h"
#include "PointingTone.h"
#include "PointingView.h"
#include "RadioView.h"
#include "VRynAppInfo.h"
#include "WindowTestHome.h"

#include <QAction>
#include <QCheckBox>
#include <QChartView>
#include <QFile>
#include <QGraphicsLineItem>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <cstdlib>

#include <memory>

namespace {

constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kMinute = 60 * kSecond;
constexpr std::int64_t kStart = 1796774400000; // 2026-12-09 00:00 UTC

TNetState LteRecord(double rsrp, std::int64_t cellId = 0x1A2B3C4)
{
    TNetState r;
    r.rat = TRadioTech::Lte;
    TRadioCell cell;
    cell.rat = TRadioTech::Lte;
    cell.cellId = cellId;
    cell.area = 6699;
    cell.pci = 311;
    cell.channel = 1300;
    cell.band = "B3";
    cell.rsrp = rsrp;
    cell.rsrq = -10.5;
    cell.sinr = 13;
    cell.rssi = -65;
    r.serving = cell;
    return r;
}

TNetState GsmRecord(double rssi)
{
    TNetState r;
    r.rat = TRadioTech::Gsm;
    TRadioCell cell;
    cell.rat = TRadioTech::Gsm;
    cell.rssi = rssi;
    r.serving = cell;
    return r;
}

int PointCount(const std::vector<QLineSeries *> &lines)
{
    int n = 0;
    for (const QLineSeries *line : lines)
        n += int(line->count());
    return n;
}

QString Cell(QTableWidget *table, const QString &row, int column)
{
    for (int r = 0; r < table->rowCount(); ++r)
        if (table->verticalHeaderItem(r)->text() == row)
            return table->item(r, column) ? table->item(r, column)->text() : QString();
    return QStringLiteral("<no row %1>").arg(row);
}

} // namespace

class RadioViewTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QSettings(QStringLiteral("RYN s.r.o."), QStringLiteral("Palvex")).clear(); }

    void togglingAMeasureHidesItsLineAndMovesTheBands()
    {
        TRadioView view;
        view.resize(1000, 600);
        view.show();
        for (int i = 0; i < 120; ++i)
            view.AddRecord(LteRecord(-90 - i % 7), kStart + i * kSecond);
        view.Redraw();
        QVERIFY(!view.Lines(TRadioMeasure::Rsrp).empty());
        QVERIFY(!view.Lines(TRadioMeasure::Sinr).empty());
        QVERIFY(view.Lines(TRadioMeasure::Rscp).empty()); // LTE has no RSCP
        QCOMPARE(view.BandMeasure(), std::optional(TRadioMeasure::Rsrp));

        QTest::mouseClick(view.MeasureBox(TRadioMeasure::Rsrp), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!view.MeasureVisible(TRadioMeasure::Rsrp));
        QVERIFY(view.Lines(TRadioMeasure::Rsrp).empty());
        QVERIFY(!view.Lines(TRadioMeasure::Rsrq).empty());
        QCOMPARE(view.BandMeasure(), std::optional(TRadioMeasure::Rsrq));
        view.SetMeasureVisible(TRadioMeasure::Rsrp, true);
        QVERIFY(!view.Lines(TRadioMeasure::Rsrp).empty());
    }

    void aDayOfCyclesStaysWithinTheMemoryBound()
    {
        TRadioView view;
        view.resize(1366, 768);
        // A day and an hour of one cycle every 2 s while the window is closed.
        const std::int64_t cycles = 25 * 1800;
        for (std::int64_t i = 0; i < cycles; ++i)
            view.AddRecord(LteRecord(-100 + double(i % 20)), kStart + i * 2 * kSecond);
        const RadioHistory &history = view.History();
        QVERIFY(history.MemoryBytes() < 2 * 1024 * 1024);
        // A day, and at most the start of the one interval reaching into it.
        QVERIFY(history.LastTimeMs() - history.FirstTimeMs() < 24 * 60 * kMinute + 10 * kSecond);
        QVERIFY(history.LastTimeMs() - history.FirstTimeMs() >= 24 * 60 * kMinute);
        QVERIFY(history.ReducedCount() > 8000 && history.ReducedCount() < 9000);

        view.show();
        view.ShowWholeHistory();
        QCOMPARE(view.ViewTo(), history.LastTimeMs());
        QCOMPARE(view.ViewTo() - view.ViewFrom(), 24 * 60 * kMinute);
        // One point per pixel column at most, whatever the day held.
        const auto lines = view.Lines(TRadioMeasure::Rsrp);
        QCOMPARE(int(lines.size()), 1);
        const int width = int(view.ChartView()->chart()->plotArea().width());
        QVERIFY2(PointCount(lines) <= width + 2, qPrintable(QString::number(PointCount(lines))));
        QVERIFY(PointCount(lines) > width / 2);
    }

    // Events as thin coloured lines across the chart where they happened,
    // their texts as the tooltip; one scrolled out of the range is not drawn.
    void eventsAreMarkedOnTheChart()
    {
        TRadioView view;
        view.resize(1000, 600);
        view.show();
        for (int i = 0; i < 600; ++i)
            view.AddRecord(LteRecord(-95), kStart + i * kSecond);
        const std::int64_t first = kStart + 100 * kSecond;
        const std::int64_t second = kStart + 400 * kSecond;
        view.AddMarker(first, 0x000000E1, QStringLiteral("00:01:40 signal low: -95 dBm \u2192 -112 dBm"));
        view.AddMarker(second, 0x00FF9020, QStringLiteral("00:06:40 band changed: B3 \u2192 B7"));
        view.Redraw();
        auto lines = view.MarkerLines();
        QCOMPARE(int(lines.size()), 2);
        QChart *chart = view.ChartView()->chart();
        const QRectF plot = chart->plotArea();
        const std::array<std::int64_t, 2> times{first, second};
        for (std::size_t i = 0; i < 2; ++i) {
            const double x = chart->mapToPosition(QPointF(double(times[i]), 0)).x();
            QCOMPARE(lines[i]->line().x1(), x);
            QCOMPARE(lines[i]->line().x2(), x);
            QVERIFY(plot.left() < x && x < plot.right());
            QCOMPARE(lines[i]->line().y1(), plot.top());
            QCOMPARE(lines[i]->line().y2(), plot.bottom());
        }
        QCOMPARE(lines[0]->pen().color(), QColor(0xE1, 0, 0));
        QCOMPARE(lines[1]->pen().color(), QColor(0x20, 0x90, 0xFF));
        // The pointer over a line, in the chart view's own coordinates.
        const QPointF origin = view.ChartView()->mapFromScene(chart->mapToScene(QPointF(0, 0)));
        QCOMPARE(view.MarkerTextAt(lines[1]->line().x1() + origin.x() + 1),
                 QStringLiteral("00:06:40 band changed: B3 \u2192 B7"));
        QVERIFY(view.MarkerTextAt((lines[0]->line().x1() + lines[1]->line().x1()) / 2 + origin.x()).isEmpty());

        // Zoomed to the last three minutes: only the second event is there.
        view.SetViewRange(kStart + 420 * kSecond - 3 * kMinute, kStart + 420 * kSecond);
        lines = view.MarkerLines();
        QCOMPARE(int(lines.size()), 1);
        QCOMPARE(lines[0]->data(0).toString(), QStringLiteral("00:06:40 band changed: B3 \u2192 B7"));
        // Markers older than the history are forgotten.
        view.AddMarker(second + 25 * 60 * kMinute, 0x000000E1, QStringLiteral("a day later"));
        QCOMPARE(int(view.Markers().size()), 1);
    }

    void keysZoomAndScroll()
    {
        TRadioView view;
        view.resize(1000, 600);
        view.show();
        for (int i = 0; i < 3600; ++i)
            view.AddRecord(LteRecord(-95), kStart + i * kSecond);
        const std::int64_t newest = kStart + 3599 * kSecond;
        QVERIFY(view.Following());
        QCOMPARE(view.ViewTo(), newest);
        QCOMPARE(view.ViewTo() - view.ViewFrom(), TRadioView::kDefaultWindow.count());

        view.ChartView()->setFocus();
        QTest::keyClick(view.ChartView(), Qt::Key_Minus);
        QCOMPARE(view.ViewTo() - view.ViewFrom(), 12 * kMinute + 30 * kSecond);
        QVERIFY(view.Following());
        QCOMPARE(view.ViewTo(), newest);
        QTest::keyClick(view.ChartView(), Qt::Key_Plus);
        QCOMPARE(view.ViewTo() - view.ViewFrom(), 10 * kMinute);

        QTest::keyClick(view.ChartView(), Qt::Key_Left);
        QVERIFY(!view.Following());
        QCOMPARE(view.ViewTo(), newest - 150 * kSecond);
        // New cycles do not move a view scrolled back.
        view.AddRecord(LteRecord(-95), newest + kSecond);
        QCOMPARE(view.ViewTo(), newest - 150 * kSecond);
        QTest::keyClick(view.ChartView(), Qt::Key_Right);
        QCOMPARE(view.ViewTo(), newest);
        QVERIFY(!view.Following());
        // Scrolling stops at the newest sample and follows it from there.
        QTest::keyClick(view.ChartView(), Qt::Key_Right);
        QCOMPARE(view.ViewTo(), newest + kSecond);
        QVERIFY(view.Following());

        QTest::keyClick(view.ChartView(), Qt::Key_Home);
        QCOMPARE(view.ViewFrom(), kStart);
        QVERIFY(view.Following());
        // Zooming in never goes below a minute; scrolling stops at the oldest.
        for (int i = 0; i < 40; ++i)
            QTest::keyClick(view.ChartView(), Qt::Key_Plus);
        QCOMPARE(view.ViewTo() - view.ViewFrom(), TRadioView::kMinWindow.count());
        for (int i = 0; i < 400; ++i)
            QTest::keyClick(view.ChartView(), Qt::Key_Left);
        QCOMPARE(view.ViewFrom(), kStart);
        QVERIFY(!view.Following());
        QTest::keyClick(view.ChartView(), Qt::Key_End);
        QVERIFY(view.Following());
        QCOMPARE(view.ViewTo(), newest + kSecond);
    }

    void mouseWheelZoomsAndDragScrolls()
    {
        TRadioView view;
        view.resize(1000, 600);
        view.show();
        for (int i = 0; i < 3600; ++i)
            view.AddRecord(LteRecord(-95), kStart + i * kSecond);
        view.Redraw();
        QWidget *viewport = view.ChartView()->viewport();
        const QRectF plot = view.ChartView()->chart()->plotArea();
        const QPointF middle = plot.center();
        const std::int64_t span = view.ViewTo() - view.ViewFrom();
        const std::int64_t centre = (view.ViewFrom() + view.ViewTo()) / 2;

        // Wheel up over the middle: zoomed in around it.
        QWheelEvent up(middle, viewport->mapToGlobal(middle.toPoint()), {}, QPoint(0, 120), Qt::NoButton, {},
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &up);
        QCOMPARE(view.ViewTo() - view.ViewFrom(), std::int64_t(span * 0.8));
        QVERIFY(std::abs((view.ViewFrom() + view.ViewTo()) / 2 - centre) < span / 100);
        QVERIFY(!view.Following());

        // Dragging a quarter of the plot to the right goes a quarter earlier.
        const std::int64_t to = view.ViewTo();
        const std::int64_t shown = view.ViewTo() - view.ViewFrom();
        const QPoint from = middle.toPoint();
        const QPoint by(int(plot.width() / 4), 0);
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + by), viewport->mapToGlobal(QPointF(from + by)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + by);
        QVERIFY(std::abs(view.ViewTo() - (to - shown / 4)) < shown / 50);
    }

    void linesBreakAtATechnologyChange()
    {
        TRadioView view;
        view.resize(1000, 600);
        view.show();
        std::int64_t t = kStart;
        for (int i = 0; i < 300; ++i, t += kSecond)
            view.AddRecord(LteRecord(-95), t);
        for (int i = 0; i < 300; ++i, t += kSecond)
            view.AddRecord(GsmRecord(-80), t);
        view.Redraw();
        const auto rssi = view.Lines(TRadioMeasure::Rssi);
        QCOMPARE(int(rssi.size()), 2);
        // The LTE line ends before the GSM line starts; they are not joined.
        QVERIFY(rssi[0]->at(rssi[0]->count() - 1).x() < rssi[1]->at(0).x());
        QCOMPARE(rssi[0]->at(0).y(), -65.0);
        QCOMPARE(rssi[1]->at(0).y(), -80.0);
        QCOMPARE(int(view.Lines(TRadioMeasure::Rsrp).size()), 1);
    }

    void exportsAreReadBack()
    {
        QTemporaryDir dir;
        TRadioView view;
        view.resize(900, 500);
        view.show();
        for (int i = 0; i < 600; ++i)
            view.AddRecord(LteRecord(-90 - i % 5), kStart + i * kSecond);
        view.SetViewRange(kStart + 60 * kSecond, kStart + 180 * kSecond);

        QString error;
        const QString png = dir.filePath(QStringLiteral("radio.png"));
        QVERIFY2(view.ExportPng(png, error), qPrintable(error));
        const QImage image(png);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), view.ChartView()->size() * view.ChartView()->devicePixelRatio());

        const QString csv = dir.filePath(QStringLiteral("radio.csv"));
        QVERIFY2(view.ExportCsv(csv, error), qPrintable(error));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 1 + 121); // the header and the samples of 2 minutes
        QVERIFY(lines[0].startsWith("time,end_time,rat,rsrp_dbm,"));
        QVERIFY(lines[1].contains(",LTE,-90,-90,-90,-10.5,"));

        QVERIFY(!view.ExportCsv(dir.filePath(QStringLiteral("missing/radio.csv")), error));
        QVERIFY2(error.contains(QStringLiteral("missing/radio.csv")), qPrintable(error));
        QVERIFY(!view.ExportPng(dir.filePath(QStringLiteral("missing/radio.png")), error));
        QVERIFY2(error.startsWith(QStringLiteral("cannot write ")), qPrintable(error));
    }

    void cellsPanelShowsDecodedIdentitiesAndNeighboursByLevel()
    {
        TRadioView view;
        view.show();
        TNetState record = LteRecord(-95);
        TRadioCell nr;
        nr.rat = TRadioTech::Nr5gNsa;
        nr.cellId = 0x123456789;
        nr.rsrp = -88;
        record.secondary = nr;
        TNeighbourCell weak, strong, unknown;
        weak.rat = strong.rat = unknown.rat = TRadioTech::Lte;
        weak.pci = 7;
        weak.rsrp = -112;
        strong.pci = 120;
        strong.rsrp = -101;
        unknown.pci = 9;
        record.neighbours = {weak, unknown, strong};
        view.AddRecord(record, kStart);

        QTableWidget *cells = view.CellsTable();
        QCOMPARE(Cell(cells, "Technology", 0), QStringLiteral("LTE"));
        QCOMPARE(Cell(cells, "eNB id", 0), QStringLiteral("107187"));
        QCOMPARE(Cell(cells, "Sector", 0), QStringLiteral("196"));
        QCOMPARE(Cell(cells, "gNB id", 0), QStringLiteral("-"));
        QCOMPARE(Cell(cells, "RSRQ", 0), QStringLiteral("-10.5 dB"));
        QCOMPARE(Cell(cells, "gNB id", 1), QStringLiteral("1193046"));
        QCOMPARE(Cell(cells, "NR cell", 1), QStringLiteral("1929"));
        view.SetGnbIdBits(22);
        QCOMPARE(Cell(cells, "gNB id", 1), QStringLiteral("298261"));
        QCOMPARE(Cell(cells, "NR cell", 1), QStringLiteral("10121"));

        // The NR leg has lines of its own.
        view.Redraw();
        QCOMPARE(int(view.Lines(TRadioMeasure::NrRsrp).size()), 1);
        QCOMPARE(view.Lines(TRadioMeasure::NrRsrp)[0]->at(0).y(), -88.0);
        QVERIFY(view.Lines(TRadioMeasure::NrSinr).empty());

        QTableWidget *neighbours = view.NeighboursTable();
        QCOMPARE(neighbours->rowCount(), 3);
        QCOMPARE(neighbours->item(0, 2)->text(), QStringLiteral("120"));
        QCOMPARE(neighbours->item(0, 3)->text(), QStringLiteral("RSRP -101 dBm"));
        QCOMPARE(neighbours->item(1, 2)->text(), QStringLiteral("7"));
        QCOMPARE(neighbours->item(2, 3)->text(), QStringLiteral("-"));
    }

    void pointingModeShowsTheBestValueAndLeavesWithEsc()
    {
        TPointingView view;
        QSignalSpy mode(&view, &TPointingView::ModeChanged);
        view.Enter();
        QCOMPARE(mode.count(), 1);
        QCOMPARE(mode.takeFirst().at(0).toBool(), true);
        std::int64_t t = kStart;
        for (double rsrp : {-101.0, -99.0, -96.0, -94.0, -97.0, -95.0})
            view.AddRecord(LteRecord(rsrp), t += kSecond);
        QCOMPARE(view.MainValueLabel()->text(), QStringLiteral("-95 dBm"));
        QCOMPARE(view.MainBestLabel()->text(), QStringLiteral("best -94 dBm"));
        QCOMPARE(view.MainTrendLabel()->text(), QString::fromUtf8("\u25B2"));
        QCOMPARE(view.SecondValueLabel()->text(), QStringLiteral("13 dB"));

        QTest::keyClick(&view, Qt::Key_Escape);
        QVERIFY(!view.isVisible());
        QCOMPARE(mode.count(), 1);
        QCOMPARE(mode.takeFirst().at(0).toBool(), false);
        // Entering again forgets the best value.
        view.Enter();
        view.AddRecord(LteRecord(-110), t += kSecond);
        QCOMPARE(view.MainBestLabel()->text(), QStringLiteral("best -110 dBm"));
    }

    // The tone is off until asked for; on without an audio output (as on a
    // build machine) the mode goes on and says why nothing is heard.
    void pointingToneIsOffByDefaultAndNeverStopsTheMode()
    {
        TPointingView view;
        view.Enter();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(!view.ToneBox()->isChecked());
        QVERIFY(!view.Tone()->On());
        QVERIFY(!view.Tone()->Playing());
        QTest::keyClick(&view, Qt::Key_T);
        QVERIFY(view.ToneBox()->isChecked());
        QVERIFY(view.Tone()->On());
        QVERIFY(view.Tone()->Playing() || !view.Tone()->Problem().isEmpty());
        for (int i = 0; i < 5; ++i)
            view.AddRecord(LteRecord(-100 + i), kStart + i * kSecond);
        QCOMPARE(*view.Tone()->Frequency(), *PointingToneFrequency({"RSRP", "dBm", -96.0}));
        QTest::qWait(300);
        QCOMPARE(view.MainValueLabel()->text(), QStringLiteral("-96 dBm"));
        // Leaving the mode silences it; entering again brings it back.
        QTest::keyClick(&view, Qt::Key_Escape);
        QVERIFY(!view.isVisible());
        QVERIFY(!view.Tone()->On());
        QVERIFY(!view.Tone()->Playing());
        view.Enter();
        QVERIFY(view.Tone()->On());
        QTest::keyClick(&view, Qt::Key_T);
        QVERIFY(!view.Tone()->On());
    }

    void menuItemsOpenTheViewsAndPointingShortensTheCycle()
    {
        auto w = std::make_unique<TfrmMain>();
        w->SetCommandLinePort(QStringLiteral("SIM"));
        w->show();
        QVERIFY(QTest::qWaitFor([&] { return w->Session().CompletedCycles() >= 2; }, 20000));

        QVERIFY(!w->radioView->isVisible());
        w->Radio1->trigger();
        QVERIFY(w->radioView->isVisible());
        QVERIFY(w->Radio1->isChecked());
        // The window's cycles reached the view.
        QVERIFY(!w->radioView->History().Empty());
        w->radioView->close();
        QVERIFY(!w->Radio1->isChecked());

        QVERIFY(!w->Session().ShortCycle());
        w->Antennapointing1->trigger();
        QVERIFY(w->pointingView->isVisible());
        QVERIFY(w->Session().ShortCycle());
        const std::uint64_t cycles = w->Session().CompletedCycles();
        QVERIFY(QTest::qWaitFor([&] { return w->Session().CompletedCycles() >= cycles + 2; }, 20000));
        QVERIFY(w->pointingView->MainTracker().Current().value.has_value());
        QTest::keyClick(w->pointingView, Qt::Key_Escape);
        QVERIFY(!w->Session().ShortCycle());
    }

    void radioViewIsRememberedOpenWithItsSettings()
    {
        {
            TfrmMain w;
            w.SetCommandLinePort(QStringLiteral("SIM"));
            w.show();
            QVERIFY(QTest::qWaitFor([&] { return w.VRynAppInfo1->IsFirstShowDone(); }, 5000));
            w.Radio1->trigger();
            w.radioView->SetGnbIdBits(26);
            w.close();
        }
        TfrmMain w;
        w.SetCommandLinePort(QStringLiteral("SIM"));
        w.show();
        QVERIFY(QTest::qWaitFor([&] { return w.radioView->isVisible(); }, 5000));
        QVERIFY(w.Radio1->isChecked());
        QCOMPARE(w.radioView->GnbIdBits(), 26);
    }
};

int main(int argc, char **argv)
{
    return RunWindowTest<RadioViewTest>(argc, argv);
}

#include "RadioViewTest.moc"
