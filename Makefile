# The two commands of the README: `make run` and `make test`. `make` alone builds.
PRESET ?= default
BUILD := build/$(PRESET)
DEMO := $(BUILD)/demo.vsr

.PHONY: all build deps run test clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake --preset $(PRESET)

build: $(BUILD)/build.ninja
	cmake --build --preset $(PRESET)

run: deps
	@$(MAKE) --no-print-directory build
	$(BUILD)/src/vsr demo -o $(DEMO)
	$(BUILD)/src/vsr info $(DEMO)

test: deps
	@$(MAKE) --no-print-directory build
	ctest --preset $(PRESET)

clean:
	rm -rf build
