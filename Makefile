# SPDX-License-Identifier: GPL-3.0-or-later
# クイズタビノワ — the two commands of a newcomer: `make run` and `make test`.
BUILD   ?= out
APP     := $(BUILD)/app
JOBS    ?= 2
CMAKE   := cmake
CONFIG  ?= RelWithDebInfo

.PHONY: all deps build configure program package app run test test-quick bench screenshots screenshots-x11 data test-asan test-tsan fuzz-build fuzz fuzz-smoke clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@mkdir -p $(BUILD) && $(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(CONFIG) > $(BUILD)/configure.log 2>&1 || (cat $(BUILD)/configure.log; exit 1)
	@$(CMAKE) --build $(BUILD) -j$(JOBS)

# Configures once; afterwards the build itself configures again when a
# CMakeLists.txt changed, so an unchanged tree rebuilds and links nothing.
configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || { mkdir -p $(BUILD) && $(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(CONFIG) > $(BUILD)/configure.log 2>&1 || (cat $(BUILD)/configure.log; exit 1); }

# The program and its tool only (no tests, no benchmarks).
program: configure
	@$(CMAKE) --build $(BUILD) -j$(JOBS) --target tabinowa tabinowa-prepare

# Runs the program as an installed one runs: the progress lives in the user's
# data folder (~/.local/share/tabinowa/), made at the first start from the
# shipped data in data/; nothing here ever writes there, so `make clean` and a
# new checkout keep the progress. `make run ARGS="--folder DIR"` uses DIR instead.
run: program
	"$(BUILD)/tabinowa" $(ARGS)

# The Debian package, under the build folder (out/tabinowa_<version>_<arch>.deb).
package: configure
	@$(CMAKE) --build $(BUILD) -j$(JOBS) --target tabinowa icons
	cd $(BUILD) && cpack -G DEB

# A portable program folder for the tools and the screenshots: the program,
# and beside it the data folders file/, file1/ and 作業ファイル/. Files already
# there are never overwritten; the working files are built only when missing.
app: build
	@mkdir -p "$(APP)/file" "$(APP)/file1" "$(APP)/作業ファイル"
	@cp "$(BUILD)/tabinowa" "$(APP)/"
	@cp -rn data/file1/. "$(APP)/file1/"
	@cp -rn data/作業ファイル/. "$(APP)/作業ファイル/"
	@if [ -x "$(BUILD)/tools/tabinowa-prepare" ] && { [ ! -f "$(APP)/file/問題.ran" ] || [ ! -f "$(APP)/file/point.csv" ] \
	     || [ ! -f "$(APP)/file1/市町村.ran" ] || [ ! -f "$(APP)/file1/県範囲.csv" ] || [ ! -f "$(APP)/file1/訪問消去.ran" ]; }; then \
	   echo "作業ファイルを作成します…"; "$(BUILD)/tools/tabinowa-prepare" "$(APP)"; fi
	@echo "プログラムフォルダ: $(APP)"

# Every test: the suite, the suite again under ASan + UBSan, the core's tests
# under ThreadSanitizer, and a short fuzz run of every fuzz target.
# `make test-quick` is the suite alone.
test: test-quick test-asan test-tsan fuzz-smoke

test-quick: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: deps
	@$(CMAKE) -S . -B $(BUILD)-rel -DCMAKE_BUILD_TYPE=Release > /dev/null
	@$(CMAKE) --build $(BUILD)-rel -j$(JOBS)
	@for b in $(BUILD)-rel/bench/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b; done

# Our fit of the FSRS weights against the FSRS project's optimizer
# (@open-spaced-repetition/binding from the npm registry, Node >= 20), on the
# same logs of made-up learners in the same run: our log loss within 2 % of the
# reference's, and at 100,000 answers our time at most 1.5 times its time.
# Installed under the build folder only; the program never uses it.
.PHONY: bench-fsrs
bench-fsrs: deps
	@node -e 'process.exit(+process.versions.node.split(".")[0] >= 20 ? 0 : 1)' || { echo "bench-fsrs needs Node 20 or newer (node --version: $$(node --version))"; exit 1; }
	@$(CMAKE) -S . -B $(BUILD)-rel -DCMAKE_BUILD_TYPE=Release > /dev/null
	@$(CMAKE) --build $(BUILD)-rel -j$(JOBS) --target tabinowa-fit-compare
	@mkdir -p $(BUILD)-rel/fsrs-ref && cp bench/fsrs_reference/package.json bench/fsrs_reference/compare.mjs $(BUILD)-rel/fsrs-ref/
	@cd $(BUILD)-rel/fsrs-ref && { [ -d node_modules/@open-spaced-repetition/binding ] || npm install --no-audit --no-fund; }
	"$(BUILD)-rel/bench/tabinowa-fit-compare" "$(BUILD)-rel/fsrs-ref/logs"
	cd $(BUILD)-rel/fsrs-ref && node compare.mjs logs

# Our program against a peer program of another kind (KDE's KGeography, a
# Debian package, installed when missing), both started cold on one private
# Xvfb in a private session bus, in turn, PEER_PAIRS times each: start-up to
# the first window, resident memory 2 s later, libraries (ours / the peer's).
PEER       ?= kgeography
PEER_PAIRS ?= 9
.PHONY: bench-peer
bench-peer: deps
	@bash scripts/install-peer.sh $(PEER)
	@$(MAKE) --no-print-directory app BUILD=$(BUILD)-rel CONFIG=Release
	@$(CMAKE) --build $(BUILD)-rel -j$(JOBS) --target tabinowa-peer
	@peer=$$(command -v $(PEER) || echo /usr/games/$(PEER)); \
	  dbus-run-session -- "$(BUILD)-rel/bench/tabinowa-peer" "$(BUILD)-rel/app/tabinowa" "$$peer" $(PEER_PAIRS)

screenshots: app
	QT_QPA_PLATFORM=offscreen "$(BUILD)/tools/tabinowa-screenshots" "$(BUILD)/screenshots" "$(APP)"

# The same shots from real X11 windows: a virtual X server (Xvfb, 24-bit
# colour) and Qt's xcb platform, as on a desktop.
screenshots-x11: app
	xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb \
	  "$(BUILD)/tools/tabinowa-screenshots" "$(BUILD)/screenshots-x11" "$(APP)"

# Maintainers only: derives data/ from the raw public data in ../shared/data.
data: build
	"$(BUILD)/tools/tabinowa-make-data" ../shared/data data

test-asan: deps
	@$(CMAKE) -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DTABINOWA_SANITIZE=ON > /dev/null
	@$(CMAKE) --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j$(JOBS)

# The core and its tests under ThreadSanitizer (no Qt): whatever runs on a
# second thread is checked for data races.
test-tsan: deps
	@mkdir -p $(BUILD)-tsan && $(CMAKE) -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug -DTABINOWA_TSAN=ON > $(BUILD)-tsan/configure.log 2>&1 || (cat $(BUILD)-tsan/configure.log; exit 1)
	@$(CMAKE) --build $(BUILD)-tsan -j$(JOBS) > $(BUILD)-tsan/build.log 2>&1 || (tail -n 40 $(BUILD)-tsan/build.log; exit 1)
	cd $(BUILD)-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j$(JOBS)

# libFuzzer (clang, ASan + UBSan) over the core: the builds over any masters,
# the field reader, the record decoders, CP932. Each target runs on a copy of
# its seeds in fuzz/corpus/ for FUZZ_SECONDS; `fuzz-smoke` is the quick check,
# about 10 seconds a target. Both fail when a target finds something.
FUZZ_BUILD   ?= $(BUILD)-fuzz
FUZZ_SECONDS ?= 300
FUZZ_SMOKE_SECONDS ?= 9
FUZZ_TARGETS := fuzz_question_build fuzz_city_build fuzz_field_reader fuzz_records fuzz_cp932

fuzz-build: deps
	@mkdir -p $(FUZZ_BUILD) && CC=clang CXX=clang++ $(CMAKE) -S . -B $(FUZZ_BUILD) -DTABINOWA_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug > $(FUZZ_BUILD)/configure.log 2>&1 || (cat $(FUZZ_BUILD)/configure.log; exit 1)
	@$(CMAKE) --build $(FUZZ_BUILD) -j$(JOBS) > $(FUZZ_BUILD)/build.log 2>&1 || (tail -n 40 $(FUZZ_BUILD)/build.log; exit 1)

fuzz: fuzz-build
	@bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-smoke: fuzz-build
	@bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS) $(FUZZ_TARGETS)

# Build folders only: a learner's progress lives in ~/.local/share/tabinowa/.
clean:
	rm -rf $(BUILD) $(BUILD)-rel $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz
