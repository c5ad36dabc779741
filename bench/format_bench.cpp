// SPDX-License-Identifier: MIT
// Integer formatting: the driver's JAVtPutInt against snprintf("%d") and
// std::to_chars, each writing the same 4,096 record-like integers, a comma
// after each, into a 10 KB buffer.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <vector>

#include "bench/bench_registry.h"
#include "stream/decimal.h"

namespace {

// The integers records carry: half are coordinates of a 2000-pixel target,
// a quarter colour components, some negative positions, one in ten any
// 32-bit value.
std::vector<int32_t> recordIntegers() {
    std::vector<int32_t> values(4096);
    uint64_t state = 0x2545F4914F6CDD1Du;
    for (int32_t& value : values) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        uint64_t r = state * 2685821657736338717u;
        uint32_t low = static_cast<uint32_t>(r >> 32);
        switch (r % 20) {
            case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9:
                value = static_cast<int32_t>(low % 2000); break;
            case 10: case 11: case 12: case 13: case 14: value = static_cast<int32_t>(low % 256); break;
            case 15: case 16: case 17: value = -static_cast<int32_t>(low % 2000); break;
            default: value = static_cast<int32_t>(low); break;
        }
    }
    return values;
}

template <typename Format>
void formatIntegers(benchmark::State& state, Format format) {
    static const std::vector<int32_t> values = recordIntegers();
    static char buffer[10240];
    for (auto _ : state) {
        char* out = buffer;
        for (int32_t value : values) {
            if (buffer + sizeof buffer - out < 12) out = buffer;
            out = format(out, value);
            *out++ = ',';
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}

void BM_Snprintf(benchmark::State& state) {
    formatIntegers(state, [](char* out, int32_t value) { return out + std::snprintf(out, 12, "%d", value); });
}

void BM_ToChars(benchmark::State& state) {
    formatIntegers(state, [](char* out, int32_t value) { return std::to_chars(out, out + 11, value).ptr; });
}

void BM_Driver(benchmark::State& state) {
    formatIntegers(state, [](char* out, int32_t value) { return JAVtPutInt(out, value); });
}

}  // namespace

void registerFormatBenchmarks() {
    benchmark::RegisterBenchmark("format/snprintf", BM_Snprintf);
    benchmark::RegisterBenchmark("format/to_chars", BM_ToChars);
    benchmark::RegisterBenchmark("format/driver", BM_Driver);
}
