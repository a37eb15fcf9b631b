# The two commands a newcomer types are `make run` and `make test`.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-sanitize bench fuzz clean format

all: build

deps:
	@scripts/install-deps >&2

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >&2

build: configure
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

# Builds only the command-line tool; the build's chatter goes to stderr, so standard output
# holds just the demo menu as JSON.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target trellune-cli -- --no-print-directory >&2
	@$(BUILD)/app/trellune-cli export demo/menus/mma_ucp_36

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of its own, so that a memory fault fails the run.
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DTRELLUNE_SANITIZE=ON -DTRELLUNE_BENCH=OFF >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS) -- --no-print-directory
	@cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do $$b; done

# libFuzzer targets, built with clang under ASan and UBSan in their own build folder.
fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DTRELLUNE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) -- --no-print-directory

format:
	@git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
