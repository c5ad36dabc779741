// SPDX-License-Identifier: MIT
// The scenes through the driver, with a write callback that discards the
// records and one that appends them to a buffer reserved in advance; the
// same records through the format ceiling; the same pictures through
// cairo's SVG surface.
//
// Names: driver/<family>/<count>[/terms<n>]/discard|append,
// ceiling/<family>/<count>, cairo/<family>/<count>. Items are shapes (or
// text boxes), bytes are record bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <javtrg/host_services.h>
#include "bench/bench_host.h"
#include "bench/bench_registry.h"
#include "bench/cairo_replay.h"
#include "bench/recorded_stream.h"
#include "bench/scenes.h"

namespace {

using benchhost::BenchHost;
using benchscene::Scene;

constexpr int32_t kPixels = 2000;
constexpr int64_t kCounts[] = {1000, 10000, 100000};
const char* const kShapeFamilies[] = {"rectangles", "polygons8", "polygons1000", "gradients-linear",
                                      "gradients-elliptical", "gradients-rectangular"};

// A scene, its host and its recorded stream; the programs of the baselines
// are made when first asked for.
struct SceneState {
    std::string key;
    std::unique_ptr<BenchHost> host;
    std::unique_ptr<Scene> scene;
    benchscene::StreamSize size{};
    std::string onePeriod;  // the prologue's records, then one period's
    std::unique_ptr<benchstream::FormatProgram> formatPrologue, formatPeriod;
    std::unique_ptr<benchstream::DrawProgram> drawPrologue, drawPeriod;

    std::string prologueBytes() const { return onePeriod.substr(0, static_cast<size_t>(size.prologue)); }
    std::string periodBytes() const { return onePeriod.substr(static_cast<size_t>(size.prologue)); }
};

// Benchmarks run one after the other, those of a scene together: only the
// latest scene is kept, so the large ones do not add up.
SceneState& sceneState(const std::string& family, int64_t count, int32_t terms) {
    static std::unique_ptr<SceneState> current;
    std::string key = family + "/" + std::to_string(count) + "/" + std::to_string(terms);
    if (current != nullptr && current->key == key) return *current;
    current.reset();
    auto state = std::make_unique<SceneState>();
    state->key = key;
    state->host = std::make_unique<BenchHost>(kPixels);
    state->scene = benchscene::makeScene(*state->host, family, count, terms);
    state->size = benchscene::measureStream(*state->host, *state->scene, &state->onePeriod);
    current = std::move(state);
    return *current;
}

// The write callbacks: one discards (counting the bytes), one appends.
struct BenchStream {
    OutputStream base;
    char* buffer;
    size_t used;
    size_t capacity;
    uint64_t discarded;
};

int32_t discardWrite(OutputStream* stream, const char*, uint32_t length) {
    reinterpret_cast<BenchStream*>(stream)->discarded += length;
    return 1;
}

int32_t appendWrite(OutputStream* stream, const char* bytes, uint32_t length) {
    auto* s = reinterpret_cast<BenchStream*>(stream);
    if (length > s->capacity - s->used) {
        std::fprintf(stderr, "bench: the stream outgrew the buffer reserved for it\n");
        std::abort();
    }
    std::memcpy(s->buffer + s->used, bytes, length);
    s->used += length;
    return 1;
}

void BM_Driver(benchmark::State& state, std::string family, int64_t count, int32_t terms, bool append) {
    SceneState& s = sceneState(family, count, terms);
    BenchHost& host = *s.host;
    const Scene& scene = *s.scene;
    int64_t total = s.size.total(scene.periods);
    std::unique_ptr<char[]> buffer;
    BenchStream stream{};
    stream.base.write = append ? appendWrite : discardWrite;
    if (append) {
        buffer = std::make_unique<char[]>(static_cast<size_t>(total));
        std::memset(buffer.get(), 0, static_cast<size_t>(total));  // reserved and touched
        stream.buffer = buffer.get();
        stream.capacity = static_cast<size_t>(total);
    }
    host.session()->searchRequest = scene.searched ? const_cast<SearchRequest*>(&scene.search) : nullptr;
    DriverContext* context = startTrgJAV(&stream.base, host.params(), 0);
    std::vector<HostObject*> objects;
    int64_t blockCalls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        benchscene::prepareRun(host, scene, scene.periods, &objects);
        stream.used = 0;
        state.ResumeTiming();
        if (!benchscene::drawRun(context, objects)) state.SkipWithError("an object was not drawn");
        blockCalls = host.tally().blockCalls;
    }
    shutDownJAVtrg(context);
    host.session()->searchRequest = nullptr;
    state.SetItemsProcessed(state.iterations() * scene.count);
    state.SetBytesProcessed(state.iterations() * total);
    state.counters["driver_blocks_per_run"] = static_cast<double>(blockCalls);
    state.counters["driver_peak_bytes"] = static_cast<double>(host.tally().peakBytes);
    state.counters["host_bytes"] = static_cast<double>(host.objectBytes() + host.pointListBytes());
    if (scene.codeUnits > 0) {
        state.counters["code_units"] =
            benchmark::Counter(static_cast<double>(scene.codeUnits) * static_cast<double>(state.iterations()),
                               benchmark::Counter::kIsRate);
    }
}

