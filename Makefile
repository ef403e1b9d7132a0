# クイズタビノワ — the two commands of a newcomer: `make run` and `make test`.
BUILD   ?= out
APP     := $(BUILD)/app
JOBS    ?= 2
CMAKE   := cmake
CONFIG  ?= RelWithDebInfo

.PHONY: all deps build app run test bench screenshots data test-asan clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@mkdir -p $(BUILD) && $(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(CONFIG) > $(BUILD)/configure.log 2>&1 || (cat $(BUILD)/configure.log; exit 1)
	@$(CMAKE) --build $(BUILD) -j$(JOBS)

# Lays out the program folder: the program, and beside it the data folders
# file/, file1/ and 作業ファイル/. Masters and pictures are refreshed; the working
# files (a user's progress) are built only when they are missing.
app: build
	@mkdir -p "$(APP)/file" "$(APP)/file1" "$(APP)/作業ファイル"
	@cp "$(BUILD)/tabinowa" "$(APP)/"
	@cp -r data/file1/. "$(APP)/file1/"
	@cp -r data/作業ファイル/. "$(APP)/作業ファイル/"
	@if [ -x "$(BUILD)/tools/tabinowa-prepare" ] && { [ ! -f "$(APP)/file/問題.ran" ] || [ ! -f "$(APP)/file/point.csv" ] \
	     || [ ! -f "$(APP)/file1/市町村.ran" ] || [ ! -f "$(APP)/file1/県範囲.csv" ] || [ ! -f "$(APP)/file1/訪問消去.ran" ]; }; then \
	   echo "作業ファイルを作成します…"; "$(BUILD)/tools/tabinowa-prepare" "$(APP)"; fi
	@echo "プログラムフォルダ: $(APP)"

run: app
	cd "$(APP)" && ./tabinowa

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: deps
	@$(CMAKE) -S . -B $(BUILD)-rel -DCMAKE_BUILD_TYPE=Release > /dev/null
	@$(CMAKE) --build $(BUILD)-rel -j$(JOBS)
	@for b in $(BUILD)-rel/bench/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b; done

screenshots: app
	QT_QPA_PLATFORM=offscreen "$(BUILD)/tools/tabinowa-screenshots" "$(BUILD)/screenshots" "$(APP)"

# Maintainers only: derives data/ from the raw public data in ../shared/data.
data: build
	"$(BUILD)/tools/tabinowa-make-data" ../shared/data data

test-asan: deps
	@$(CMAKE) -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DTABINOWA_SANITIZE=ON > /dev/null
	@$(CMAKE) --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-rel $(BUILD)-asan
