# The two commands of README: `make demo` converts the bundled sample picture
# and draws its preview, `make test` builds and runs every test.
PRESET ?= default
BUILD := build/$(PRESET)
SAMPLE ?= examples/sample.json
DEMO_OUT ?= $(BUILD)/sample.records
DEMO_PREVIEW ?= $(basename $(DEMO_OUT))

.PHONY: all bootstrap build demo test asan bench package clean

all: build

bootstrap:
	@bash scripts/bootstrap

build: bootstrap
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

demo: build
	@$(BUILD)/javtrg convert $(SAMPLE) -o $(DEMO_OUT)
	@$(BUILD)/javtrg preview $(DEMO_OUT) -o $(DEMO_PREVIEW).svg
	@$(BUILD)/javtrg preview $(DEMO_OUT) -o $(DEMO_PREVIEW).png
	@echo "record stream written to $(DEMO_OUT), its preview to $(DEMO_PREVIEW).svg and .png"

test: build
	@ctest --preset $(PRESET)

asan:
	@$(MAKE) --no-print-directory test PRESET=asan

# The benchmarks in a Release build without tests, one run whose JSON
# bench/ratios.py reads to print the ratios of docs/performance.md.
# BENCH_ARGS passes more options (a --benchmark_filter, fewer repetitions);
# BENCH_CPU pins the run to one CPU with taskset.
BENCH_JSON ?= build/bench/bench.json
BENCH_REPETITIONS ?= 3
bench: bootstrap
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@$(if $(BENCH_CPU),taskset -c $(BENCH_CPU)) build/bench/bench/javtrg_bench \
		--benchmark_repetitions=$(BENCH_REPETITIONS) --benchmark_report_aggregates_only=true \
		--benchmark_out=$(BENCH_JSON) --benchmark_out_format=json $(BENCH_ARGS)
	@python3 bench/ratios.py $(BENCH_JSON)

# A Debian package of the library, its header, the CMake and pkg-config
# files and the tool, written into the build folder.
package: build
	@cmake --build --preset $(PRESET) --target package

clean:
	rm -rf build
