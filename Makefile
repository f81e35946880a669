# healthgauge - the everyday commands. Each installs what it needs first.
#
#   make          build build/healthgauge
#   make demo     run the tool on the sample screenshots in examples/
#   make test     build plainly and with sanitizers, run every test
#   make windows  cross-build build-windows/healthgauge.exe for Windows
#   make examples regenerate the sample screenshots
#   make icon     redraw source/healthgauge.ico, the Windows program's icon

JOBS := $(shell nproc)

.PHONY: all deps build demo test examples windows icon clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS)

demo: build
	@scripts/demo build/healthgauge

test: deps
	@scripts/run-tests

examples: build
	@build/tests/make_examples examples

windows: deps
	@cmake -S . -B build-windows --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DHEALTHGAUGE_TESTS=OFF >/dev/null
	@cmake --build build-windows -j $(JOBS)

icon: build
	@build/tests/make_icon source/healthgauge.ico

clean:
	rm -rf build build-sanitize build-windows
