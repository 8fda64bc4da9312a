# SPDX-License-Identifier: Apache-2.0
# Thin wrapper over the CMake presets. `make test` and `make demo` are the two README commands.
.PHONY: demo test sanitize tsan bench fuzz integration coverage lint docs package package-test abi-check abi-baseline deps clean

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

# ThreadSanitizer on the tests that run threads (the build and test presets name them).
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
	cmake --preset release
	cmake --build --preset release --target qelkit-agg
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
	@.ci/deps build lint
	.ci/lint

# The Debian packages libqelkit1 (the shared library), libqelkit-dev (headers, CMake package,
# pkg-config file) and qelkit-tools (qelkit-agg and its man page), built for /usr (library in
# the multiarch directory), then checked by lintian: any error or warning fails.
package:
	@.ci/deps package
	cmake --preset package
	cmake --build --preset package
	rm -f build/package/*.deb
	cd build/package && cpack -G DEB
	lintian --fail-on error,warning build/package/libqelkit1_*.deb \
	  build/package/libqelkit-dev_*.deb build/package/qelkit-tools_*.deb

# Installs the three packages (as root), builds a program against them with CMake and with
# pkg-config, runs qelkit-agg, purges them and checks that nothing of them is left.
package-test: package
	tests/install/deb_test.sh build/package

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
