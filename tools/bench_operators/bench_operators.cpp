// The operator list of the main window as a user with a long table meets
// it: mccmnc.ini read, the radio items built, the window laid out and
// painted once. Run on a window whose port does not exist, so no modem
// traffic mixes in. Everything the window stores goes below a temporary
// home; the user's settings and operator table are not touched.

#include "MainWindow.h"
#include "OperatorTable.h"
#include "TemporaryHome.h"
#include "WidgetBenchmarkMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QPixmap>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

bool WriteTable(int operators)
{
    const QString path = OperatorTablePath(QStringLiteral("Palvex"));
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray table = "[General]\n";
    for (int i = 0; i < operators; ++i)
        table += QByteArray::number(230010 + i) + "=Operator number " + QByteArray::number(i) + "\n";
    return file.write(table) == table.size();
}

void BM_OperatorList(benchmark::State &state)
{
    const int operators = int(state.range(0));
    if (!WriteTable(operators)) {
        state.SkipWithError("cannot write mccmnc.ini");
        return;
    }
    TfrmMain window;
    window.SetCommandLinePort(QStringLiteral("/dev/palvex-bench-no-port"));
    window.show();
    // The first show reads the table once; the measured loads come after.
    while (!window.rgpOperators->isEnabled())
        QApplication::processEvents();
    for (auto _ : state) {
        window.LoadOperators();
        QApplication::processEvents();
        const QPixmap shot = window.grab();
        benchmark::DoNotOptimize(shot.cacheKey());
    }
    if (int(window.OperatorButtons().size()) != operators + 1)
        state.SkipWithError("not every operator has its item");
    if (window.size() != QSize(555, 437))
        state.SkipWithError("the window changed its size");
    state.counters["items"] = double(window.OperatorButtons().size());
    state.counters["scroll_range"] = window.OperatorScroll()->verticalScrollBar()->maximum();
    state.SetComplexityN(operators);
}
BENCHMARK(BM_OperatorList)
    ->ArgName("operators")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Complexity(benchmark::oN);

} // namespace

int main(int argc, char **argv)
{
    const TemporaryHome home;
    if (!home.Valid()) {
        std::fprintf(stderr, "bench_operators: no temporary folder for the settings\n");
        return 1;
    }
    return RunWidgetBenchmarks(argc, argv, [](QApplication &) {
        QApplication::setOrganizationName(QStringLiteral("RYN s.r.o."));
        QApplication::setApplicationName(QStringLiteral("Palvex"));
    });
}
