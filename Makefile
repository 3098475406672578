# Pigeonet: `make run` starts the program under Wine, `make test` runs every suite, `make dist` packs the product.
# Each installs what is missing first (Debian 12, as root).
#
# Two configurations of the one CMake tree: the test trees (Debug, natively under the sanitizers) in build/native
# and build/win, built and run by `make test`; the product (MinSizeRel, stripped, no tests) in build/release-win
# (pigeonet.exe, pigeonet-probe.exe) and build/release-native (pigeonet-probe for benchmarks), built by `make build`.

NATIVE := build/native
WIN := build/win
RELEASE_WIN := build/release-win
RELEASE_NATIVE := build/release-native
DIST := build/dist
PRODUCT := -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF
FUZZ := build/fuzz
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all setup build release release-win release-native native win run dist test test-dist test-native test-win \
	fuzz idle-latency format clean

all: build

setup:
	@tools/setup.sh

# ---- the product: build, run, dist
build: setup release

release: release-win release-native

release-win:
	@test -f $(RELEASE_WIN)/CMakeCache.txt || \
		cmake -S . -B $(RELEASE_WIN) $(PRODUCT) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
	cmake --build $(RELEASE_WIN) -j $(JOBS)

release-native:
	@test -f $(RELEASE_NATIVE)/CMakeCache.txt || cmake -S . -B $(RELEASE_NATIVE) $(PRODUCT)
	cmake --build $(RELEASE_NATIVE) -j $(JOBS)

# Signs with osslsigncode when PIGEONET_SIGN_PFX (and PIGEONET_SIGN_PASSWORD) name a code-signing certificate.
dist: build
	tools/dist/dist.sh $(RELEASE_WIN) $(DIST)

# The product under test (also part of `make test`): size, signing, the MSI under Wine, the acceptance scenarios.
test-dist: setup win release
	ctest --test-dir $(WIN) -R '^product_' --output-on-failure
# ---- end of the product targets

# The time from a delivery to the check it sets off over IMAP IDLE, against a private Dovecot (a figure, not a test).
idle-latency: setup release-native
	tools/idle-bench/idle-latency.sh $(RELEASE_NATIVE)

native:
	@test -f $(NATIVE)/CMakeCache.txt || cmake -S . -B $(NATIVE) -G Ninja
	cmake --build $(NATIVE) -j $(JOBS)

win:
	@test -f $(WIN)/CMakeCache.txt || cmake -S . -B $(WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
	cmake --build $(WIN) -j $(JOBS)

run: build
	tools/run.sh

# Every suite runs even when an earlier one fails, in parallel within a tree; the Windows tree also checks the
# product (its packages, and the acceptance scenarios against its pigeonet.exe). The last line counts both trees
# ("N passed, N failed") and the exit status reports any failure.
test: setup native win release
	@JOBS=$(JOBS) tools/run-tests.sh $(NATIVE) $(WIN)

test-native: setup native
	@JOBS=$(JOBS) tools/run-tests.sh $(NATIVE)

test-win: setup win
	@JOBS=$(JOBS) tools/run-tests.sh $(WIN)

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
