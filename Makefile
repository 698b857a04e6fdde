# Two commands do all the set-up on a fresh Debian 12 machine: `make run` and `make test`.
PRESET ?= dev
BUILD := build/$(PRESET)

.PHONY: all deps build run test tsan clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

run: build
	scripts/run

test: build
	ctest --preset $(PRESET)

tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

clean:
	rm -rf build
