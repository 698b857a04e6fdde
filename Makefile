# Two commands do all the set-up on a fresh Debian 12 machine: `make run` and `make test`.
PRESET ?= dev
BUILD := build/$(PRESET)

.PHONY: all deps build run test pot tsan fuzz-build fuzz-smoke fuzz package bench windows-test windows-app \
	windows-installer windows-smoke clean

all: build

deps:
	scripts/install-deps

# DEPS= leaves out the installer step (scripts/install-deps), for a machine that has the libraries
# or no apt. What is built stays the preset's: `make build DEPS=` builds the dev preset, a Debug build
# with AddressSanitizer for working on the program; a packager wants `make package DEPS=` (or
# `cmake --preset package`, release programs only).
DEPS ?= deps

build: $(DEPS)
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

run: build
	scripts/run

test: build
	ctest --preset $(PRESET)

# po/ostravel.pot from the sources again, after a marked text changed (then msgmerge each po/*.po).
pot: $(DEPS)
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) --target pot

tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

# libFuzzer harnesses (clang, ASan + UBSan): fuzz-smoke runs each for 30 s over its seed corpus,
# fuzz for FUZZ_SECONDS each.
FUZZ_SECONDS ?= 600

fuzz-build: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

fuzz-smoke: fuzz-build
	scripts/fuzz 30

fuzz: fuzz-build
	scripts/fuzz $(FUZZ_SECONDS)

# Debian packages (ostravel and ostravel-hostsim) into build/package/.
package: $(DEPS)
	cmake --preset package
	cmake --build --preset package
	cd build/package && cpack
	@ls -1 build/package/*.deb

# Every benchmark of bench/ on the release build (its own preset), one table of figures and ratios.
bench: $(DEPS)
	bench/run

# The core and its tests cross-built for Windows (mingw-w64) into build/windows, run under wine64
# (SQLite built once per machine into ~/.cache/ostravel/windows, from Debian's sources).
windows-test: deps
	scripts/windows-test

# The Windows program (wxMSW and SQLite built once per machine into ~/.cache/ostravel/windows, from
# Debian's sources): windows-app builds build/windows-app/ostravel.exe and ostravel-ctl.exe,
# windows-smoke also installs them from the MSI under Wine and tries them against the host stand-in.
windows-app: deps
	scripts/windows-smoke --build

# The Windows installer (an MSI for one user, made with wixl): build/windows-app/ostravel-VERSION.msi.
windows-installer: deps
	scripts/windows-smoke --installer

windows-smoke: deps
	scripts/windows-smoke

clean:
	rm -rf build
