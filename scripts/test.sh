#!/usr/bin/env bash
# Sets up, builds and runs every test: once in the normal build, once more under
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
bash scripts/setup.sh
# The same flags as scripts/sample.sh, whose objects are reused; everything else switched on.
cmake -S . -B build -G Ninja -DDURVANE_WERROR=ON -DDURVANE_BUILD_TESTS=ON \
  -DDURVANE_BUILD_BENCH=ON -DDURVANE_BUILD_GUI=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure
cmake -S . -B build-asan -G Ninja -DDURVANE_WERROR=ON -DDURVANE_SANITIZE=ON -DDURVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure
