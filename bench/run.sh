#!/usr/bin/env bash
# Builds Durvane in release mode, makes the benchmark workloads and prints one table: per
# workload the median wall time of durvane over several runs, the median wall time of the floor
# (the same bytes moved by cat and cp) measured in the same runs, their ratio, and durvane's
# peak memory against its inputs plus outputs. The floor (cat, cp) leaves its output in the
# system's cache, as `durvane --no-sync` does; the default durvane flushes every file to disk
# before renaming it into place, so its rows ("synced") are measured against the floor followed
# by a flush to disk of what the floor wrote (`sync FILE`).
#   RUNS=N   runs per measurement (default 5)
#   SEED=N   workload seed (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${RUNS:-5}
seed=${SEED:-1}
build=$root/bench/build-release
work=$root/bench/work

bash scripts/setup.sh
# -O2 rather than CMake's -O3: GCC 12 raises false -Wrestrict alarms in std::string at -O3.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DDURVANE_BUILD_GUI=OFF -DDURVANE_BUILD_TESTS=OFF >/dev/null
if ! cmake --build "$build" -j2 >"$build/build.log" 2>&1; then
  tail -40 "$build/build.log" >&2
  exit 1
fi
durvane=$build/bin/durvane

# Workloads are made once per seed and kept (git-ignores bench/work/).
mkdir -p "$work"
if [ "$(cat "$work/seed" 2>/dev/null)" != "$seed" ]; then
  rm -rf "${work:?}"/*
  for w in w1 w2 w3; do "$build/bin/make-workload" --seed "$seed" "$w" "$work/in" >/dev/null; done
  echo "$seed" >"$work/seed"
fi
in=$work/in
scratch=$work/scratch
rm -rf "$scratch"
mkdir -p "$scratch"

now() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
bytes() { du -cb "$@" | tail -1 | cut -f1; }
seconds() { awk -v ns="$1" 'BEGIN {printf "%.3f", ns / 1e9}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }


# time_run OUT_VAR MEM_VAR CMD...: wall time in ns of one run, and its peak memory in KB.
time_run() {
  local -n t_out=$1 m_out=$2
  shift 2
  local t0 t1
  t0=$(now)
  /usr/bin/time -f %M -o "$scratch/mem" "$@" >/dev/null
  t1=$(now)
  t_out=$((t1 - t0))
  m_out=$(cat "$scratch/mem")
}

# time_floor OUT_VAR SYNCED_OUT_VAR FILE CMD...: wall time in ns of CMD, and of CMD followed by a
# flush to disk of FILE..., the files CMD wrote (FILE is a space-separated list).
time_floor() {
  local -n f_out=$1 fs_out=$2
  local written=$3
  shift 3
  local t0 t1 t2
  t0=$(now)
  "$@"
  t1=$(now)
  # shellcheck disable=SC2086
  sync $written
  t2=$(now)
  f_out=$((t1 - t0))
  fs_out=$((t2 - t0))
}

rows=()
add_row() {  # name durvane_ns floor_ns target peak_kb in_out_bytes
  local mem_ratio
  mem_ratio=$(awk -v kb="$5" -v b="$6" 'BEGIN {printf "%.2f", kb * 1024 / b}')
  rows+=("$(printf '%-14s %9s %8s %6s %7s %8s %7s' "$1" "$(seconds "$2")" "$(seconds "$3")" \
    "$(ratio "$2" "$3")" "$4" "$(($5 / 1024))" "$mem_ratio")")
}
med() { printf '%s\n' "$@" | median; }
most() { printf '%s\n' "$@" | sort -n | tail -1; }

# W1: one large conversion. Floor: read the input, write a file as large as all the output.
"$durvane" convert -o "$scratch" "$in/w1.opt" >/dev/null
cat "$scratch"/w1/* >"$scratch/w1_all.out"
w1_io=$(($(bytes "$in/w1.opt") + $(bytes "$scratch"/w1/*)))
d=() ds=() f=() fs=() m=() ms=()
for ((r = 0; r < runs; r++)); do
  for mode in --no-sync synced; do
    rm -rf "$scratch/w1"
    sync
    if [ "$mode" = synced ]; then
      time_run t mem "$durvane" convert -o "$scratch" "$in/w1.opt"
      ds+=("$t") ms+=("$mem")
    else
      time_run t mem "$durvane" convert --no-sync -o "$scratch" "$in/w1.opt"
      d+=("$t") m+=("$mem")
    fi
  done
  rm -f "$scratch/w1_floor.out"
  sync
  time_floor t ts "$scratch/w1_floor.out" \
    eval 'cat "$in/w1.opt" >/dev/null && cp "$scratch/w1_all.out" "$scratch/w1_floor.out"'
  f+=("$t") fs+=("$ts")
done
add_row W1 "$(med "${d[@]}")" "$(med "${f[@]}")" 2.00 "$(most "${m[@]}")" "$w1_io"
add_row "W1 synced" "$(med "${ds[@]}")" "$(med "${fs[@]}")" "" "$(most "${ms[@]}")" "$w1_io"
rm -rf "$scratch/w1" "$scratch/w1_floor.out" "$scratch/w1_all.out"

# W2: two PRJ files of W1's size, merged. Floor: cat FIRST SECOND > OUT. Since the merge
# replaces FIRST, whose old blocks the file system must then free, the table also shows a floor
# that replaces FIRST too: cat FIRST SECOND > OUT && mv OUT FIRST.
mkdir -p "$scratch/w2"
"$durvane" convert -o "$scratch/w2" "$in/w2_first.opt" "$in/w2_second.opt" >/dev/null
first=$scratch/w2/w2_first/w2_first.prj
second=$scratch/w2/w2_second/w2_second.prj
cp "$first" "$scratch/w2/pristine.prj"
w2_io=$(($(bytes "$first") + $(bytes "$second") + $(bytes "$first") + $(bytes "$second")))
d=() ds=() f=() fs=() fr=() m=() ms=()
for ((r = 0; r < runs; r++)); do
  for mode in --no-sync synced; do
    cp "$scratch/w2/pristine.prj" "$first"
    sync
    if [ "$mode" = synced ]; then
      time_run t mem "$durvane" merge "$first" "$second"
      ds+=("$t") ms+=("$mem")
    else
      time_run t mem "$durvane" merge --no-sync "$first" "$second"
      d+=("$t") m+=("$mem")
    fi
  done
  rm -f "$scratch/w2/floor.out"
  sync
  time_floor t ts "$scratch/w2/floor.out" \
    eval 'cat "$scratch/w2/pristine.prj" "$second" >"$scratch/w2/floor.out"'
  f+=("$t") fs+=("$ts")
  cp "$scratch/w2/pristine.prj" "$first"
  rm -f "$scratch/w2/floor.out"
  sync
  time_floor t ts "$first" \
    eval 'cat "$scratch/w2/pristine.prj" "$second" >"$scratch/w2/floor.out" &&
      mv "$scratch/w2/floor.out" "$first"'
  fr+=("$t")
done
add_row W2 "$(med "${d[@]}")" "$(med "${f[@]}")" 2.00 "$(most "${m[@]}")" "$w2_io"
add_row "W2 vs mv" "$(med "${d[@]}")" "$(med "${fr[@]}")" "" "$(most "${m[@]}")" "$w2_io"
add_row "W2 synced" "$(med "${ds[@]}")" "$(med "${fs[@]}")" "" "$(most "${ms[@]}")" "$w2_io"
rm -rf "$scratch/w2"

# W3: 16 conversions in one call, with -j 1 and -j 2. Floor: the W1 floor for every file.
w3_inputs=("$in"/w3_*.opt)
"$durvane" convert -o "$scratch" "${w3_inputs[@]}" >/dev/null
for opt in "${w3_inputs[@]}"; do
  base=$(basename "$opt" .opt)
  cat "$scratch/$base"/* >"$scratch/$base.all"
done
w3_io=$(($(bytes "${w3_inputs[@]}") + $(bytes "$scratch"/w3_*.all)))
w3_floor() {
  for opt in "${w3_inputs[@]}"; do
    base=$(basename "$opt" .opt)
    cat "$opt" >/dev/null
    cp "$scratch/$base.all" "$scratch/$base.floor"
  done
}
declare -A w3_t w3_m w3_med
f=() fs=()
for ((r = 0; r < runs; r++)); do
  for mode in --no-sync synced; do
    for jobs in 1 2; do
      rm -rf "$scratch"/w3_*/
      sync
      if [ "$mode" = synced ]; then
        time_run t mem "$durvane" convert -j "$jobs" -o "$scratch" "${w3_inputs[@]}"
      else
        time_run t mem "$durvane" convert --no-sync -j "$jobs" -o "$scratch" "${w3_inputs[@]}"
      fi
      w3_t[$mode$jobs]+=" $t" w3_m[$mode$jobs]+=" $mem"
    done
  done
  rm -f "$scratch"/*.floor
  sync
  time_floor t ts "$(echo "$scratch"/w3_*.all | sed 's/\.all/.floor/g')" w3_floor
  f+=("$t") fs+=("$ts")
done
for mode in --no-sync synced; do
  for jobs in 1 2; do
    # shellcheck disable=SC2086
    w3_med[$mode$jobs]=$(med ${w3_t[$mode$jobs]})
  done
done
w3_f=$(med "${f[@]}")
w3_fs=$(med "${fs[@]}")
# shellcheck disable=SC2086
add_row "W3 -j 1" "${w3_med[--no-sync1]}" "$w3_f" "" "$(most ${w3_m[--no-sync1]})" "$w3_io"
# shellcheck disable=SC2086
add_row "W3 -j 2" "${w3_med[--no-sync2]}" "$w3_f" "" "$(most ${w3_m[--no-sync2]})" "$w3_io"
# shellcheck disable=SC2086
add_row "W3 synced -j 1" "${w3_med[synced1]}" "$w3_fs" "" "$(most ${w3_m[synced1]})" "$w3_io"
# shellcheck disable=SC2086
add_row "W3 synced -j 2" "${w3_med[synced2]}" "$w3_fs" "" "$(most ${w3_m[synced2]})" "$w3_io"
rm -rf "$scratch"

echo "durvane: --no-sync, against the floor; synced: durvane's default, against the floor + sync;"
echo "W2 vs mv: against the floor that also replaces FIRST (cat FIRST SECOND > OUT && mv OUT FIRST)"
printf '%-14s %9s %8s %6s %7s %8s %7s\n' workload durvane floor ratio target peak_MB mem/io
for row in "${rows[@]}"; do echo "$row"; done
printf '%-14s %24s %6s %7s\n' "W3 -j 2 / -j 1" "" \
  "$(ratio "${w3_med[--no-sync2]}" "${w3_med[--no-sync1]}")" 0.65
printf '%-14s %24s %6s\n' "  synced" "" "$(ratio "${w3_med[synced2]}" "${w3_med[synced1]}")"
echo "(seconds, medians of $runs runs; mem/io: peak memory over inputs plus outputs; target:" \
  "the largest ratio allowed; load: $(cut -d' ' -f1-3 /proc/loadavg))"
