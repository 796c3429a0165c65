#!/usr/bin/env bash
# Builds everything but the benchmarks with clang++ in build-clang/, warnings as errors, so
# that the code stays warning-free with both compilers. First, in the same folder, the render
# tests with the renderer's vector code left out (DURVANE_VECTOR_PATHS=OFF), as processors
# without AVX2 draw: the option reaches only the renderer's dispatch and its tests, so switching
# it rebuilds a few files. TESTS=1 also runs every test of the full build.
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
configure() {
  CXX=clang++ cmake -S . -B build-clang -G Ninja -DDURVANE_WERROR=ON -DDURVANE_BUILD_BENCH=OFF \
    "$@" >/dev/null
}
configure -DDURVANE_VECTOR_PATHS=OFF
cmake --build build-clang --target durvane_render_tests
build-clang/bin/durvane_render_tests --gtest_brief=1
configure -DDURVANE_VECTOR_PATHS=ON
cmake --build build-clang
if [[ "${TESTS:-0}" == 1 ]]; then ctest --test-dir build-clang --output-on-failure; fi
