# Front door of the build. Every target first makes sure the Debian packages
# it needs are present, so a fresh Debian 12 machine needs nothing by hand.

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2

# qttools5-dev-tools: lupdate and lrelease; qttools5-dev: their CMake
# package (Qt5LinguistTools); qttranslations5-l10n: Qt's own qtbase_zh_CN.qm.
PACKAGES      := cmake g++ make pkg-config qtbase5-dev libqt5svg5-dev libsqlite3-dev libedit-dev man-db \
                 fonts-wqy-microhei qttools5-dev-tools qttools5-dev qttranslations5-l10n
DEMO_PACKAGES := sqlite3
# clang and its sanitizer and libFuzzer runtimes; llvm-symbolizer (llvm-14)
# names the source lines in sanitizer reports.
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev llvm-14

GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all build test stress demo desk screenshots translations asan bench deps demo-deps clean install consumer docs

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

# Builds only what the demo runs: strategyctl and the libraries it links.
demo: demo-deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target strategyctl
	@bash tools/demo.sh $(BUILD)/bin/strategyctl

# The desktop client on a demo folder filled by strategyctl (DESK_HOME to
# open another folder).
desk: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target strategyctl strategydesk
	@bash tools/desk-demo.sh $(BUILD)/bin $(DESK_HOME)

# A picture of each screen of the desktop client in each of its languages,
# in $(BUILD)/screenshots/en and $(BUILD)/screenshots/zh_CN.
screenshots: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target strategydesk_screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/strategydesk_screenshots $(BUILD)/screenshots

# Refreshes the desktop client's translation sources
# (tools/strategydesk/translations/*.ts) from its code, then lists the
# texts that have no translation yet.
translations: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target strategydesk_translations

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DSTRATEGYLOGIC_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The tests under ThreadSanitizer, then TSAN_STRESS_SECONDS of threads on the
# plug-in object (tests/tsan/). Qt is not instrumented: the preloaded
# QtTsanShim shows ThreadSanitizer Qt's locks, waits and hand-overs, and the
# ctest test tsan_planted_races proves that a planted race is still reported.
# QT_NO_GLIB: Qt's own event dispatcher, so that all of the event loop is
# Qt's (GLib's is neither instrumented nor covered by tests/tsan/tsan.supp).
TSAN_STRESS_SECONDS ?= 30
TSAN_ENV = QT_NO_GLIB=1 LD_PRELOAD=$(abspath $(TSAN_BUILD))/lib/libQtTsanShim.so \
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan/tsan.supp"
.PHONY: tsan
tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTRATEGYLOGIC_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && $(TSAN_ENV) ctest --output-on-failure -j $(JOBS)
	$(TSAN_ENV) $(TSAN_BUILD)/bin/strategylogic_tsan_stress --seconds $(TSAN_STRESS_SECONDS)

# Installs the libraries, headers, strategyctl and the CMake and pkg-config
# packages under PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# An out-of-tree client of the installed package (tests/consumer).
consumer: build
	bash tests/consumer/run.sh $(BUILD)

# The API reference (HTML in $(BUILD)/docs/html); an undocumented public
# member fails it.
DOCS_PACKAGES := doxygen
docs: build
	@bash tools/ensure-packages.sh $(DOCS_PACKAGES)
	mkdir -p $(BUILD)/docs
	STRATEGYLOGIC_DOCS_OUT=$(BUILD)/docs \
	  STRATEGYLOGIC_VERSION=$$(sed -n 's/^#define STRATEGYLOGIC_VERSION_STRING "\(.*\)"/\1/p' $(BUILD)/include/StrategyLogic/strategylogic_version.h) \
	  STRATEGYLOGIC_VERSION_HEADER=$(BUILD)/include/StrategyLogic/strategylogic_version.h \
	  STRATEGYLOGIC_BUILD_INCLUDE=$(BUILD)/include \
	  doxygen docs/Doxyfile
	@echo "API reference: $(BUILD)/docs/html/index.html"

# BENCH_ARGS: --quick (the scale table at 1k..100k only), --json, --runs N.
BENCH_ARGS ?=
bench: deps
	cmake -S . -B $(BENCH_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DSTRATEGYLOGIC_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target strategylogic_bench
	$(BENCH_BUILD)/bin/strategylogic_bench $(BENCH_ARGS)

# The libFuzzer targets of tests/fuzz (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), each FUZZ_SECONDS on a copy of its seed
# corpus, JOBS targets at a time; fails on any finding, whose input is kept
# in $(FUZZ_BUILD)/fuzz/<target>/artifacts/.
FUZZ_SECONDS ?= 60
.PHONY: fuzz fuzz-deps
fuzz-deps:
	@bash tools/ensure-packages.sh $(PACKAGES) $(FUZZ_PACKAGES)

fuzz: fuzz-deps
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DSTRATEGYLOGIC_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target strategylogic_fuzzers
	bash tests/fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)
