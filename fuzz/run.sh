#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang++, ASan, UBSan) and runs each for a bounded
# time from a copy of its seed corpus. Fails on the first finding; the offending input is left
# in build-fuzz/findings/. FUZZ_SECONDS sets the time per target (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
build=build-fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDURVANE_BUILD_FUZZ=ON -DDURVANE_SANITIZE=ON -DDURVANE_WERROR=ON \
  -DDURVANE_BUILD_TESTS=OFF -DDURVANE_BUILD_GUI=OFF -DDURVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-2}"

# target:corpus folders under fuzz/corpus, separated by commas
targets=(convert_fuzzer:convert info_fuzzer:convert,prj,info merge_fuzzer:merge render_fuzzer:prj
  file_fuzzer:file)

mkdir -p "$build/findings"
for entry in "${targets[@]}"; do
  target="${entry%%:*}"
  corpora="${entry##*:}"
  work="$build/corpus/$target"
  rm -rf "$work"
  mkdir -p "$work"
  for corpus in ${corpora//,/ }; do cp fuzz/corpus/"$corpus"/* "$work"/; done
  log="$build/$target.log"
  echo "fuzz: $target for ${seconds}s"
  if ! "$build/bin/$target" "$work" -dict=fuzz/durvane.dict -max_total_time="$seconds" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$target-" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz: $target found a fault; input saved under $build/findings/" >&2
    exit 1
  fi
  grep -E '^Done ' "$log" | sed "s/^/fuzz: $target: /"
done
