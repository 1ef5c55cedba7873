# KIVO View: set-up, build, run and test on a Debian 12 (bookworm) or 13 (trixie) machine.
#   make run         install what is needed, build, and start the program on the simulated meter
#   make test        install what is needed, build, and run every test (also under the sanitizers)
#   make fresh-root  make test and make run in a clean clone on a bare Debian 13 root (as root,
#                    with debootstrap; FRESH_SUITE=bookworm for Debian 12; not part of test)

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
WERROR     ?= $(if $(CI),ON,OFF)

BENCH_BUILD ?= build-bench

.PHONY: all deps build build-asan test test-fast test-asan run bench soak clean format

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO_WERROR=$(WERROR) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKIVO_SANITIZE=ON -DKIVO_WERROR=$(WERROR) $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-fast: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Core and system tests again with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: build-asan
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L 'core|system|gui'

test: test-fast test-asan fuzz-quick

# Throughput and cost figures; see BENCHMARKS.md. Optimised build of its own.
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKIVO_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target bench_window bench_live bench_format bench_viewer kivo-convert kivo-log kivo-sim
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bench/bench_window --benchmark_min_time=2
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bench/bench_live 30
	$(BENCH_BUILD)/bench/bench_format --benchmark_min_time=1
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bench/bench_viewer 1000000 5000000
	scripts/bench-convert $(BENCH_BUILD) 1000000
	scripts/bench-logger $(BENCH_BUILD) 60 30

# Every parser fuzzed with libFuzzer (clang, own build in build-fuzz); see scripts/fuzz.
# FUZZ_SECONDS is each target's run (make fuzz FUZZ_SECONDS=1800 for half an hour each).
FUZZ_SECONDS ?= 300
.PHONY: fuzz fuzz-quick
fuzz: deps
	scripts/fuzz $(FUZZ_SECONDS)

fuzz-quick: deps
	scripts/fuzz 20

# A simulated week: 5 million lines through the window and through kivo-log (long; not in test).
SOAK_LINES ?= 5000000
soak: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKIVO_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target soak_window soak_logger kivo-log
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bench/soak_window $(SOAK_LINES)
	$(BENCH_BUILD)/bench/soak_logger $(BENCH_BUILD)/kivo-log $(SOAK_LINES)

run: build
	@scripts/run-demo $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)

# The Debian package build/kivoview_*.deb, checked without installing it (scripts/check-package).
.PHONY: package
package: build
	scripts/check-package $(BUILD)

test: package

# The quick start tried from scratch: a bare Debian root, a clean clone of HEAD (scripts/fresh-root).
FRESH_SUITE ?= trixie
.PHONY: fresh-root
fresh-root:
	FRESH_SUITE=$(FRESH_SUITE) scripts/fresh-root
