# The two commands: `make run` builds and starts the game box; `make test` builds and passes
# every test, then does it again in a sanitizer build.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# make fuzz runs every fuzz target for FUZZ_SECONDS each; make test runs each for a few seconds.
FUZZ_SECONDS ?= 60

.PHONY: run test build build-asan fuzz setup clean format

run:
	@tools/setup.sh run
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS) --target gamebox
	@./build/gamebox

build:
	@tools/setup.sh test
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j $(JOBS)

build-asan:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DGAMEBOX_SANITIZE=ON -DGAMEBOX_BENCH=OFF
	cmake --build build-asan -j $(JOBS)

test: build build-asan
	cd build && ctest --output-on-failure -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)
	JOBS=$(JOBS) fuzz/run.sh 5

fuzz:
	@tools/setup.sh test
	JOBS=$(JOBS) fuzz/run.sh $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf build build-asan build-fuzz
