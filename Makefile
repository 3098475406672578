# Pigeonet: `make run` starts the program under Wine, `make test` runs every suite.
# Both install what is missing first (Debian 12, as root) and build both trees.

NATIVE := build/native
WIN := build/win
JOBS ?= $(shell nproc)

.PHONY: all setup build native win run test test-native test-win format clean

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

# Every suite runs even when an earlier one fails, in parallel within a tree; the last line counts both trees
# ("N passed, N failed") and the exit status reports any failure.
test: build
	@JOBS=$(JOBS) tools/run-tests.sh $(NATIVE) $(WIN)

test-native: setup native
	@JOBS=$(JOBS) tools/run-tests.sh $(NATIVE)

test-win: setup win
	@JOBS=$(JOBS) tools/run-tests.sh $(WIN)

format:
	find src tests tools -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
