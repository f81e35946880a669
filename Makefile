# healthgauge - the everyday commands. Each installs what it needs first.
#
#   make          build build/healthgauge
#   make demo     run the tool on the sample screenshots in examples/
#   make test     build plainly and with sanitizers, run every test
#   make bench    the fast decode against the whole decode, in figures
#   make fuzz     fuzz the reading of a screenshot for FUZZ_SECONDS (600)
#   make examples regenerate the sample screenshots

JOBS := $(shell nproc)

.PHONY: all deps build demo test bench fuzz examples clean

FUZZ_SECONDS ?= 600

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

bench: deps
	@scripts/bench

fuzz: deps
	@scripts/fuzz $(FUZZ_SECONDS)

examples: build
	@build/tests/make_examples examples

clean:
	rm -rf build build-sanitize build-full build-fuzz
