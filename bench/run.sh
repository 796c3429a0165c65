#!/usr/bin/env bash
# Builds Durvane in release mode, makes the benchmark workloads and prints one table: per
# workload the median wall time of durvane over several runs, the median wall time of its floor
# measured in the same runs (alternating with durvane's), the time the target allows, and
# durvane's peak memory against its inputs plus outputs.
#
# The floor of a workload is what moving its bytes costs: reading the inputs (cat) plus writing
# as many bytes as durvane writes in 4 MiB blocks (dd bs=4M). `durvane --no-sync` leaves its
# output in the system's cache, as that floor does; durvane's default flushes every file to
# disk before renaming it into place, so its rows ("synced") are held against the same write
# with conv=fsync: the target allows 1.2 x the floor plus the flush (synced floor - floor).
#   W1  one large conversion                              target <= 1.3 x floor
#   W2  two PRJ files of W1's size merged                 target <= 1.3 x floor
#   W3  16 small conversions in one call, -j 1 and -j 2   target: -j 2's speed-up over -j 1
#       at least the floor's own: two halves of the floor run side by side against one after
#       the other
#   W4  8 PRJ files of about 25 MB folded into the first by one merge, against the floor
#       `cat` of all 8 into one file (<= 1.3 x) and against 7 two-file merges in a row (<= 0.3 x)
#   W1 export  W1's OPT file exported to glTF (.glb, synced, as by default), against W1's
#       synced conversion in the same runs: target <= 2 x the conversion, peak memory <= input +
#       output + 64 MB
# Memory: peak <= 1.5 x (inputs + outputs) everywhere, and under 64 MB for every merge.
#   RUNS=N   runs per measurement (default 7)
#   SEED=N   workload seed (default 1)
#   DURVANE=PATH  the durvane binary to measure (default the one built here)
#   ONLY="w1 w2 w3 w4 w1e"  the workloads to measure (default all; w1e: W1 export)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${RUNS:-7}
seed=${SEED:-1}
only=${ONLY:-w1 w2 w3 w4 w1e}
build=$root/bench/build-release
work=$root/bench/work

bash scripts/setup.sh
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# -O2 rather than CMake's -O3: GCC 12 raises false -Wrestrict alarms in std::string at -O3.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DDURVANE_BUILD_GUI=OFF -DDURVANE_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
if ! cmake --build "$build" -j2 >"$build/build.log" 2>&1; then
  tail -40 "$build/build.log" >&2
  exit 1
fi
# DURVANE=PATH measures another durvane binary (an earlier build, say) on the same workloads.
durvane=${DURVANE:-$build/bin/durvane}

