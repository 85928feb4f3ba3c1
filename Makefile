# The two commands a new machine needs: `make check` and `make demo`.
# Both install what is missing first (Debian packages, as root).

.PHONY: check demo package fuzz bench native windows deps deps-native deps-bench clean

FUZZ_SECONDS ?= 300

check: deps
	cmake --workflow --preset native
	cmake --workflow --preset native-asan
	cmake --workflow --preset fuzz
	cmake --workflow --preset windows-x86
	cmake --workflow --preset windows-x64
	@sh scripts/windows-summary.sh build

demo: deps-native
	@cmake --preset native >/dev/null
	@cmake --build --preset native --target ravlet ravlet-listen >/dev/null
	@bash scripts/demo.sh build/native

# Runs each fuzzer for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=3600); what they
# find is left in build/fuzz/fuzz/ (crash-*, and new inputs in corpus/).
fuzz: deps
	cmake --preset fuzz -DRAVLET_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	cmake --build --preset fuzz
	ctest --preset fuzz

# Whole-process and scaling figures, side by side with the floor; writes
# bench/results.md. BENCH_PAIRS sets the number of alternating pairs.
BENCH_PAIRS ?= 300
bench: deps deps-bench
	bash bench/run.sh $(BENCH_PAIRS)

deps-bench:
	@bash scripts/install-deps.sh bench

# ravlet-VERSION-Linux.tar.gz, ravlet-VERSION-win32.zip and
# ravlet-VERSION-win64.zip, in build/*/packages/.
package: deps
	cmake --preset native >/dev/null
	cmake --build --preset native --target package
	cmake --preset windows-x86 >/dev/null
	cmake --build --preset windows-x86 --target package
	cmake --preset windows-x64 >/dev/null
	cmake --build --preset windows-x64 --target package
	@ls -l build/native/packages/*.tar.gz build/windows-x86/packages/*.zip build/windows-x64/packages/*.zip

native: deps-native
	cmake --workflow --preset native

windows: deps
	cmake --workflow --preset windows-x86
	cmake --workflow --preset windows-x64
	@sh scripts/windows-summary.sh build

deps:
	@bash scripts/install-deps.sh

deps-native:
	@bash scripts/install-deps.sh native

clean:
	rm -rf build
