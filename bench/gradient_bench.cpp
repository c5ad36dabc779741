// Speed of gradient fills drawn as bands: a linear gradient of 256 bands
// (a point list borrowed from the host for each) and an elliptical one.
#include <benchmark/benchmark.h>

#include <javtrg/host_services.h>
#include "host/reference_host.h"

namespace {

void BM_GradientFill(benchmark::State& state, int32_t kind, int32_t angle) {
    refhost::ReferenceHost host;
    refhost::MemoryStream* stream = host.memoryStream();
    DriverContext* context = startTrgJAV(&stream->base, host.params(), 0);
    FillAttributes& fill = context->currentFillAtt;
    fill.fillStyle = 5;
    context->driverGradient = 1;
    GradientDef& g = fill.gradient;
    g.gradientKind = kind;
    g.angle = angle;
    g.stepCount = 256;
    g.stopCount = 3;
    g.stopColours[0] = 0x0000FF;
    g.stopColours[1] = 0xFFFFFF;
    g.stopColours[2] = 0xFF0000;
    g.stopPositions[1] = 40;
    g.stopPositions[2] = 100;
    g.centreXPercent = 30;
    g.centreYPercent = 60;
    for (auto _ : state) {
        benchmark::DoNotOptimize(JAVtGradientFill(context, PointPair{5, 90}, PointPair{90, 10}));
        stream->writes.clear();
    }
    shutDownJAVtrg(context);
    state.SetItemsProcessed(state.iterations() * g.stepCount);
}
BENCHMARK_CAPTURE(BM_GradientFill, Linear256Diagonal, 1, 30);
BENCHMARK_CAPTURE(BM_GradientFill, Linear256Vertical, 1, 90);
BENCHMARK_CAPTURE(BM_GradientFill, Elliptical256, 2, 0);

}  // namespace
