# The commands of the README, and the steps they stand on.
BUILD := build
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
XVFB := xvfb-run -a -s "-screen 0 1024x768x24"

.PHONY: deps build test run pictures bench dist

# Beyond the compiler, CMake and Wine: stb's PNG writer for the screenshots,
# zip for the release and unzip for its test.
deps:
	@sh scripts/install-deps.sh libstb-dev zip unzip

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j2

# Every test runs under Wine on a virtual display; the Wine servers are
# stopped afterwards so that no test run inherits another's.
test: build
	$(XVFB) sh -c 'ctest --test-dir $(BUILD) --output-on-failure -j2; status=$$?; \
		sh tests/tools/stop-wine.sh $(BUILD)/wine; exit $$status'

# The program under Wine with the emulated port and punch: on a virtual
# display with a scripted session when there is no display. FILE=path sends
# that file in a scripted session; the tape and the handshake's timing, drawn
# from the run, land in build/run/.
run: build
	sh scripts/run.sh "$(FILE)"

# Every picture in docs/, drawn afresh from the real program.
pictures: build
	sh scripts/pictures.sh

# Times the real program through the emulated punch; not part of `make test`.
bench: build
	$(XVFB) sh -c 'TAPELARK_WINE_DIR=$(CURDIR)/$(BUILD)/wine sh tests/tools/wine-run.sh \
		$(BUILD)/tests/bench.exe; status=$$?; sh tests/tools/stop-wine.sh $(BUILD)/wine; exit $$status'

# The release: build/dist/tapelark-VERSION-win32.zip.
dist: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j2 --target dist
