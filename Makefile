# The two commands: `make run` builds and starts the game box; `make test` builds and passes
# every test, then does it again in a sanitizer build.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# make fuzz runs every fuzz target for FUZZ_SECONDS each; make test runs each for a few seconds.
FUZZ_SECONDS ?= 60

.PHONY: run test build build-asan bench windows windows-if-available web web-if-available fuzz setup \
  clean format screenshots

run:
	@tools/setup.sh run
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS) --target gamebox
	@./build/gamebox

# The developer builds: every warning is an error here (a user's build only warns).
build:
	@tools/setup.sh test
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGAMEBOX_WERROR=ON
	cmake --build build -j $(JOBS)

build-asan:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DGAMEBOX_SANITIZE=ON -DGAMEBOX_BENCH=OFF \
	  -DGAMEBOX_WERROR=ON
	cmake --build build-asan -j $(JOBS)

# gamebox.exe for Windows, cross-compiled with mingw-w64 (tested under wine by `make test`).
windows:
	cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build build-win -j $(JOBS)

windows-if-available:
	@if command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then \
	  $(MAKE) --no-print-directory windows; \
	else \
	  echo "No mingw-w64 cross compiler (x86_64-w64-mingw32-g++-posix): the Windows build and its wine test are skipped."; \
	fi

# The site for a browser, build-web/site/ (serve it with any static file server), and the same
# in one file that plays opened from disk, build-web/gamebox.html: the same sources built with
# Debian's emscripten, the terminal (xterm.js) from the npm registry as web/package-lock.json
# pins it, the font cut from Debian's Noto CJK.
WEB_CMAKE_FLAGS ?=
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs$${NODE_PATH:+:$$NODE_PATH}
web:
	@tools/setup.sh web
	@$(MAKE) --no-print-directory web/node_modules/.package-lock.json
	$(EMSCRIPTEN_ENV) emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release $(WEB_CMAKE_FLAGS)
	$(EMSCRIPTEN_ENV) cmake --build build-web -j $(JOBS)

web/node_modules/.package-lock.json: web/package-lock.json
	cd web && npm ci --no-audit --no-fund

# The README's pictures, docs/screenshots/*.png: seeded runs played in the page in headless
# Chromium (tools/screenshots.mjs). Look at them before committing them.
screenshots: web
	$(EMSCRIPTEN_ENV) cmake --build build-web -j $(JOBS) --target bench_pages
	node tools/screenshots.mjs build-web docs/screenshots

# make test builds the site where emscripten is installed (CI installs it); elsewhere the web
# tests report themselves skipped.
web-if-available:
	@if command -v em++ >/dev/null 2>&1; then \
	  $(MAKE) --no-print-directory web WEB_CMAKE_FLAGS=-DGAMEBOX_WERROR=ON; \
	else \
	  echo "No emscripten (em++): the site is not built and its tests are skipped."; \
	fi

test: build build-asan windows-if-available web-if-available
	cd build && ctest --output-on-failure --no-tests=error -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure --no-tests=error -j $(JOBS)
	JOBS=$(JOBS) fuzz/run.sh 5

# Every benchmark in bench/, built and run (the page's too, where emscripten is installed);
# prints the README's performance table.
BENCHES := $(basename $(notdir $(wildcard bench/*_bench.cpp)))
bench:
	@tools/setup.sh run
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS) --target $(BENCHES)
	@if command -v em++ >/dev/null 2>&1; then \
	  $(MAKE) --no-print-directory web && \
	  $(EMSCRIPTEN_ENV) cmake --build build-web -j $(JOBS) --target bench_pages; \
	fi
	@bench/run.sh build

fuzz:
	@tools/setup.sh test
	JOBS=$(JOBS) fuzz/run.sh $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf build build-asan build-win build-fuzz build-web

# build/gamebox_<version>_<arch>.deb, checked by lintian. Built apart in build-deb/ with Debian's
# layout (the program in /usr/games) and its hardening flags, without the tests.
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
.PHONY: deb deb-clean
deb:
	@tools/setup.sh deb
	cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_BINDIR=games \
	  -DGAMEBOX_TESTS=OFF -DGAMEBOX_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	cmake --build build-deb -j $(JOBS)
	rm -f build/gamebox_*.deb
	cpack --config build-deb/CPackConfig.cmake -B build
	lintian --fail-on error build/gamebox_*.deb

clean: deb-clean
deb-clean:
	rm -rf build-deb build/_CPack_Packages build/gamebox_*.deb
