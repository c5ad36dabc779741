# SPDX-License-Identifier: MIT
# The two commands of README: `make demo` converts the bundled sample picture
# and draws its preview, `make test` builds the rest and runs every test.
SHELL := /bin/bash
PRESET ?= default
BUILD := build/$(PRESET)
SAMPLE ?= examples/sample.json
DEMO_OUT ?= $(BUILD)/sample.records
DEMO_PREVIEW ?= $(basename $(DEMO_OUT))
FUZZ_SECONDS ?= 10
FUZZERS := object_stream text_search host_failures script_reader record_reader import

.PHONY: all bootstrap build demo test asan tsan ubsan memcheck coverage fuzz fuzz-smoke bench package clean

all: build

bootstrap:
	@bash scripts/bootstrap

build: bootstrap
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

# The demo builds only what it runs: the library and the tool.
demo: bootstrap
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target javtrg_tool
	@$(BUILD)/javtrg convert $(SAMPLE) -o $(DEMO_OUT)
	@$(BUILD)/javtrg preview $(DEMO_OUT) -o $(DEMO_PREVIEW).svg
	@$(BUILD)/javtrg preview $(DEMO_OUT) -o $(DEMO_PREVIEW).png
	@echo "record stream written to $(DEMO_OUT), its preview to $(DEMO_PREVIEW).svg and .png"

test: build
	@ctest --preset $(PRESET)

# The tests under clang's AddressSanitizer and UndefinedBehaviorSanitizer
# (with the implicit conversion checks on the driver) and the complete
# failure sweep; under ThreadSanitizer; under g++'s UndefinedBehaviorSanitizer.
asan:
	@$(MAKE) --no-print-directory test PRESET=asan
tsan:
	@$(MAKE) --no-print-directory test PRESET=tsan
ubsan:
	@$(MAKE) --no-print-directory test PRESET=ubsan

# valgrind's memcheck over the tests of the default build and the programs
# they start (a program that shows an error exits with 99, which fails its
# test). Left out: the browser test (it checks what Chromium draws), the
# install test (it builds a package with cmake and a compiler), the export
# and layer checks (cmake scripts that read files), the licence check (a
# shell script) and the complete sweep
# (the sampled one runs): none of them runs more of our code.
# cmake/valgrind.supp holds the one report of the system's loader.
MEMCHECK_OPTIONS := --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
	--suppressions=$(CURDIR)/cmake/valgrind.supp \
	--show-leak-kinds=definite --trace-children=yes --trace-children-skip=*/script,*/cmake
memcheck: build
	@cd build/default && ctest -T memcheck -j2 -LE 'browser|install|sweep' -E 'javtrg_exports|include_layers|license_headers' \
		--overwrite MemoryCheckCommand=$$(command -v valgrind) \
		--overwrite "MemoryCheckCommandOptions=$(MEMCHECK_OPTIONS)"

# Line and branch coverage of the driver (include/, stream/, driver/,
# graphics/, text/, highlight/) by every test, the complete failure sweep
# included, but the browser test (it runs Chromium); the report is build/coverage/report.txt, the annotated
# sources build/coverage/html/index.html.
COVERAGE_IGNORE := '/(host|tools|tests|fuzz|bench|examples|build)/|^/usr/'
coverage:
	@$(MAKE) --no-print-directory build PRESET=coverage
	@rm -rf build/coverage/profiles
	@LLVM_PROFILE_FILE=$(CURDIR)/build/coverage/profiles/%p.profraw ctest --preset coverage -j2 >/dev/null
	@llvm-profdata merge -sparse build/coverage/profiles/*.profraw -o build/coverage/driver.profdata
	@llvm-cov show build/coverage/tests/javtrg_tests -object build/coverage/libjavtrg.so \
		-instr-profile=build/coverage/driver.profdata -ignore-filename-regex=$(COVERAGE_IGNORE) \
		-show-branches=count -format=html -output-dir=build/coverage/html
	@llvm-cov report build/coverage/tests/javtrg_tests -object build/coverage/libjavtrg.so \
		-instr-profile=build/coverage/driver.profdata -ignore-filename-regex=$(COVERAGE_IGNORE) \
		| tee build/coverage/report.txt

# The libFuzzer targets (the fuzz preset, clang), and a short run of each
# from its seeds: FUZZ_SECONDS seconds a target.
fuzz:
	@$(MAKE) --no-print-directory build PRESET=fuzz
fuzz-smoke: fuzz
	@for target in $(FUZZERS); do \
		mkdir -p build/fuzz/corpus/$$target; \
		LSAN_OPTIONS=suppressions=$(CURDIR)/cmake/lsan.supp:print_suppressions=0 build/fuzz/$${target}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=20 -print_final_stats=1 \
			-dict=fuzz/dict/$$target.dict -artifact_prefix=build/fuzz/$$target- \
			build/fuzz/corpus/$$target fuzz/corpus/$$target 2>&1 \
			| grep -E 'number_of_executed_units|ERROR|SUMMARY' | sed "s/^/$$target: /"; \
		test $${PIPESTATUS[0]} -eq 0 || exit 1; \
	done

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

# The Debian packages libjavtrg0, libjavtrg-dev and javtrg, written into
# the build folder; only the library, the tool and its manual page are built.
package: bootstrap
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target javtrg_tool javtrg_help_pages
	@cd $(BUILD) && cpack

clean:
	rm -rf build