# Workloads are made once per seed and kept (git-ignores bench/work/).
mkdir -p "$work"
if [ "$(cat "$work/seed" 2>/dev/null)" != "$seed" ]; then
  rm -rf "${work:?}"/*
  for w in w1 w2 w3 w4; do "$build/bin/make-workload" --seed "$seed" "$w" "$work/in" >/dev/null; done
  echo "$seed" >"$work/seed"
fi
in=$work/in
scratch=$work/scratch
rm -rf "$scratch"
mkdir -p "$scratch"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

now() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
bytes() { du -cb "$@" | tail -1 | cut -f1; }
seconds() { awk -v ns="$1" 'BEGIN {printf "%.3f", ns / 1e9}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
med() { printf '%s\n' "$@" | median; }
most() { printf '%s\n' "$@" | sort -n | tail -1; }
# scaled NS FACTOR [PLUS_NS]: NS x FACTOR + PLUS_NS, in ns.
scaled() { awk -v a="$1" -v k="$2" -v b="${3:-0}" 'BEGIN {printf "%.0f", a * k + b}'; }

# shellcheck disable=SC2034  # OUT_VAR and MEM_VAR are the caller's variables
# time_run OUT_VAR MEM_VAR CMD...: wall time in ns of one run of CMD, and its peak memory in KB.
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

# shellcheck disable=SC2034  # OUT_VAR is the caller's variable
# time_cmd OUT_VAR CMD...: wall time in ns of one run of CMD.
time_cmd() {
  local -n c_out=$1
  shift
  local t0 t1
  t0=$(now)
  "$@"
  t1=$(now)
  c_out=$((t1 - t0))
}

# floor OUT_FILE SIZE SYNC INPUT...: the floor of a run that reads INPUT... and writes SIZE
# bytes: cat of the inputs, then SIZE bytes written to OUT_FILE in 4 MiB blocks, flushed to
# disk when SYNC is "synced".
floor() {
  local out=$1 size=$2 sync=$3
  shift 3
  local conv=()
  if [ "$sync" = synced ]; then conv=(conv=fsync); fi
  cat "$@" >/dev/null
  dd if=/dev/zero of="$out" bs=4M count="$size" iflag=count_bytes status=none "${conv[@]}"
}

# fresh FILE...: removes FILE... and flushes what earlier runs left unwritten, so that no run
# pays for another's writing.
fresh() {
  rm -rf "$@"
  sync
}

rows=()
# add_row NAME DURVANE_NS FLOOR_NS ALLOWED_NS PEAK_KB IO_BYTES MEM_LIMIT_KB (ALLOWED_NS "-": no
# time target)
add_row() {
  local time_ok=yes mem_ok=yes allowed=-
  if [ "$4" = - ]; then
    time_ok=-
  else
    allowed=$(seconds "$4")
    [ "$2" -le "$4" ] || time_ok=NO
  fi
  [ "$5" -le "$7" ] || mem_ok=NO
  rows+=("$(printf '%-16s %8s %8s %6s %8s %4s %8s %6s %4s' "$1" "$(seconds "$2")" \
    "$(seconds "$3")" "$(ratio "$2" "$3")" "$allowed" "$time_ok" "$(($5 / 1024))" \
    "$(awk -v kb="$5" -v b="$6" 'BEGIN {printf "%.2f", kb * 1024 / b}')" "$mem_ok")")
}
notes=()
# mem_limit IO_BYTES [merge]: the peak memory allowed in KB.
mem_limit() {
  local limit=$(($1 * 3 / 2 / 1024))
  if [ "${2:-}" = merge ] && [ "$limit" -gt $((64 * 1024)) ]; then limit=$((64 * 1024)); fi
  echo "$limit"
}
# add_time_rows NAME IO_BYTES KIND: the --no-sync and synced rows from the arrays d ds f fs m ms.
add_time_rows() {
  local fm fsm
  fm=$(med "${f[@]}")
  fsm=$(med "${fs[@]}")
  add_row "$1" "$(med "${d[@]}")" "$fm" "$(scaled "$fm" 1.3)" "$(most "${m[@]}")" "$2" \
    "$(mem_limit "$2" "$3")"
  add_row "$1 synced" "$(med "${ds[@]}")" "$fsm" "$(scaled "$fm" 1.2 $((fsm - fm)))" \
    "$(most "${ms[@]}")" "$2" "$(mem_limit "$2" "$3")"
}

# W1: one large conversion.
if [[ " $only " == *" w1 "* ]]; then
  "$durvane" convert -o "$scratch" "$in/w1.opt" >/dev/null
  w1_out=$(bytes "$scratch"/w1/*)
  w1_io=$(($(bytes "$in/w1.opt") + w1_out))
  d=() ds=() f=() fs=() m=() ms=()
  for ((r = 0; r < runs; r++)); do
    fresh "$scratch/w1"
    time_run t mem "$durvane" convert --no-sync -o "$scratch" "$in/w1.opt"
    d+=("$t") m+=("$mem")
    fresh "$scratch/floor.out"
    time_cmd t floor "$scratch/floor.out" "$w1_out" no-sync "$in/w1.opt"
    f+=("$t")
    fresh "$scratch/w1"
    time_run t mem "$durvane" convert -o "$scratch" "$in/w1.opt"
    ds+=("$t") ms+=("$mem")
    fresh "$scratch/floor.out"
    time_cmd t floor "$scratch/floor.out" "$w1_out" synced "$in/w1.opt"
    fs+=("$t")
  done
  add_time_rows W1 "$w1_io" convert
  fresh "$scratch/w1" "$scratch/floor.out"
fi

# W1 export: W1's model exported to a .glb file, against its conversion, both synced.
if [[ " $only " == *" w1e "* ]]; then
  "$durvane" export -o "$scratch/w1.glb" "$in/w1.opt" >/dev/null 2>&1
  w1e_io=$(($(bytes "$in/w1.opt") + $(bytes "$scratch/w1.glb")))
  d=() c=() m=()
  for ((r = 0; r < runs; r++)); do
    fresh "$scratch/w1.glb"
    # Its warning (W1 has polygons without area) once per run is left out.
    time_run t mem "$durvane" export -o "$scratch/w1.glb" "$in/w1.opt" 2>/dev/null
    d+=("$t") m+=("$mem")
    fresh "$scratch/w1"
    time_run t mem "$durvane" convert -o "$scratch" "$in/w1.opt"
    c+=("$t")
  done
  w1e_c=$(med "${c[@]}")
  add_row "W1 export" "$(med "${d[@]}")" "$w1e_c" "$(scaled "$w1e_c" 2)" "$(most "${m[@]}")" \
    "$w1e_io" $((w1e_io / 1024 + 64 * 1024))
  fresh "$scratch/w1" "$scratch/w1.glb"
fi

# W2: two PRJ files of W1's size, merged.
if [[ " $only " == *" w2 "* ]]; then
  mkdir -p "$scratch/w2"
  "$durvane" convert -o "$scratch/w2" "$in/w2_first.opt" "$in/w2_second.opt" >/dev/null
  first=$scratch/w2/w2_first/w2_first.prj
  second=$scratch/w2/w2_second/w2_second.prj
  cp "$first" "$scratch/w2/pristine.prj"
  "$durvane" merge --no-sync "$first" "$second" >/dev/null
  w2_out=$(bytes "$first")
  w2_io=$(($(bytes "$scratch/w2/pristine.prj" "$second") + w2_out))
  d=() ds=() f=() fs=() m=() ms=()
  for ((r = 0; r < runs; r++)); do
    cp "$scratch/w2/pristine.prj" "$first"
    fresh
    time_run t mem "$durvane" merge --no-sync "$first" "$second"
    d+=("$t") m+=("$mem")
    fresh "$scratch/floor.out"
    time_cmd t floor "$scratch/floor.out" "$w2_out" no-sync "$scratch/w2/pristine.prj" "$second"
    f+=("$t")
    cp "$scratch/w2/pristine.prj" "$first"
    fresh
    time_run t mem "$durvane" merge "$first" "$second"
    ds+=("$t") ms+=("$mem")
    fresh "$scratch/floor.out"
    time_cmd t floor "$scratch/floor.out" "$w2_out" synced "$scratch/w2/pristine.prj" "$second"
    fs+=("$t")
  done
  add_time_rows W2 "$w2_io" merge
  fresh "$scratch/w2" "$scratch/floor.out"
fi

# W3: 16 conversions in one call, with -j 1 and -j 2. Floor: the inputs read and the outputs'
# bytes written; its two halves (8 inputs and their outputs' bytes each) run one after the
# other and side by side give the floor's own two-way speed-up.
if [[ " $only " == *" w3 "* ]]; then
  w3_inputs=("$in"/w3_*.opt)
  w3_a=("${w3_inputs[@]:0:8}")
  w3_b=("${w3_inputs[@]:8}")
  "$durvane" convert -o "$scratch" "${w3_inputs[@]}" >/dev/null
  w3_out_a=0 w3_out_b=0
  for opt in "${w3_a[@]}"; do w3_out_a=$((w3_out_a + $(bytes "$scratch/$(basename "$opt" .opt)"/*))); done
  for opt in "${w3_b[@]}"; do w3_out_b=$((w3_out_b + $(bytes "$scratch/$(basename "$opt" .opt)"/*))); done
  w3_io=$(($(bytes "${w3_inputs[@]}") + w3_out_a + w3_out_b))
  w3_halves() {  # SYNC side-by-side|one-after-other
    if [ "$2" = side-by-side ]; then
      floor "$scratch/floor_a.out" "$w3_out_a" "$1" "${w3_a[@]}" &
      floor "$scratch/floor_b.out" "$w3_out_b" "$1" "${w3_b[@]}"
      wait
    else
      floor "$scratch/floor_a.out" "$w3_out_a" "$1" "${w3_a[@]}"
      floor "$scratch/floor_b.out" "$w3_out_b" "$1" "${w3_b[@]}"
    fi
  }
  declare -A w3_t w3_m w3_med
  for ((r = 0; r < runs; r++)); do
    for mode in no-sync synced; do
      sync_flag=()
      if [ "$mode" = no-sync ]; then sync_flag=(--no-sync); fi
      for jobs in 1 2; do
        fresh "$scratch"/w3_*/
        time_run t mem "$durvane" convert "${sync_flag[@]}" -j "$jobs" -o "$scratch" "${w3_inputs[@]}"
        w3_t[$mode$jobs]+=" $t" w3_m[$mode$jobs]+=" $mem"
      done
      for half in one-after-other side-by-side; do
        fresh "$scratch"/floor_?.out
        time_cmd t w3_halves "$mode" "$half"
        w3_t[$mode$half]+=" $t"
      done
    done
  done
  for key in "${!w3_t[@]}"; do
    # shellcheck disable=SC2086
    w3_med[$key]=$(med ${w3_t[$key]})
  done
  for mode in no-sync synced; do
    name="W3"
    if [ "$mode" = synced ]; then name="W3 synced"; fi
    serial=${w3_med[${mode}one-after-other]}
    for jobs in 1 2; do
      # The floor of one call is the two halves one after the other; W3's target is the
      # speed-up below, not a ratio to the floor.
      # shellcheck disable=SC2086
      add_row "$name -j $jobs" "${w3_med[$mode$jobs]}" "$serial" - \
        "$(most ${w3_m[$mode$jobs]})" "$w3_io" "$(mem_limit "$w3_io" convert)"
    done
    speedup=$(awk -v a="${w3_med[${mode}1]}" -v b="${w3_med[${mode}2]}" 'BEGIN {printf "%.2f", a / b}')
    floor_speedup=$(awk -v a="$serial" -v b="${w3_med[${mode}side-by-side]}" \
      'BEGIN {printf "%.2f", a / b}')
    met=$(awk -v a="$speedup" -v b="$floor_speedup" 'BEGIN {print (a >= b) ? "yes" : "NO"}')
    notes+=("$(printf '%-16s speed-up: durvane -j 1 / -j 2 = %s, floor one after the other / side by side = %s (%s / %s s): %s' \
      "$name" "$speedup" "$floor_speedup" "$(seconds "$serial")" \
      "$(seconds "${w3_med[${mode}side-by-side]}")" "$met")")
  done
  fresh "$scratch"/w3_* "$scratch"/floor_?.out
