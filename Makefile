# The two commands of the README: `make run` and `make test`.
# Both install the Debian packages they need (only those missing), then build.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

PACKAGES := build-essential cmake ninja-build pkg-config ccache \
	libgtest-dev libgmock-dev libbenchmark-dev \
	libsqlite3-dev zlib1g-dev libexpat1-dev libfreetype-dev \
	libvorbisidec-dev libogg-dev libsdl2-dev libpng-dev \
	clang libclang-rt-14-dev xvfb xauth espeak-ng vorbis-tools fonts-dejavu-core fonts-dejavu-extra fonts-wqy-zenhei xdotool imagemagick

# ccache hits across checkouts in other folders (CI clones afresh).
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: deps build asan fuzz test test-fast test-asan run clean

FUZZ_SECONDS ?= 90

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DSORVI_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-fast: build
	ctest --test-dir $(BUILD) --output-on-failure --timeout 300 -j $(JOBS)

test-asan: asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure --timeout 600 -j $(JOBS)

# Every fuzz target under libFuzzer (clang), built apart from the gcc builds;
# only the fuzz targets and their seeding programs are built there. They share
# FUZZ_SECONDS between them (tests/fuzz/run_fuzz.sh); FUZZ_TARGETS picks some.
FUZZ_TARGETS ?=

fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSORVI_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_all
	tests/fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

test: test-fast test-asan fuzz

# The recogniser goes where the program looks for it on a device.
run: build
	@if [ -f $(BUILD)/recognizer/Quillet.dll ]; then \
	  mkdir -p "$(SORVI_ROOT)/Program Files/Sorvi" && \
	  cp -f $(BUILD)/recognizer/Quillet.dll "$(SORVI_ROOT)/Program Files/Sorvi/Quillet.dll"; fi
	@if [ -x $(BUILD)/app/sorvi ]; then exec $(BUILD)/app/sorvi; \
	elif [ -x $(BUILD)/tools/platform-demo/platform-demo ]; then exec $(BUILD)/tools/platform-demo/platform-demo; \
	else echo "The program is not built yet: only libraries and tests exist so far (see README)."; fi

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)

# The device data (`make data`): stroke order, pronunciation clips, code
# pages and fonts in the device folder, built by tools/devicedata from pinned
# sources (tools/devicedata/README.md); downloads and clips are cached under
# the build folder, and a file is rebuilt only when its inputs change.
SORVI_ROOT    ?= $(HOME)/.local/share/sorvi/device
DATA_CACHE    ?= $(BUILD)/device-data
DATA_DIR       = $(SORVI_ROOT)/Program Files/Sorvi
DATA_FILES    := s2stroke.pdb s2unihan.pdb s2cedict.pdb s2audio.pdb s2codes.pdb tahoma.ttf tahomabd.ttf \
                 SorviExtra.ttf SorviExtraBold.ttf ZYSong.ttf
DATA_PACKAGES := espeak-ng vorbis-tools fonts-dejavu-core fonts-wqy-zenhei unicode-data
DATA_MISSING  := $(shell for f in $(DATA_FILES); do [ -f "$(DATA_DIR)/$$f" ] || echo $$f; done)

.PHONY: data

data: deps
	@missing=""; \
	for p in $(DATA_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	command -v npm >/dev/null || missing="$$missing npm"; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target sorvi-devicedata
	tools/devicedata/make_data.sh $(BUILD)/tools/devicedata/sorvi-devicedata $(DATA_CACHE) "$(SORVI_ROOT)"

# `make run` builds the device data first when the device folder lacks it.
run: $(if $(DATA_MISSING),data)

# The benchmarks (`make bench`, not part of `make test`): a Release build of
# their own; the lookup and reader benchmarks run over the device data (built
# first when missing), the others over fixtures of their own. Each prints its
# table in turn.
BENCH_BUILD ?= build-bench
BENCH_DICT  ?= s2cedict.pdb
BENCHES     := bench_lookup bench_reader bench_text bench_search bench_pinyin bench_flash_search bench_flash_export bench_startup bench_flash_session bench_audio bench_flash_batch bench_main_search

.PHONY: bench

bench: deps $(if $(DATA_MISSING),data)
	@[ -f "$(DATA_DIR)/$(BENCH_DICT)" ] || $(MAKE) data
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target $(BENCHES)
	SORVI_ROOT="$(SORVI_ROOT)" $(BENCH_BUILD)/bench/lookup/bench_lookup
	SORVI_ROOT="$(SORVI_ROOT)" $(BENCH_BUILD)/bench/reader/bench_reader
	$(BENCH_BUILD)/bench/text/bench_text
	$(BENCH_BUILD)/bench/search/bench_search
	$(BENCH_BUILD)/bench/pinyin/bench_pinyin
	$(BENCH_BUILD)/bench/flash_search/bench_flash_search
	$(BENCH_BUILD)/bench/flash_export/bench_flash_export
	SORVI_ROOT="$(SORVI_ROOT)" $(BENCH_BUILD)/bench/startup/bench_startup
	$(BENCH_BUILD)/bench/flash_session/bench_flash_session
	SORVI_ROOT="$(SORVI_ROOT)" $(BENCH_BUILD)/bench/audio/bench_audio
	$(BENCH_BUILD)/bench/flash_batch/bench_flash_batch
	SORVI_ROOT="$(SORVI_ROOT)" $(BENCH_BUILD)/bench/main_search/bench_main_search

# The converter (`make mendrel`): builds mendrel and starts it in a window
# over the device root. `sorvi-firstgen sample DIR` (build/tools/firstgen)
# makes a root of first-generation files to try it on:
#   make mendrel SORVI_ROOT=/tmp/sample
.PHONY: mendrel

mendrel: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target mendrel
	SORVI_ROOT="$(SORVI_ROOT)" SORVI_BACKEND=sdl $(BUILD)/converter/mendrel
