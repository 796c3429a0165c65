#!/usr/bin/env bash
# Builds everything but the benchmarks with clang++ in build-clang/, warnings as errors, so
# that the code stays warning-free with both compilers. TESTS=1 also runs the tests there.
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
CXX=clang++ cmake -S . -B build-clang -G Ninja -DDURVANE_WERROR=ON -DDURVANE_BUILD_BENCH=OFF \
  >/dev/null
cmake --build build-clang
if [[ "${TESTS:-0}" == 1 ]]; then ctest --test-dir build-clang --output-on-failure; fi
