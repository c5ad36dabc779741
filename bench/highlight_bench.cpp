// The highlighting pass's baseline.
#include "bench/bench_registry.h"

void registerHighlightBenchmarks() {}
