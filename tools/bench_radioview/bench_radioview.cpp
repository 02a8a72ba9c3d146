// One redraw of the radio view at 1366 x 768 over a day of history: the
// lines rebuilt from the history for the shown range, then the whole window
// rendered offscreen. "day" shows the 24 hours, "live" the default window
// that follows the newest values.

#include "RadioView.h"
#include "WidgetBenchmarkMain.h"

#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr std::int64_t kStart = 1796774400000; // 2026-12-09 00:00 UTC

TNetState Record(std::int64_t i)
{
    TNetState r;
    TRadioCell cell;
    cell.rat = TRadioTech::Lte;
    // Waves of different periods, so that every column has a range of values.
    cell.rsrp = -95 + 12 * std::sin(double(i) / 37.0) + 3 * std::sin(double(i) / 3.0);
    cell.rsrq = -11 + 3 * std::sin(double(i) / 53.0);
    cell.sinr = 12 + 8 * std::sin(double(i) / 29.0);
    cell.rssi = -65 + 6 * std::sin(double(i) / 41.0);
    r.serving = cell;
    return r;
}

void BM_RadioViewRedraw(benchmark::State &state)
{
    TRadioView view;
    view.resize(1366, 768);
    // A day and a minute of one cycle a second.
    const std::int64_t cycles = 24 * 3600 + 60;
    for (std::int64_t i = 0; i < cycles; ++i)
        view.AddRecord(Record(i), kStart + i * 1000);
    view.show();
    QApplication::processEvents();
    if (state.range(0) != 0)
        view.ShowWholeHistory();
    else
        view.FollowNewest();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.Redraw();
        view.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    qsizetype points = 0;
    for (TRadioMeasure measure : kRadioMeasures)
        for (const QLineSeries *line : view.Lines(measure))
            points += line->count();
    if (points == 0)
        state.SkipWithError("no line was drawn");
    state.counters["points"] = double(points);
    state.counters["span_h"] = double(view.ViewTo() - view.ViewFrom()) / 3'600'000.0;
    state.counters["history_kB"] = double(view.History().MemoryBytes()) / 1024.0;
    state.counters["plot_w"] = view.ChartView()->chart()->plotArea().width();
}
BENCHMARK(BM_RadioViewRedraw)->ArgName("day")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return RunWidgetBenchmarks(argc, argv);
}
