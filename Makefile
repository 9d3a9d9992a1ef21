# The two commands: `make run` builds and starts the game box; `make test` builds and passes
# every test, then does it again in a sanitizer build.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test build build-asan setup clean format

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

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf build build-asan
