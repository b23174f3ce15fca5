# The two commands of the README: `make run` and `make test`. Both install what is missing first.
# The settings of the two builds are CMakePresets.json's "default" (build/) and "asan" (build-asan/);
# CMAKE_ARGS adds to them, BUILD and ASAN_BUILD move them elsewhere.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all deps build run test asan fuzz format-check soak deb screenshots bench clean

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

# The fuzz targets (fuzz/), built with clang, libFuzzer and the sanitizers on the core alone, each run
# for FUZZ_SECONDS (60 by default). A crash's input is kept where the summary says.
fuzz: deps
	cmake --preset fuzz -B $(FUZZ_BUILD) $(CMAKE_ARGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./scripts/fuzz.sh $(FUZZ_BUILD)

# Every source laid out as .clang-format says.
format-check: deps
	./scripts/check-format.sh

# The real program killed again and again on a 200,000-row table (SOAK_KILLS, 60 by default): its
# files must always be whole.
soak: build
	./scripts/soak.py $(BUILD)

# The Debian package, from the default build, checked in a scratch root (scripts/check-deb.sh).
deb: build
	cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)/package
	./scripts/check-deb.sh $(BUILD)/package

# The README's pictures (docs/*.png), remade from the real program under Xvfb with local servers.
screenshots: build
	./scripts/install-deps.sh xvfb xdotool imagemagick faketime
	./scripts/screenshots.py $(BUILD)

bench: build
	./bench/run-all.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
