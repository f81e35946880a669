# healthgauge - the everyday commands. Each installs what it needs first.
#
#   make          build build/healthgauge
#   make demo     run the tool on the sample screenshots in examples/
#   make test     build plainly and with sanitizers, run every test
#   make examples regenerate the sample screenshots

JOBS := $(shell nproc)

.PHONY: all deps build demo test examples clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	@cmake --build build -j $(JOBS) -- --no-print-directory

demo: build
	@scripts/demo build/healthgauge

test: deps
	@scripts/run-tests

examples: build
	@build/tests/make_examples examples

clean:
	rm -rf build build-sanitize
