// SPDX-License-Identifier: MIT
// The highlighting pass on its own, over text boxes collected beforehand,
// and its baseline: folding every code unit of the same text by a linear
// search of the 665 upper-case units of the case table.
//
// Names: highlight/<family>/<count>/terms<n>, fold/linear/<family>/<count>.
// Items are code units of text.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <javtrg/host_services.h>
#include "bench/bench_host.h"
#include "bench/bench_registry.h"
#include "bench/scenes.h"
#include "highlight/case_table.h"

namespace {

using benchhost::BenchHost;

constexpr uint32_t kAppend = 0xFFFFFFFFu;

// The boxes of one run as the text handlers collect them: one list each,
// from its text box object to its text end.
std::vector<HostListNode*> collectBoxes(BenchHost& host, const benchscene::Scene& scene) {
    std::vector<HostObject*> objects;
    benchscene::prepareRun(host, scene, scene.periods, &objects);
    std::vector<HostListNode*> boxes;
    HostServices* services = host.services();
    for (HostObject* object : objects) {
        if (object->kind == kKindTextBox) boxes.push_back(nullptr);
        services->insertObject(services, &boxes.back(), object, kAppend);
    }
    return boxes;
}

void BM_Highlight(benchmark::State& state, std::string family, int64_t count, int32_t terms) {
    BenchHost host;
    auto scene = benchscene::makeScene(host, family, count, terms);
    host.session()->searchRequest = &scene->search;
    OutputStream stream{};
    DriverContext* context = startTrgJAV(&stream, host.params(), 0);
    int64_t made = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<HostListNode*> boxes = collectBoxes(host, *scene);
        int64_t before = host.tally().objectsMade;
        state.ResumeTiming();
        for (HostListNode* box : boxes) {
            if (JAVtHighlightTextBox(context, box) != 1) state.SkipWithError("the pass failed");
        }
        state.PauseTiming();
        made = host.tally().objectsMade - before;  // the split strings and the attributes around hits
        for (HostListNode* box : boxes) host.services()->freeList(host.services(), box);
        state.ResumeTiming();
    }
    shutDownJAVtrg(context);
    state.SetItemsProcessed(state.iterations() * scene->codeUnits);
    state.counters["objects_made_per_run"] = static_cast<double>(made);
}

void BM_LinearFold(benchmark::State& state, std::string family, int64_t count) {
    BenchHost host;
    auto scene = benchscene::makeScene(host, family, count, 0);
    for (auto _ : state) {
        uint32_t sum = 0;
        for (const std::string& text : scene->texts) {
            for (size_t i = 0; i + 1 < text.size(); i += 2) {
                auto unit = static_cast<uint16_t>(static_cast<uint8_t>(text[i]) | static_cast<uint8_t>(text[i + 1]) << 8);
                int32_t place = JAVtFindCodeUnit(unit);
                sum += place >= 0 ? lowerCaseUnits[static_cast<size_t>(place)] : unit;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * scene->codeUnits / scene->periods);
}

}  // namespace

void registerHighlightBenchmarks() {
    for (const char* family : {"text-units-1k", "text-units-100k", "text-1252-1k", "text-sjis-1k"}) {
        int64_t count = std::string(family).find("100k") != std::string::npos ? 10 : 1000;
        for (int32_t terms : {1, 4, 10}) {
            std::string name = "highlight/" + std::string(family) + "/" + std::to_string(count) + "/terms" + std::to_string(terms);
            benchmark::RegisterBenchmark(name.c_str(), BM_Highlight, std::string(family), count, terms)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::RegisterBenchmark("fold/linear/text-units-1k/1000", BM_LinearFold, std::string("text-units-1k"), int64_t{1000})
        ->Unit(benchmark::kMicrosecond);
}
