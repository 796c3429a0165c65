#!/usr/bin/env bash
# Sets up what building the command-line tool needs, builds only the tool, and converts the
# bundled sample into ./out, listing what it wrote. scripts/test.sh reuses this build: it
# configures build/ with the same compiler flags and adds the tests, benchmarks and window.
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
bash scripts/setup.sh build
cmake -S . -B build -G Ninja -DDURVANE_WERROR=ON -DDURVANE_BUILD_TESTS=OFF \
  -DDURVANE_BUILD_BENCH=OFF -DDURVANE_BUILD_GUI=OFF >/dev/null
cmake --build build --target durvane
mkdir -p out
./build/bin/durvane convert -o out examples/sample.opt
