#!/usr/bin/env bash
# Sets up, builds, and converts the bundled sample into ./out, listing what it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
mkdir -p out
./build/bin/durvane convert -o out examples/sample.opt
