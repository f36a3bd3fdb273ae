# Front door of the build. Every target first makes sure the Debian packages
# it needs are present, so a fresh Debian 12 machine needs nothing by hand.

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= 2

PACKAGES      := cmake g++ make qtbase5-dev libsqlite3-dev
DEMO_PACKAGES := sqlite3

GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all build test stress demo asan bench deps demo-deps clean

all: build

deps:
	@bash tools/ensure-packages.sh $(PACKAGES)

demo-deps:
	@bash tools/ensure-packages.sh $(PACKAGES) $(DEMO_PACKAGES)

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Kills, concurrent processes, a locked database, signals and a full or
# read-only disk, within a time budget; not part of `make test`.
STRESS_SECONDS ?= 180
stress: build
	$(BUILD)/bin/strategylogic_stress --seconds $(STRESS_SECONDS)

demo: demo-deps build
	@bash tools/demo.sh $(BUILD)/bin/strategyctl

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DSTRATEGYLOGIC_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DSTRATEGYLOGIC_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target strategylogic_bench
	$(BENCH_BUILD)/bin/strategylogic_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
