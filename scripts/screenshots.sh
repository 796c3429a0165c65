#!/usr/bin/env bash
# Builds the window and saves its pictures for the README to docs/: each mode, and the status
# line after a conversion. Headless, on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target gui_window_screenshots
QT_QPA_PLATFORM=offscreen ./build/bin/gui_window_screenshots docs
