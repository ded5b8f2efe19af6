# The commands of the README, and the steps they stand on.
BUILD := build
MAKEFLAGS += --no-print-directory
# One toolchain file; MINGW_ARCH picks the 32-bit build or its x86-64 twin.
TOOLCHAIN := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DCMAKE_BUILD_TYPE=Release
CMAKE_FLAGS := $(TOOLCHAIN) -DMINGW_ARCH=i686
XVFB := xvfb-run -a -s "-screen 0 1024x768x24"
BUILD_X64 := build-x64
CMAKE_FLAGS_X64 := $(TOOLCHAIN) -DMINGW_ARCH=x86_64
# ctest on a virtual display in build folder $(1), with options $(2); the
# folder's Wine servers are stopped afterwards.
CTEST = $(XVFB) sh -c 'ctest --test-dir $(1) --output-on-failure -j2 $(2); status=$$?; \
	sh devtools/wine/stop-wine.sh $(1)/wine; exit $$status'

.PHONY: deps build wine-build test test-shipped run readback pictures bench dist

# Beyond the compiler, CMake and Wine: stb's PNG writer for the screenshots,
# zip for the release and unzip for its test, rsvg-convert and pngquant for
# the release's pictures; simh, palbart and srecord, against which the
# loader formats are tested; this machine's own C compiler for the emulated
# tape reader.
deps:
	@sh devtools/install-deps.sh libstb-dev zip unzip librsvg2-bin pngquant simh palbart srecord \
		gcc libc6-dev

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j2

# The build whose programs run here under Wine: the real 32-bit one or,
# where this machine cannot run 32-bit code, its x86-64 twin.
WINE_BUILD = $(shell sh devtools/wine/runs-32bit.sh && echo $(BUILD) || echo $(BUILD_X64))
wine-build: build
	@[ "$(WINE_BUILD)" = "$(BUILD)" ] || { \
		echo "This machine cannot run 32-bit code: Wine runs an x86-64 build."; \
		cmake -S . -B $(BUILD_X64) $(CMAKE_FLAGS_X64) && cmake --build $(BUILD_X64) -j2; }

# Every test runs under Wine on a virtual display; the Wine servers are
# stopped afterwards so that no test run inherits another's. With the
# x86-64 twin, the Wine tests (label "wine") run on it, and the checks of
# the shipped 32-bit files on $(BUILD). Then the shipped programs run as a
# user runs them (test-shipped).
test: wine-build
	@if [ "$(WINE_BUILD)" = "$(BUILD)" ]; then \
		$(call CTEST,$(BUILD)); suites=$$?; \
	else \
		$(call CTEST,$(BUILD),-LE wine); shipped=$$?; \
		$(call CTEST,$(BUILD_X64),-L wine); wine=$$?; \
		[ $$shipped -eq 0 ] && [ $$wine -eq 0 ]; suites=$$?; \
	fi; \
	sh devtools/guest/test-shipped.sh; programs=$$?; \
	[ $$suites -eq 0 ] && [ $$programs -eq 0 ]

# The shipped 32-bit programs of $(BUILD), each tool's README commands and
# the program punching two files, under 32-bit Wine: here, or where this
# machine runs no 32-bit code, in an emulated guest kept in ~/.cache.
test-shipped: build
	sh devtools/guest/test-shipped.sh

# The program under Wine with the emulated port and punch: on a virtual
# display with a scripted session when there is no display. FILE=path sends
# that file in a scripted session; PUNCH='portemu options' changes the
# punch. What was sent, each send's tape and the handshake's timing land in
# build/run/.
run: wine-build
	TAPELARK_BUILD=$(CURDIR)/$(WINE_BUILD) sh devtools/run/run.sh "$(FILE)"

# The whole loop without hardware: a PDP-8 program made a tape, punched
# through the emulated punch, read back from the emulated reader with a row
# lost (FAULT='tapereader faults' for others, FAULT='' for none), and the
# fault named. What it made lands in build/readback/.
readback: wine-build
	TAPELARK_BUILD=$(CURDIR)/$(WINE_BUILD) sh devtools/reader/readback.sh

# Every picture in docs/, drawn afresh from the real program.
pictures: wine-build
	TAPELARK_BUILD=$(CURDIR)/$(WINE_BUILD) sh devtools/run/pictures.sh

# Times the real program through the emulated punch; not part of `make test`.
bench: wine-build
	$(XVFB) sh -c 'TAPELARK_WINE_DIR=$(CURDIR)/$(WINE_BUILD)/wine sh devtools/wine/wine-run.sh \
		$(WINE_BUILD)/tests/bench.exe; status=$$?; sh devtools/wine/stop-wine.sh $(WINE_BUILD)/wine; \
		exit $$status'

# The release: build/dist/tapelark-VERSION-win32.zip.
dist: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j2 --target dist
