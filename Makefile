# SPDX-License-Identifier: Apache-2.0
# Thin wrapper over the CMake presets. `make test` and `make demo` are the two README commands.
.PHONY: demo test sanitize tsan bench fuzz integration coverage lint docs package abi-check abi-baseline deps clean

# An optimised build of the library and the tool alone (no tests), run on the bundled sample data.
# Each target asks .ci/deps only for the Debian packages it needs.
demo:
	@.ci/deps build
	tools/demo.sh

test:
	@.ci/deps test
	cmake --preset debug
	cmake --build --preset debug
	ctest --preset debug

sanitize:
	@.ci/deps test
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

tsan:
	@.ci/deps test
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

bench:
	@.ci/deps bench
	cmake --preset release
	cmake --build --preset release
	bench/run.sh build/release

fuzz:
	@.ci/deps fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz

# The SQL expressions of qelkit-agg --sql checked on PostgreSQL, ClickHouse and DuckDB.
integration:
	@.ci/deps integration
	tests/integration/run.sh

# The API reference, generated from the header comments.
docs:
	@.ci/deps build
	cmake --preset dist
	cmake --build --preset dist --target docs

# Line and branch coverage of the library and the tool over the ctest run, in build/coverage;
# the report per file is build/coverage/html/index.html. The exported-symbols check is left out:
# a --coverage library also exports gcov's own symbols.
coverage:
	@.ci/deps test gcovr
	cmake --preset coverage
	cmake --build --preset coverage
	find build/coverage -name '*.gcda' -delete
	ctest --preset coverage
	mkdir -p build/coverage/html
	gcovr --root . --object-directory build/coverage --exclude-directories '.*/CompilerIdCXX' \
	  --filter qelkit/ --filter tools/ --exclude-throw-branches --exclude-unreachable-branches \
	  --html-details build/coverage/html/index.html --txt build/coverage/coverage.txt \
	  --print-summary

# Licence lines, clang-format and clang-tidy (.ci/lint).
lint:
	@.ci/deps lint
	.ci/lint

# A Debian package of the library, headers, CMake package, pkg-config file and the tool, built
# for /usr (library in the multiarch directory), then checked by lintian: any error fails.
package: deps
	cmake --preset package
	cmake --build --preset package
	cd build/package && cpack -G DEB
	lintian --fail-on error build/package/qelkit_*.deb

# The shared library's binary interface against abi/libqelkit.abi (debug build: it needs the
# debug information; the tool is built too because the check installs the whole project).
# Added interfaces pass; removed or changed ones fail.
abi-check:
	@.ci/deps abi
	cmake --preset debug
	cmake --build --preset debug --target qelkit qelkit-agg
	abi/abi.sh check build/debug

# Rewrites abi/libqelkit.abi from the current sources, for a release that changes the SONAME or
# once a set of additions is final.
abi-baseline:
	@.ci/deps abi
	cmake --preset debug
	cmake --build --preset debug --target qelkit qelkit-agg
	abi/abi.sh baseline build/debug

# Every Debian package any target needs (CI's set).
deps:
	@.ci/deps ci

clean:
	rm -rf build
