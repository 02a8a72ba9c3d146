#include "zefXPGraph.h"

#include "RynColor.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <set>

namespace {

constexpr std::uint32_t kBlack = 0x00000000;
constexpr std::uint32_t kLime = 0x0000FF00;
constexpr std::uint32_t kYellow = 0x0009F9FF;
constexpr std::uint32_t kRed = 0x000000E1;
constexpr std::uint32_t kDarkGreen = 0x00004000;
constexpr std::uint32_t kGreen = 0x00008000;

std::uint32_t Bgr(const QImage &image, int x, int y) { return RynFromQColor(image.pixelColor(x, y)); }

std::deque<int> Repeat(int value, int count) { return std::deque<int>(std::size_t(count), value); }

} // namespace

class XPGraphTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> m_host;
    TzefXPGraph *m_graph = nullptr;

    TzefShape *Surface(const char *name) const { return m_graph->findChild<TzefShape *>(name); }
    QImage Render(const char *name) const { return Surface(name)->grab().toImage(); }
    int TextHeight() const { return QFontMetrics(m_graph->GraphFont()).height(); }

    // Columns of row y painted in colour.
    static std::set<int> ColumnsOf(const QImage &image, int y, std::uint32_t colour)
    {
        std::set<int> columns;
        for (int x = 0; x < image.width(); ++x)
            if (Bgr(image, x, y) == colour)
                columns.insert(x);
        return columns;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        m_host = std::make_unique<QWidget>();
        m_host->resize(600, 400);
        m_graph = new TzefXPGraph(m_host.get());
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    }

    void cleanup() { m_host.reset(); }

    // --- drawing rules ------------------------------------------------------

    void roundsHalfToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<long long>("rounded");
        QTest::newRow("0.5 down to 0") << 0.5 << 0LL;
        QTest::newRow("1.5 up to 2") << 1.5 << 2LL;
        QTest::newRow("2.5 down to 2") << 2.5 << 2LL;
        QTest::newRow("3.5 up to 4") << 3.5 << 4LL;
        QTest::newRow("-2.5 to -2") << -2.5 << -2LL;
        QTest::newRow("2.4999 down") << 2.4999 << 2LL;
        QTest::newRow("2.5001 up") << 2.5001 << 3LL;
        QTest::newRow("29/3 to 10") << 29.0 / 3.0 << 10LL;
    }
    void roundsHalfToEven()
    {
        QFETCH(double, value);
        QFETCH(long long, rounded);
        QCOMPARE(zef::RoundHalfEven(value), rounded);
    }

    void barBoxAndSegmentCount_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("textHeight");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("bottom");
        QTest::addColumn<int>("segments");
        QTest::newRow("50 high, 13-pixel text") << 61 << 50 << 13 << 50 << 33 << 10;
        QTest::newRow("default level surface") << 61 << 116 << 13 << 50 << 99 << 32;
        QTest::newRow("text taller than surface") << 61 << 15 << 13 << 50 << -2 << 0;
        QTest::newRow("too narrow") << 20 << 116 << 13 << 9 << 99 << 0;
    }
    void barBoxAndSegmentCount()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, textHeight);
        const zef::TzefBarBox box = zef::BarBoxFor(w, h, textHeight);
        QCOMPARE(box.left, 10);
        QCOMPARE(box.top, 4);
        QTEST(box.right, "right");
        QTEST(box.bottom, "bottom");
        QTEST(zef::SegmentCount(box), "segments");
    }

    void litCount_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("segments");
        QTest::addColumn<int>("lit");
        QTest::newRow("zero") << 0 << 100 << 20 << 0;
        QTest::newRow("half of 20") << 50 << 100 << 20 << 10;
        QTest::newRow("full") << 100 << 100 << 20 << 20;
        QTest::newRow("2.5 rounds to 2") << 50 << 100 << 5 << 2;
        QTest::newRow("3.5 rounds to 4") << 70 << 100 << 5 << 4;
        QTest::newRow("above full stays full") << 150 << 100 << 20 << 20;
        QTest::newRow("zero maximum") << 50 << 0 << 20 << 0;
        QTest::newRow("no segments") << 50 << 100 << 0 << 0;
    }
    void litCount()
    {
        QFETCH(int, value);
        QFETCH(int, maxValue);
        QFETCH(int, segments);
        QTEST(zef::LitCount(value, maxValue, segments), "lit");
    }

    void segmentBand_data()
    {
        QTest::addColumn<int>("i");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("lit");
        QTest::addColumn<int>("band");
        const auto row = [](const char *name, int i, int n, int lit, zef::TzefBand band) {
            QTest::newRow(name) << i << n << lit << int(band);
        };
        row("lowest of 20", 19, 20, 20, zef::TzefBand::zbHalf);
        row("k 10 of 20 still half", 10, 20, 20, zef::TzefBand::zbHalf);
        row("k 11 of 20 yellow band", 9, 20, 20, zef::TzefBand::zb75);
        row("k 15 of 20 yellow band", 5, 20, 20, zef::TzefBand::zb75);
        row("k 16 of 20 top band", 4, 20, 20, zef::TzefBand::zbMax);
        row("top of 20", 0, 20, 20, zef::TzefBand::zbMax);
        row("above the lit ones", 9, 20, 10, zef::TzefBand::zbUnlit);
        row("highest lit at half", 10, 20, 10, zef::TzefBand::zbHalf);
        row("nothing lit", 19, 20, 0, zef::TzefBand::zbUnlit);
        row("k 4 of 7 (7/2 = 3)", 3, 7, 7, zef::TzefBand::zb75);
        row("k 5 of 7 (21/4 = 5)", 2, 7, 7, zef::TzefBand::zb75);
        row("k 6 of 7", 1, 7, 7, zef::TzefBand::zbMax);
    }
    void segmentBand()
    {
        QFETCH(int, i);
        QFETCH(int, n);
        QFETCH(int, lit);
        QTEST(int(zef::SegmentBand(i, n, lit)), "band");
    }

    void gridLines()
    {
        QCOMPARE(zef::GridRows(25), (std::vector<int>{25, 13, 1}));
        QCOMPARE(zef::GridColumns(30, 0), (std::vector<int>{30, 18, 6}));
        QCOMPARE(zef::GridColumns(30, 7), (std::vector<int>{23, 11})); // -1 is dropped
    }

    void historyPoints_data()
    {
        QTest::addColumn<std::deque<int>>("samples");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<QPolygon>("points");
        QTest::newRow("newest at w - 1")
            << std::deque<int>{0, 50, 100} << 10 << 20 << 100
            << QPolygon({QPoint(7, 20), QPoint(8, 10), QPoint(9, 0)});
        QTest::newRow("halves to even: 2.5 and 1.5 both 2")
            << std::deque<int>{50, 30} << 10 << 5 << 100 << QPolygon({QPoint(8, 3), QPoint(9, 3)});
        QTest::newRow("more samples than pixels keep one left of the edge")
            << std::deque<int>{1, 2, 3, 4, 5} << 3 << 10 << 10
            << QPolygon({QPoint(-1, 8), QPoint(0, 7), QPoint(1, 6), QPoint(2, 5)});
        QTest::newRow("no samples") << std::deque<int>{} << 10 << 10 << 100 << QPolygon();
        QTest::newRow("zero maximum") << std::deque<int>{5} << 10 << 10 << 0 << QPolygon();
    }
    void historyPoints()
    {
        QFETCH(std::deque<int>, samples);
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, maxValue);
        QTEST(zef::HistoryPoints(samples, w, h, maxValue), "points");
    }

    void statisticsText_data()
    {
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<double>("average");
        QTest::addColumn<int>("value");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("one digit of three") << 100 << 7.0 << 7 << english
                                            << "Max: 100  Avg: 7.00  Curr: 7   ";
        QTest::newRow("half average") << 100 << 6.5 << 6 << english
                                      << "Max: 100  Avg: 6.50  Curr: 6   ";
        QTest::newRow("truncated, not rounded") << 100 << 6.666 << 100 << english
                                                << "Max: 100  Avg: 6.66  Curr: 100 ";
        QTest::newRow("thousands grouped") << 100000 << 12345.678 << 5 << english
                                           << "Max: 100000  Avg: 12,345.67  Curr: 5      ";
        QTest::newRow("locale separators") << 100000 << 12345.678 << 5
                                           << QLocale(QLocale::German, QLocale::Germany)
                                           << "Max: 100000  Avg: 12.345,67  Curr: 5      ";
    }
    void statisticsText()
    {
        QFETCH(int, maxValue);
        QFETCH(double, average);
        QFETCH(int, value);
        QFETCH(QLocale, locale);
        const int maxWidth = zef::DigitCount(maxValue);
        QTEST(zef::StatisticsText(maxValue, average, value, maxWidth, locale), "text");
    }

    // --- properties and sampling ---------------------------------------------

    // Colour defaults are checked by the rendered tests, which never set them.
    void initialProperties()
    {
        QCOMPARE(m_graph->MaxValue(), 100);
        QCOMPARE(m_graph->RefreshInterval(), 1000u);
        QCOMPARE(m_graph->UsageLabel(), QString("%"));
        QCOMPARE(m_graph->UsageCaption(), QString("Usage"));
        QCOMPARE(m_graph->HistoryCaption(), QString("Usage History"));
        QCOMPARE(m_graph->size(), QSize(400, 150));
        QCOMPARE(m_graph->minimumSize(), QSize(200, 66));
        QCOMPARE(m_graph->Color(), RynFromQColor(m_host->palette().color(QPalette::Window)));
    }

    void backgroundClickIsOneStep()
    {
        const std::size_t before = m_graph->Samples().size();
        QTest::mouseClick(m_graph, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(m_graph->Samples().size(), before + 1);
        QTest::mouseClick(Surface("historySurface"), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(m_graph, Qt::RightButton, {}, QPoint(2, 2));
        QCOMPARE(m_graph->Samples().size(), before + 1);
    }

    void clampsValueAndAveragesStoredValue()
    {
        m_graph->SetUsageValue(-1);
        QCOMPARE(m_graph->UsageValue(), 0);
        QCOMPARE(m_graph->Average(), 0.0); // a zero average waits for the first value
        m_graph->SetUsageValue(250);
        QCOMPARE(m_graph->UsageValue(), 100);
        QCOMPARE(m_graph->Average(), 100.0);
        m_graph->SetUsageValue(40);
        QCOMPARE(m_graph->Average(), 70.0);
        m_graph->SetUsageValue(10);
        QCOMPARE(m_graph->Average(), 50.0);
    }

    void refusesNonPositiveMaximum()
    {
        m_graph->SetMaxValue(0);
        QCOMPARE(m_graph->MaxValue(), 100);
        m_graph->SetMaxValue(-5);
        QCOMPARE(m_graph->MaxValue(), 100);
        m_graph->SetUsageValue(250);
        QCOMPARE(m_graph->UsageValue(), 100);
        m_graph->SetMaxValue(500);
        m_graph->SetUsageValue(250);
        QCOMPARE(m_graph->UsageValue(), 250);
    }

    void refreshIntervalHasMinimum()
    {
        m_graph->SetRefreshInterval(50);
        QCOMPARE(m_graph->RefreshInterval(), 100u);
        m_graph->SetRefreshInterval(30000);
        QCOMPARE(m_graph->RefreshInterval(), 30000u);
    }

    void inactiveAssignmentsAreSamples()
    {
        const std::size_t before = m_graph->Samples().size();
        const int phase = m_graph->GridPhase();
        m_graph->SetUsageValue(11);
        m_graph->SetUsageValue(22);
        m_graph->SetUsageValue(33);
        QCOMPARE(m_graph->Samples().size(), before + 3);
        QCOMPARE(m_graph->Samples().back(), 33);
        QCOMPARE(m_graph->GridPhase(), (phase + 3) % zef::kGridStep);
    }

    void activeGraphSamplesOnTimer()
    {
        m_graph->SetRefreshInterval(100);
        m_graph->SetActive(true);
        const std::size_t before = m_graph->Samples().size();
        m_graph->SetUsageValue(42);
        m_graph->SetUsageValue(43);
        QCOMPARE(m_graph->Samples().size(), before);

        QTimer *timer = m_graph->findChild<QTimer *>();
        QVERIFY(timer && timer->isActive());
        QSignalSpy ticks(timer, &QTimer::timeout);
        QVERIFY(ticks.wait(2000));
        m_graph->SetActive(false);
        QVERIFY(!timer->isActive());
        QCOMPARE(m_graph->Samples().size(), before + std::size_t(ticks.count()));
        QCOMPARE(m_graph->Samples().back(), 43);
    }

    void capsSampleList()
    {
        m_graph->SetMaxValue(100000);
        const std::size_t initial = m_graph->Samples().size();
        for (int v = 1; v <= int(1005 - initial); ++v)
            m_graph->SetUsageValue(v);
        QCOMPARE(m_graph->Samples().size(), std::size_t(1001));
        // The initial samples and the first new ones have fallen off.
        QCOMPARE(m_graph->Samples().front(), 5 - int(initial));
        QCOMPARE(m_graph->Samples().back(), int(1005 - initial));
    }

    void settersSampleOnlyWithParent()
    {
        const std::size_t before = m_graph->Samples().size();
        m_graph->SetColorHalf(kRed);
        QCOMPARE(m_graph->Samples().size(), before + 1);
        m_graph->SetUsageLabel("dB");
        QCOMPARE(m_graph->Samples().size(), before + 2);

        TzefXPGraph orphan;
        orphan.SetColorMax(kLime);
        orphan.SetUsageValue(30);
        QVERIFY(orphan.Samples().empty());
        orphan.setParent(m_host.get());
        QCOMPARE(orphan.Samples(), Repeat(30, 1)); // setting the parent runs one step
        orphan.setParent(nullptr);
    }

    void followsParentColour()
    {
        QPalette palette = m_host->palette();
        palette.setColor(QPalette::Window, QColor(0x12, 0x34, 0x56));
        m_host->setPalette(palette);
        QCOMPARE(m_graph->Color(), 0x00563412u);
        m_graph->SetColor(0x00ABCDEF);
        palette.setColor(QPalette::Window, QColor(1, 2, 3));
        m_host->setPalette(palette);
        QCOMPARE(m_graph->Color(), 0x00ABCDEFu);
    }

    void displayStatChangesHeight()
    {
        const int surfaceHeight = Surface("historySurface")->height();
        m_graph->SetDisplayStat(true);
        QCOMPARE(m_graph->minimumHeight(), 81);
        QCOMPARE(Surface("historySurface")->height(), surfaceHeight - 15);
        auto *label = m_graph->findChild<QLabel *>("statisticsLabel");
        QVERIFY(label && !label->isHidden());
        QCOMPARE(label->pos(), QPoint(99, 3 + 125 + 4));

        m_graph->resize(400, 81);
        m_graph->SetDisplayStat(false);
        QCOMPARE(m_graph->height(), 66);
        QCOMPARE(m_graph->minimumHeight(), 66);
        QVERIFY(label->isHidden());

        m_graph->resize(400, 90);
        m_graph->SetDisplayStat(true);
        m_graph->SetDisplayStat(false);
        QCOMPARE(m_graph->height(), 90);
    }

    void statisticsLineFollowsValues()
    {
        m_graph->SetDisplayStat(true);
        auto *label = m_graph->findChild<QLabel *>("statisticsLabel");
        m_graph->SetUsageValue(7);
        QCOMPARE(label->text(), QString("Max: 100  Avg: 7.00  Curr: 7   "));
        m_graph->SetUsageValue(6);
        QCOMPARE(label->text(), QString("Max: 100  Avg: 6.50  Curr: 6   "));
        m_graph->SetUsageValue(100);
        QCOMPARE(label->text(), QString("Max: 100  Avg: 37.66  Curr: 100 "));
    }

    // --- rendered pixels ----------------------------------------------------

    void levelSegmentsLit_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("lit");
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("half scale") << 50 << 10;
        QTest::newRow("full scale") << 100 << 20;
    }
    void levelSegmentsLit()
    {
        QFETCH(int, value);
        QFETCH(int, lit);
        // Size the control so the bar holds exactly 20 segments: the surface is
        // 34 pixels lower than the control, the box 8 + text height lower still.
        m_graph->resize(400, 102 + TextHeight());
        m_graph->SetUsageValue(value);
        const QImage image = Render("levelSurface");
        const int w = image.width();
        const int mid = 10 + (w - 11 - 10) / 2;

        int litSeen = 0;
        for (int i = 0; i < 20; ++i) {
            const int k = 20 - i;
            const int y = 4 + 3 * i;
            std::uint32_t expected = kDarkGreen;
            if (k <= lit)
                expected = k > 15 ? kRed : k > 10 ? kYellow : kLime;
            const QString where = QString("segment %1 (k %2)").arg(i).arg(k);
            QVERIFY2(Bgr(image, 10, y) == expected, qPrintable(where));
            QVERIFY2(Bgr(image, w - 12, y + 1) == expected, qPrintable(where));
            QVERIFY2(Bgr(image, mid - 1, y) == kBlack, qPrintable(where + " gap"));
            QVERIFY2(Bgr(image, mid, y) == kBlack, qPrintable(where + " gap"));
            QVERIFY2(Bgr(image, 10, y + 2) == kBlack, qPrintable(where + " spacing row"));
            litSeen += expected != kDarkGreen;
        }
        QCOMPARE(litSeen, lit);
        // Nothing drawn below the twentieth segment down to the text.
        QCOMPARE(Bgr(image, 10, 4 + 3 * 20), kBlack);
    }

    void levelBarBoxForTextHeight()
    {
        m_graph->SetUsageValue(100);
        const QImage image = Render("levelSurface");
        const int w = image.width();
        const int h = image.height();
        const int textHeight = TextHeight();
        const int n = zef::SegmentCount(zef::BarBoxFor(w, h, textHeight));
        QVERIFY(n > 0);

        QCOMPARE(Bgr(image, 10, 3), kBlack);
        QCOMPARE(Bgr(image, 10, 4), kRed);
        QCOMPARE(Bgr(image, 9, 4), kBlack);
        QCOMPARE(Bgr(image, w - 12, 4), kRed);
        QCOMPARE(Bgr(image, w - 11, 4), kBlack);
        const int lastRow = 4 + 3 * (n - 1) + 1;
        QCOMPARE(Bgr(image, 10, lastRow), kLime);
        QCOMPARE(Bgr(image, 10, lastRow + 1), kBlack);
        QVERIFY(lastRow <= h - 4 - textHeight);

        // The value text sits in its band above the bottom, nowhere in the bar.
        bool textSeen = false;
        for (int y = h - textHeight - 3; y < h - 3; ++y)
            textSeen = textSeen || !ColumnsOf(image, y, kLime).empty();
        QVERIFY(textSeen);
        for (int y = h - 3; y < h; ++y)
            QVERIFY(ColumnsOf(image, y, kLime).empty());
    }

    void newestSampleAtRightEdge()
    {
        const int h = Surface("historySurface")->height();
        const int y = h - zef::RoundHalfEven(50 * h / 100.0);
        for (int count = 1; count <= 4; ++count) {
            m_graph->SetUsageValue(50); // earlier samples are 0, below the surface
            const QImage image = Render("historySurface");
            const int w = image.width();
            std::set<int> expected;
            for (int x = w - count; x < w; ++x)
                expected.insert(x);
            QCOMPARE(ColumnsOf(image, y, kLime), expected);
        }
    }

    void gridMovesOnePixelPerSample()
    {
        const int row = 30; // between horizontal grid lines, above the zero curve
        QImage before = Render("historySurface");
        const int w = before.width();
        QVERIFY(w > 0 && (before.height() - row) % 12 != 0);
        for (int sample = 0; sample < 13; ++sample) {
            std::set<int> expected;
            for (int x : zef::GridColumns(w, m_graph->GridPhase()))
                if (x < w)
                    expected.insert(x);
            const std::set<int> columnsBefore = ColumnsOf(before, row, kGreen);
            QCOMPARE(columnsBefore, expected);

            m_graph->SetUsageValue(0);
            const QImage after = Render("historySurface");
            const std::set<int> columnsAfter = ColumnsOf(after, row, kGreen);
            QVERIFY(!columnsAfter.empty());
            const QString where = QString("after sample %1").arg(sample);
            for (int x : columnsAfter)
                QVERIFY2(x + 1 >= w || columnsBefore.count(x + 1), qPrintable(where));
            for (int x : columnsBefore)
                QVERIFY2(x < 1 || columnsAfter.count(x - 1), qPrintable(where));
            before = after;
        }
    }

    // A marker is a thin line of its colour at its sample, scrolls with the
    // history, carries its text as the tooltip and goes with its sample.
    void markersScrollWithTheHistory()
    {
        constexpr std::uint32_t kBlue = 0x00FF0000;
        m_graph->SetUsageValue(10);
        m_graph->AddMarker(kBlue, QStringLiteral("band_changed: B3 → B7"));
        m_graph->SetUsageValue(10); // the marked sample
        const int w = Surface("historySurface")->width();
        const int h = Surface("historySurface")->height();
        QCOMPARE(m_graph->MarkerX(m_graph->Markers().front(), w), w - 1);
        for (int i = 0; i < 5; ++i)
            m_graph->SetUsageValue(10);
        const int x = w - 1 - 5;
        QCOMPARE(m_graph->MarkerX(m_graph->Markers().front(), w), x);
        const QImage image = Render("historySurface");
        QCOMPARE(ColumnsOf(image, h / 3, kBlue), (std::set<int>{x}));
        QCOMPARE(m_graph->MarkerTextAt(x + 2), QStringLiteral("band_changed: B3 → B7"));
        QVERIFY(m_graph->MarkerTextAt(x + 3).isEmpty());
        // Two markers at one sample: both texts.
        m_graph->AddMarker(kBlue, QStringLiteral("a"));
        m_graph->AddMarker(kBlue, QStringLiteral("b"));
        QCOMPARE(m_graph->MarkerTextAt(w - 1), QStringLiteral("a\nb"));
        // Their sample is the oldest of the history after kMaxSamples more,
        // and gone after one further.
        for (std::size_t i = 0; i < TzefXPGraph::kMaxSamples; ++i)
            m_graph->SetUsageValue(10);
        QCOMPARE(m_graph->Markers().size(), 2u);
        m_graph->SetUsageValue(10);
        QVERIFY(m_graph->Markers().empty());
    }
};

QTEST_MAIN(XPGraphTest)
#include "XPGraphTest.moc"