void discardFlush(void*, const char* bytes, size_t length) { benchmark::DoNotOptimize(bytes + length); }

void BM_Ceiling(benchmark::State& state, std::string family, int64_t count) {
    SceneState& s = sceneState(family, count, 0);
    if (s.formatPeriod == nullptr) {
        s.formatPrologue = std::make_unique<benchstream::FormatProgram>(benchstream::formatProgram(s.prologueBytes()));
        s.formatPeriod = std::make_unique<benchstream::FormatProgram>(benchstream::formatProgram(s.periodBytes()));
    }
    benchstream::FlushFn flush = discardFlush;
    benchmark::DoNotOptimize(flush);
    int64_t total = 0;
    for (auto _ : state) {
        total = benchstream::formatLines(*s.formatPrologue, 1, flush, nullptr) +
                benchstream::formatLines(*s.formatPeriod, s.scene->periods, flush, nullptr);
    }
    if (total != s.size.total(s.scene->periods)) state.SkipWithError("the ceiling wrote other bytes than the driver");
    state.SetItemsProcessed(state.iterations() * s.scene->count);
    state.SetBytesProcessed(state.iterations() * total);
}

void BM_Cairo(benchmark::State& state, std::string family, int64_t count) {
    SceneState& s = sceneState(family, count, 0);
    if (s.drawPeriod == nullptr) {
        s.drawPrologue = std::make_unique<benchstream::DrawProgram>(benchstream::drawProgram(s.prologueBytes()));
        s.drawPeriod = std::make_unique<benchstream::DrawProgram>(benchstream::drawProgram(s.periodBytes()));
    }
    if (s.drawPeriod->shapes * s.scene->periods != s.scene->count) {
        state.SkipWithError("cairo would draw another number of shapes");
        return;
    }
    std::string svg;
    std::string error;
    int64_t bytes = 0;
    for (auto _ : state) {
        bytes = benchcairo::drawSvg(*s.drawPrologue, *s.drawPeriod, s.scene->periods, kPixels, &svg, &error);
        if (bytes < 0) {
            state.SkipWithError(("cairo failed: " + error).c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * s.scene->count);
    state.counters["svg_bytes"] = static_cast<double>(bytes);
}

void registerDriver(const std::string& family, int64_t count, int32_t terms) {
    std::string name = "driver/" + family + "/" + std::to_string(count) + (terms > 0 ? "/terms" + std::to_string(terms) : "");
    for (bool append : {false, true}) {
        benchmark::RegisterBenchmark((name + (append ? "/append" : "/discard")).c_str(), BM_Driver, family, count, terms,
                                     append)
            ->Unit(benchmark::kMicrosecond);
    }
}

}  // namespace

void registerSceneBenchmarks() {
    for (const char* family : kShapeFamilies) {
        for (int64_t count : kCounts) {
            std::string suffix = std::string(family) + "/" + std::to_string(count);
            registerDriver(family, count, 0);
            benchmark::RegisterBenchmark(("ceiling/" + suffix).c_str(), BM_Ceiling, std::string(family), count)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("cairo/" + suffix).c_str(), BM_Cairo, std::string(family), count)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    // Text boxes of 1 KB a thousand at a time, of 100 KB ten at a time: a
    // megabyte of text either way. Searched for 1, 4 and 10 terms.
    for (const char* kind : {"1252", "sjis", "units"}) {
        for (int32_t terms : {0, 1, 4, 10}) {
            registerDriver(std::string("text-") + kind + "-1k", 1000, terms);
            registerDriver(std::string("text-") + kind + "-100k", 10, terms);
        }
    }
}
