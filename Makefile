# The user's entry points. `make` builds the products into build/: the tool,
# the plugins and the man page (it needs cmake, g++ and Highway's headers,
# libhwy-dev); `make test` builds the tests too. `make demo`, `make test` and
# `make bench` first install what they need when it is missing (Debian, as
# root): each only its own group of tools/install-deps.sh.
BUILD      ?= build
BUILD_SAN  ?= build-sanitize
BUILD_A64  ?= build-aarch64
JOBS       ?= $(shell nproc)
GENERATOR  := $(if $(shell command -v ninja),-G Ninja,)

PREFIX     ?= /usr/local

.PHONY: all build deps deps-build deps-demo deps-test deps-bench test test-sanitize test-aarch64 \
        demo bench fuzz clean install uninstall package

all: build

deps-build deps-demo deps-test deps-bench:
	@sh tools/install-deps.sh $(@:deps-%=%)
# Everything any target needs.
deps: deps-test deps-bench

$(BUILD)/build.ninja $(BUILD)/Makefile:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD)/$(if $(GENERATOR),build.ninja,Makefile)
	cmake --build $(BUILD) -j $(JOBS) --target vantrel_products

test: deps-test
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

test-sanitize: deps-test
	cmake -S . -B $(BUILD_SAN) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_SANITIZE=ON
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure --no-tests=error -j $(JOBS)

# PREFIX= and DESTDIR= choose where. Uninstall removes what the last install
# wrote, and the folders it created once they are empty, wherever it went
# (give the same DESTDIR or none). The record is kept beside this Makefile,
# where `make clean` leaves it.
INSTALLED = installed-files.txt
install: build
	@DESTDIR="$(DESTDIR)" sh tools/install.sh $(BUILD) "$(PREFIX)" $(INSTALLED)

uninstall:
	@DESTDIR="$(DESTDIR)" sh tools/uninstall.sh $(INSTALLED)

# A .deb of the same files (installs under /usr).
package: build
	cd $(BUILD) && cpack -G DEB

# The engine, its tests and checkasm built for 64-bit ARM and run under qemu.
test-aarch64: deps-test
	cmake -S . -B $(BUILD_A64) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64.cmake -DVANTREL_ENGINE_ONLY=ON
	cmake --build $(BUILD_A64) -j $(JOBS)
	cd $(BUILD_A64) && ctest --output-on-failure --no-tests=error -j $(JOBS)

demo: deps-demo build
	@sh tools/demo.sh $(BUILD)

bench: deps-bench
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVANTREL_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)
	@sh bench/run.sh $(BUILD)

# libFuzzer targets under ASan and UBSan (needs clang: apt-get install clang
# libclang-rt-dev). FUZZ_SECONDS per target; FUZZ_TARGETS to pick some.
BUILD_FUZZ   ?= build-fuzz
FUZZ_SECONDS ?= 300
FUZZ_TARGETS ?= y4m_reader raw_reader engine filter
fuzz:
	@command -v clang++ >/dev/null 2>&1 || { echo "make fuzz needs clang++ (apt-get install clang libclang-rt-dev)" >&2; exit 1; }
	cmake -S . -B $(BUILD_FUZZ) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DVANTREL_SANITIZE=ON -DVANTREL_FUZZ=ON -DVANTREL_TESTS=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS)
	sh fuzz/run.sh $(BUILD_FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_A64)

# 64-bit Windows, cross-built with MinGW-w64 and statically linked:
# build-windows/vantrel.exe, vantrel.dll (AviSynth+, through its C interface)
# and vantrel-vs.dll (VapourSynth). test-windows runs the suites under Wine
# and compares vantrel.exe's bytes with the Linux tool's.
BUILD_WIN  ?= build-windows
WINE       ?= $(shell command -v wine || echo /usr/lib/wine/wine64)
WINESERVER ?= $(shell command -v wineserver || echo /usr/lib/wine/wineserver)
WIN_PREFIX := $(abspath $(BUILD_WIN))/wineprefix
WIN_CONFIG := cmake -S . -B $(BUILD_WIN) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
              -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake -DVANTREL_WINE=$(WINE)

.PHONY: windows test-windows package-windows clean-windows

windows:
	$(WIN_CONFIG)
	cmake --build $(BUILD_WIN) -j $(JOBS) --target vantrel_cli_tool vantrel_avs_c vantrel_vs

test-windows: deps build
	$(WIN_CONFIG) -DVANTREL_TESTS=ON -DVANTREL_REFERENCE_TOOL=$(abspath $(BUILD))/vantrel
	cmake --build $(BUILD_WIN) -j $(JOBS)
	@# One prefix, made once, before tests run side by side; no Wine process
	@# is left behind, whatever the result.
	WINEPREFIX=$(WIN_PREFIX) WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= $(WINE) wineboot --init
	cd $(BUILD_WIN) && ctest --output-on-failure --no-tests=error -j $(JOBS); \
	  status=$$?; WINEPREFIX=$(WIN_PREFIX) $(WINESERVER) -w; exit $$status

# build-windows/vantrel-VERSION-win64.zip: the three binaries and a README.
package-windows: windows
	cmake --build $(BUILD_WIN) --target package_windows

clean-windows:
	rm -rf $(BUILD_WIN)
clean: clean-windows
