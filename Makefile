# The two commands of README: `make demo` converts the bundled sample picture
# and draws its preview, `make test` builds and runs every test.
PRESET ?= default
BUILD := build/$(PRESET)
SAMPLE ?= examples/sample.json
DEMO_OUT ?= $(BUILD)/sample.records
DEMO_PREVIEW ?= $(basename $(DEMO_OUT))

.PHONY: all bootstrap build demo test asan package clean

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

# A Debian package of the library, its header, the CMake and pkg-config
# files and the tool, written into the build folder.
package: build
	@cmake --build --preset $(PRESET) --target package

clean:
	rm -rf build
