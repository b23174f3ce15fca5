# The two commands of the README: `make run` and `make test`. Both install what is missing first.
# The settings of the two builds are CMakePresets.json's "default" (build/) and "asan" (build-asan/);
# CMAKE_ARGS adds to them, BUILD and ASAN_BUILD move them elsewhere.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all deps build run test asan bench clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake --preset default -B $(BUILD) $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/quillory

test: build
	ctest --preset default --test-dir $(BUILD) -j $(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake --preset asan -B $(ASAN_BUILD) $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --preset asan --test-dir $(ASAN_BUILD) -j $(JOBS)

bench: build
	./bench/run-all.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
