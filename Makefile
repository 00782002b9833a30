# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
#   make demo    build the library and the terminal host only, then watch two
#                simulated printers in it
#   make test    build and run every test: plain, ASan+UBSan (clang, with the
#                fuzzer) and TSan builds, and compile the library for Windows
#   make build   the plain build only          make bench   the benchmarks
#   make package the Debian packages of the plain build, in $(BUILD)/

BUILD      ?= build
WIN_BUILD  ?= build-windows
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
CTEST_JOBS ?= 2

# intercept_tls_get_addr=0: clang 14's runtime takes a dynamic TLS block that
# starts 16 bytes into a page for an old glibc layout, reads a bogus range from
# in front of it and its leak checker then crashes at exit ("Tracer caught
# signal 11"). Where a block lands depends on the machine, so one test fails
# every time there. Without the interceptor the blocks are still found, as heap
# chunks the thread's TLS points to.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_tls_get_addr=0 \
                UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
                TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

.PHONY: all deps build test test-plain test-windows test-asan test-tsan demo bench package clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPEMRA_WERROR=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

test: test-plain test-windows test-asan test-tsan

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(CTEST_JOBS)

# Every source file of the library compiled for Windows x86-64 (objects only).
test-windows: deps
	scripts/check-windows-compile.sh $(WIN_BUILD)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPEMRA_WERROR=ON \
	  -DPEMRA_SANITIZE=address,undefined -DPEMRA_BUILD_FUZZ=ON -DPEMRA_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(CTEST_JOBS)

test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
	  -DPEMRA_WERROR=ON -DPEMRA_SANITIZE=thread -DPEMRA_BUILD_BENCH=OFF
	cmake --build $(TSAN_BUILD)
	cd $(TSAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(CTEST_JOBS)

# The terminal host brings what it runs: the library and the simulator.
demo: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target pemra-monitor
	$(BUILD)/tools/monitor/pemra-monitor --demo

bench: build
	$(BUILD)/bench/pemra_bench_status
	$(BUILD)/bench/pemra-farm-bench

# cpack installs the plain build under /usr in a staging folder and packs it;
# dpkg-shlibdeps fills in Depends.
package: build
	cd $(BUILD) && cpack -G DEB
	@ls -1 $(BUILD)/*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(WIN_BUILD)
