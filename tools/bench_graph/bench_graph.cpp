// One refresh of the usage graph as the main window sees it: a value
// assignment (which runs the refresh step), then both drawing surfaces
// rendered offscreen, with the sample list at its cap of 1001 entries on a
// 400 x 150 control.

#include "WidgetBenchmarkMain.h"
#include "zefXPGraph.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct GraphFixture {
    QWidget host;
    TzefXPGraph *graph = nullptr;
    TzefShape *level = nullptr;
    TzefShape *history = nullptr;
    std::vector<int> values;

    explicit GraphFixture(bool displayStat)
    {
        host.resize(420, 170);
        graph = new TzefXPGraph(&host);
        graph->resize(400, 150);
        graph->SetDisplayStat(displayStat);
        // A wave keeps every sample different from its neighbours, so the curve
        // has a real segment at every pixel.
        for (int i = 0; i < 1201; ++i)
            values.push_back(int(50.0 + 49.0 * std::sin(i / 7.0)));
        for (std::size_t i = 0; i < TzefXPGraph::kMaxSamples; ++i)
            graph->SetUsageValue(values[i % values.size()]);
        level = graph->findChild<TzefShape *>(QStringLiteral("levelSurface"));
        history = graph->findChild<TzefShape *>(QStringLiteral("historySurface"));
    }
};

void BM_GraphRefresh(benchmark::State &state)
{
    GraphFixture fixture(state.range(0) != 0);
    QImage levelImage(fixture.level->size(), QImage::Format_ARGB32_Premultiplied);
    QImage historyImage(fixture.history->size(), QImage::Format_ARGB32_Premultiplied);
    std::size_t next = 0;
    for (auto _ : state) {
        fixture.graph->SetUsageValue(fixture.values[next++ % fixture.values.size()]);
        fixture.level->render(&levelImage);
        fixture.history->render(&historyImage);
        benchmark::DoNotOptimize(historyImage.constBits());
    }
    if (fixture.graph->Samples().size() != TzefXPGraph::kMaxSamples)
        state.SkipWithError("sample list is not at its cap");
    // A horizontal grid line crosses the whole surface right of its inset, so a
    // black pixel there means the surface was not painted.
    const int gridRow = historyImage.height() - zef::kGridStep;
    for (int x = 2; x < historyImage.width(); ++x)
        if (QColor(historyImage.pixel(x, gridRow)) == Qt::black) {
            state.SkipWithError("history surface was not painted");
            break;
        }
    state.counters["samples"] = double(fixture.graph->Samples().size());
    state.counters["history_w"] = fixture.history->width();
    state.counters["history_h"] = fixture.history->height();
}
BENCHMARK(BM_GraphRefresh)->ArgName("stat")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return RunWidgetBenchmarks(argc, argv);
}
