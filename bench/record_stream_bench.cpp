// Speed of the record stream: rectangles and long point lists through a
// driver instance writing to memory.
#include <benchmark/benchmark.h>

#include <cstring>

#include <javtrg/host_services.h>
#include "host/reference_host.h"

namespace {

void BM_Rectangles(benchmark::State& state) {
    refhost::ReferenceHost host;
    refhost::MemoryStream* stream = host.memoryStream();
    DriverContext* context = startTrgJAV(&stream->base, host.params(), 0);
    const int32_t corners[4] = {10, 80, 60, 20};
    for (auto _ : state) {
        HostObject* rect = host.newObject(10);
        std::memcpy(host.payload(rect), corners, sizeof corners);
        benchmark::DoNotOptimize(putJAVobject(context, rect));
        if (stream->writes.size() > 4096) stream->writes.clear();
    }
    shutDownJAVtrg(context);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Rectangles);

void BM_PointList(benchmark::State& state) {
    refhost::ReferenceHost host;
    refhost::MemoryStream* stream = host.memoryStream();
    DriverContext* context = startTrgJAV(&stream->base, host.params(), 0);
    uint32_t count = static_cast<uint32_t>(state.range(0));
    PointList* points = host.newPointList(count);
    for (uint32_t i = 0; i < count; ++i) points->points[i] = PointPair{static_cast<int32_t>(i % 96), static_cast<int32_t>(i % 50)};
    for (auto _ : state) {
        JAVtPtsList(context, points);
        stream->writes.clear();
    }
    host.freePointList(points);
    shutDownJAVtrg(context);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
}
BENCHMARK(BM_PointList)->Arg(4)->Arg(1024)->Arg(65536);

}  // namespace
