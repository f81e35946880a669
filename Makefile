# healthgauge - the everyday commands. Each installs what it needs first
# (scripts/install-deps, by tier: make check only what the plain build and its
# tests use; make test everything).
#
#   make          build build/healthgauge
#   make demo     run the tool on the sample screenshots in examples/
#   make check    the quick loop: the plain build, its tests in parallel and
#                 the include check
#   make test     build plainly and with sanitizers, run every test (CI)
#   make tsan     build with ThreadSanitizer, run the unit and end-to-end tests
#   make bench    the fast decode against the whole decode and libpng, one
#                 thread against all, Linux against Wine, start-up and a folder
#                 of 20,000 screenshots, in figures
#   make bench-watch  the watch mode's latency and memory, in figures
#   make bench-windows  the same for healthgauge.exe under Wine, beside Linux
#   make bench-report  what the report mode costs beyond the scan
#   make bench-bombs  time and peak memory of a run on each hostile file
#   make bench-recording  reading a recording against a bare decode by
#                 ffmpeg with the same options, 1080p60 and 1440p60 (also
#                 the last part of make bench)
#   make fuzz     fuzz the reading of a screenshot for FUZZ_SECONDS (600)
#   make windows  cross-build build-windows/healthgauge.exe for Windows
#   make install  install the program, its manual page and documents
#                 under PREFIX (/usr/local)
#   make package  the Debian package build-package/healthgauge_VERSION-1_amd64.deb
#   make windows-zip  the zip for Windows players,
#                 build-windows/healthgauge-VERSION-windows-x64.zip
#   make examples regenerate the sample screenshots
#   make icon     redraw source/healthgauge.ico, the Windows program's icon

JOBS := $(shell nproc)

.PHONY: all deps build demo check test tsan bench bench-watch bench-windows bench-report bench-bombs bench-recording \
        fuzz windows install package windows-zip examples icon clean

FUZZ_SECONDS ?= 600
PREFIX ?= /usr/local

all: build

deps:
	@scripts/install-deps

build:
	@scripts/install-deps build
	@cmake --preset default >/dev/null
	@cmake --build build -j $(JOBS) -- --no-print-directory

demo: build
	@scripts/demo build/healthgauge

check:
	@scripts/install-deps build test
	@scripts/test/check

test: deps
	@scripts/test/run-tests

tsan:
	@scripts/install-deps build test
	@scripts/test/tsan

bench: deps
	@scripts/bench/decode
	@scripts/bench/reader
	@scripts/bench/threads
	@scripts/bench/recording

bench-watch: deps
	@scripts/bench/watch

bench-windows: deps
	@scripts/bench/windows

bench-report: deps
	@scripts/bench/report

bench-bombs: deps
	@scripts/bench/bombs

bench-recording: deps
	@scripts/bench/recording

fuzz:
	@scripts/install-deps build fuzz
	@scripts/test/fuzz $(FUZZ_SECONDS)

install: build
	@cmake --install build --prefix "$(PREFIX)"

package:
	@scripts/install-deps build release
	@scripts/release/build-deb

windows-zip: windows
	@cmake --build build-windows --target windows-zip

examples: build
	@cmake --build build --target make_examples -- --no-print-directory
	@build/tests/make_examples examples

windows:
	@scripts/install-deps build cross
	@cmake --preset windows >/dev/null
	@cmake --build build-windows -j $(JOBS)

icon: build
	@cmake --build build --target make_icon -- --no-print-directory
	@build/tests/make_icon source/healthgauge.ico

clean:
	rm -rf build build-sanitize build-tsan build-full build-zlib build-before build-fuzz build-windows \
	  build-windows-full build-package
