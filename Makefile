# The two commands of the README: `make run` and `make test`. `make` alone builds.
PRESET ?= default
BUILD := build/$(PRESET)
DEMO := $(BUILD)/demo.vsr

.PHONY: all build deps run test deb coverage fuzz clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake --preset $(PRESET)

build: $(BUILD)/build.ninja
	cmake --build --preset $(PRESET)

# Plays the demo recording in the player; without a display, shows what it holds instead.
run: deps
	@$(MAKE) --no-print-directory build
	$(BUILD)/src/vsr demo -o $(DEMO)
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
		echo "The player needs a display (DISPLAY or WAYLAND_DISPLAY); showing the recording instead."; \
		$(BUILD)/src/vsr info $(DEMO); \
	else \
		$(BUILD)/src/vsrplayer $(DEMO); \
	fi

test: deps
	@$(MAKE) --no-print-directory build
	ctest --preset $(PRESET)

# The Debian package vsr-player_VERSION_amd64.deb, in $(BUILD)/package.
deb: deps
	@$(MAKE) --no-print-directory build
	cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)/package
	@rm -rf $(BUILD)/package/_CPack_Packages
	@ls $(BUILD)/package/*.deb

# The whole suite in the coverage build, then line and branch coverage per folder of src/.
coverage: deps
	@$(MAKE) --no-print-directory build PRESET=coverage
	find build/coverage -name '*.gcda' -delete
	status=0; ctest --preset coverage || status=$$?; \
	scripts/coverage-report.py build/coverage && exit $$status

# Every fuzz target for SECONDS seconds from its corpus (seeded by the project's writers).
SECONDS ?= 60
fuzz: deps
	@$(MAKE) --no-print-directory build PRESET=fuzz
	scripts/run-fuzz.sh build/fuzz $(SECONDS)

clean:
	rm -rf build
