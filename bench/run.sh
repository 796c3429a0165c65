#!/usr/bin/env bash
# Builds Durvane in release mode, makes the benchmark workloads and prints one table: per
# workload the median wall time of durvane over several runs, the median wall time of the floor
# (the same bytes moved by cat and cp) measured in the same runs, their ratio, and durvane's
# peak memory against its inputs plus outputs. Since durvane flushes every file it writes to
# disk before renaming it into place, the table also shows the floor followed by a flush to
# disk of what it wrote (`sync FILE`), and durvane's ratio to that.
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

rows=()
add_row() {  # name durvane_ns floor_ns synced_floor_ns peak_kb in_out_bytes
  local mem_ratio
  mem_ratio=$(awk -v kb="$5" -v b="$6" 'BEGIN {printf "%.2f", kb * 1024 / b}')
  rows+=("$(printf '%-8s %9s %8s %6s %10s %6s %8s %7s' "$1" "$(seconds "$2")" "$(seconds "$3")" \
    "$(ratio "$2" "$3")" "$(seconds "$4")" "$(ratio "$2" "$4")" "$(($5 / 1024))" "$mem_ratio")")
}
med() { printf '%s\n' "$@" | median; }
most() { printf '%s\n' "$@" | sort -n | tail -1; }

# W1: one large conversion. Floor: read the input, write a file as large as all the output.
"$durvane" convert -o "$scratch" "$in/w1.opt" >/dev/null
cat "$scratch"/w1/* >"$scratch/w1_all.out"
w1_io=$(($(bytes "$in/w1.opt") + $(bytes "$scratch"/w1/*)))
rm -rf "$scratch/w1"
d=() f=() fs=() m=()
for ((r = 0; r < runs; r++)); do
  rm -rf "$scratch/w1" "$scratch/w1_floor.out"
  sync
  time_run t mem "$durvane" convert -o "$scratch" "$in/w1.opt"
  d+=("$t") m+=("$mem")
  sync
  t0=$(now)
  cat "$in/w1.opt" >/dev/null
  cp "$scratch/w1_all.out" "$scratch/w1_floor.out"
  t1=$(now)
  sync "$scratch/w1_floor.out"
  t2=$(now)
  f+=($((t1 - t0))) fs+=($((t2 - t0)))
done
add_row W1 "$(med "${d[@]}")" "$(med "${f[@]}")" "$(med "${fs[@]}")" "$(most "${m[@]}")" "$w1_io"
rm -rf "$scratch/w1" "$scratch/w1_floor.out" "$scratch/w1_all.out"

# W2: two PRJ files of W1's size, merged. Floor: cat FIRST SECOND > OUT.
if "$durvane" merge --help >/dev/null 2>&1; then
  mkdir -p "$scratch/w2"
  "$durvane" convert -o "$scratch/w2" "$in/w2_first.opt" "$in/w2_second.opt" >/dev/null
  first=$scratch/w2/w2_first/w2_first.prj
  second=$scratch/w2/w2_second/w2_second.prj
  cp "$first" "$scratch/w2/pristine.prj"
  w2_io=$(($(bytes "$first") + $(bytes "$second") + $(bytes "$first") + $(bytes "$second")))
  d=() f=() fs=() m=()
  for ((r = 0; r < runs; r++)); do
    cp "$scratch/w2/pristine.prj" "$first"
    rm -f "$scratch/w2/floor.out"
    sync
    time_run t mem "$durvane" merge "$first" "$second"
    d+=("$t") m+=("$mem")
    sync
    t0=$(now)
    cat "$scratch/w2/pristine.prj" "$second" >"$scratch/w2/floor.out"
    t1=$(now)
    sync "$scratch/w2/floor.out"
    t2=$(now)
    f+=($((t1 - t0))) fs+=($((t2 - t0)))
  done
  add_row W2 "$(med "${d[@]}")" "$(med "${f[@]}")" "$(med "${fs[@]}")" "$(most "${m[@]}")" "$w2_io"
  rm -rf "$scratch/w2"
else
  rows+=("$(printf '%-8s %s' W2 '(no merge command in this build)')")
fi

# W3: 16 conversions in one call, with -j 1 and -j 2. Floor: the W1 floor for every file.
w3_inputs=("$in"/w3_*.opt)
"$durvane" convert -o "$scratch" "${w3_inputs[@]}" >/dev/null
for opt in "${w3_inputs[@]}"; do
  base=$(basename "$opt" .opt)
  cat "$scratch/$base"/* >"$scratch/$base.all"
done
w3_io=$(($(bytes "${w3_inputs[@]}") + $(bytes "$scratch"/w3_*.all)))
d1=() d2=() f=() fs=() m1=() m2=()
for ((r = 0; r < runs; r++)); do
  for jobs in 1 2; do
    rm -rf "$scratch"/w3_*/
    sync
    time_run t mem "$durvane" convert -j "$jobs" -o "$scratch" "${w3_inputs[@]}"
    if [ "$jobs" = 1 ]; then d1+=("$t") m1+=("$mem"); else d2+=("$t") m2+=("$mem"); fi
  done
  rm -f "$scratch"/*.floor
  sync
  t0=$(now)
  for opt in "${w3_inputs[@]}"; do
    base=$(basename "$opt" .opt)
    cat "$opt" >/dev/null
    cp "$scratch/$base.all" "$scratch/$base.floor"
  done
  t1=$(now)
  sync "$scratch"/*.floor
  t2=$(now)
  f+=($((t1 - t0))) fs+=($((t2 - t0)))
done
w3_j1=$(med "${d1[@]}")
w3_j2=$(med "${d2[@]}")
add_row "W3 -j 1" "$w3_j1" "$(med "${f[@]}")" "$(med "${fs[@]}")" "$(most "${m1[@]}")" "$w3_io"
add_row "W3 -j 2" "$w3_j2" "$(med "${f[@]}")" "$(med "${fs[@]}")" "$(most "${m2[@]}")" "$w3_io"
rm -rf "$scratch"

printf '%-8s %9s %8s %6s %10s %6s %8s %7s\n' workload durvane floor ratio floor+sync ratio peak_MB mem/io
for row in "${rows[@]}"; do echo "$row"; done
echo "W3 -j 2 / -j 1: $(ratio "$w3_j2" "$w3_j1")"
echo "(seconds, medians of $runs runs; mem/io: peak memory over inputs plus outputs; load: $(cut -d' ' -f1-3 /proc/loadavg))"
