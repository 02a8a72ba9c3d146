#pragma once
// The entry of a Google Benchmark over widgets: the offscreen platform
// unless another is asked for, a QApplication (set up by setUp, when
// given), then the benchmarks.

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>

inline int RunWidgetBenchmarks(int argc, char **argv, const std::function<void(QApplication &)> &setUp = {})
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (setUp)
        setUp(app);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