fi

# W4: 8 PRJ files of about 25 MB folded into the first, by one merge and by 7 two-file merges.
if [[ " $only " == *" w4 "* ]]; then
  mkdir -p "$scratch/w4"
  w4_inputs=("$in"/w4_*.opt)
  "$durvane" convert -o "$scratch/w4" "${w4_inputs[@]}" >/dev/null
  w4_prj=()
  for opt in "${w4_inputs[@]}"; do
    base=$(basename "$opt" .opt)
    w4_prj+=("$scratch/w4/$base/$base.prj")
  done
  first=${w4_prj[0]}
  others=("${w4_prj[@]:1}")
  cp "$first" "$scratch/w4/pristine.prj"
  "$durvane" merge --no-sync "$first" "${others[@]}" >/dev/null
  w4_out=$(bytes "$first")
  w4_io=$(($(bytes "$scratch/w4/pristine.prj" "${others[@]}") + w4_out))
  w4_floor() { cat "$scratch/w4/pristine.prj" "${others[@]}" >"$scratch/floor.out"; }
  seven() {
    for other in "${others[@]}"; do "$durvane" merge --no-sync "$first" "$other"; done
  }
  d=() s=() f=() m=()
  for ((r = 0; r < runs; r++)); do
    cp "$scratch/w4/pristine.prj" "$first"
    fresh
    time_run t mem "$durvane" merge --no-sync "$first" "${others[@]}"
    d+=("$t") m+=("$mem")
    fresh "$scratch/floor.out"
    time_cmd t w4_floor
    f+=("$t")
    cp "$scratch/w4/pristine.prj" "$first"
    fresh
    time_cmd t seven >/dev/null
    s+=("$t")
  done
  w4_d=$(med "${d[@]}")
  w4_f=$(med "${f[@]}")
  w4_s=$(med "${s[@]}")
  add_row "W4" "$w4_d" "$w4_f" "$(scaled "$w4_f" 1.3)" "$(most "${m[@]}")" "$w4_io" \
    "$(mem_limit "$w4_io" merge)"
  add_row "W4 vs 7 merges" "$w4_d" "$w4_s" "$(scaled "$w4_s" 0.3)" "$(most "${m[@]}")" "$w4_io" \
    "$(mem_limit "$w4_io" merge)"
  fresh "$scratch/w4" "$scratch/floor.out"
fi
rm -rf "$scratch"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
  "$(df -T "$work" | awk 'NR == 2 {print $2}') file system, Linux $(uname -r)"
echo "floor: cat of the inputs + dd bs=4M of the output's bytes (W4 and W4's floor: cat of all 8" \
  "into one file; W4 vs 7 merges: 7 two-file merges in a row; W1 export: W1's synced" \
  "conversion, allowed 2 x, memory input + output + 64 MB); synced rows: durvane's default" \
  "against the floor with conv=fsync, allowed 1.2 x floor + the flush"
printf '%-16s %8s %8s %6s %8s %4s %8s %6s %4s\n' workload durvane floor ratio allowed met \
  peak_MB mem/io met
for row in "${rows[@]}"; do echo "$row"; done
for note in "${notes[@]}"; do echo "$note"; done
echo "(seconds, medians of $runs runs alternating durvane and floor; allowed: the time the target" \
  "allows; mem/io: peak memory over inputs plus outputs; load before: $load_before, after:" \
  "$(cut -d' ' -f1-3 /proc/loadavg))"
