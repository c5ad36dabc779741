// SPDX-License-Identifier: MIT
// javtrg_bench: the driver against its baselines. bench/ratios.py reads
// the JSON output of one run and prints the ratios docs/performance.md
// records.
#include <benchmark/benchmark.h>

#include "bench/bench_registry.h"

int main(int argc, char** argv) {
    registerFormatBenchmarks();
    registerSceneBenchmarks();
    registerHighlightBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
