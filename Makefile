# Thin wrapper over the CMake presets. `make test` and `make demo` are the two README commands.
.PHONY: test sanitize tsan bench fuzz deps clean

test: deps
	cmake --preset debug
	cmake --build --preset debug
	ctest --preset debug

sanitize: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

bench: deps
	cmake --preset release
	cmake --build --preset release
	bench/run.sh build/release

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

deps:
	@.ci/deps

clean:
	rm -rf build
