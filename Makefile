# The project's commands. Each one installs what the build needs first.
BUILD_TEST  := build/test
BUILD_BENCH := build/bench
CMAKE_GEN   := -G Ninja

.PHONY: all test bench bootstrap format clean

all: test

bootstrap:
	@bash scripts/bootstrap

# Unit tests, always under AddressSanitizer and UndefinedBehaviorSanitizer.
test: bootstrap
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE= -DVANTOR_SANITIZE=ON -DVANTOR_TESTS=ON
	cmake --build $(BUILD_TEST)
	cd $(BUILD_TEST) && ctest --output-on-failure -j2

# Benchmarks, in an optimised build.
bench: bootstrap
	cmake -S . -B $(BUILD_BENCH) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=ON
	cmake --build $(BUILD_BENCH)
	@for b in $(BUILD_BENCH)/bench/*_bench; do echo "== $$b"; "$$b" || exit 1; done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
