# Pigeonet: `make run` starts the program under Wine, `make test` runs every suite.
# Both install what is missing first (Debian 12, as root) and build both trees.

NATIVE := build/native
WIN := build/win
FUZZ := build/fuzz
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all setup build native win run test test-native test-win fuzz format clean

all: build

setup:
	@tools/setup.sh

build: setup native win

native:
	@test -f $(NATIVE)/CMakeCache.txt || cmake -S . -B $(NATIVE) -G Ninja
	cmake --build $(NATIVE) -j $(JOBS)

win:
	@test -f $(WIN)/CMakeCache.txt || cmake -S . -B $(WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
	cmake --build $(WIN) -j $(JOBS)

run: build
	tools/run.sh

# Every suite runs even when an earlier one fails; the exit status reports any failure.
test: build
	@status=0; \
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS) || status=1; \
	ctest --test-dir $(WIN) --output-on-failure || status=1; \
	exit $$status

test-native: setup native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

test-win: setup win
	ctest --test-dir $(WIN) --output-on-failure

# libFuzzer needs clang (Debian's clang and its runtime; llvm for tests/fuzz/coverage.sh); `make test` only replays
# the seed corpus and needs none of them.
fuzz: setup
	@command -v clang++ >/dev/null && command -v llvm-cov >/dev/null \
		&& dpkg-query -W -f='$${Status}' libclang-rt-14-dev 2>/dev/null | grep -q 'ok installed' \
		|| (apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q clang libclang-rt-14-dev llvm)
	@test -f $(FUZZ)/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIGEONET_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ) -j $(JOBS) --target fuzz_targets
	tests/fuzz/run.sh $(FUZZ) $(FUZZ_SECONDS)

format:
	find src tests tools -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
