#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) in ./build-fuzz,
# makes their seed inputs with the program's own writers, and runs every target
# for SECONDS (default 30), two at a time, printing each one's executions per
# second and total executions. Exits 1 when any target found a crash, a hang,
# a leak or undefined behaviour; the input is kept in build-fuzz/fuzz-artifacts.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
build=build-fuzz
jobs=2

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # A fresh clone in another folder (CI) still finds an earlier build's objects.
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
fi
echo "== fuzz build ($build)"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DTD_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" \
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_all

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for bin in "$build"/fuzz/fuzz_*; do
    name=$(basename "$bin")
    [ "$name" = fuzz_seeds ] || [ ! -f "$bin" ] || [ ! -x "$bin" ] || targets+=("${name#fuzz_}")
  done
fi

# Inputs longer than libFuzzer's default of 4096 bytes for the readers whose
# valid inputs are longer: a setup file, a state file with its setup block,
# up to four device lines.
max_len() {
  case "$1" in
    setupfile) echo 33000 ;;
    mixerstate) echo 40000 ;;
    devicepicture) echo 12000 ;;
    listfile|history) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

seeds="$build/fuzz-seeds"
rm -rf "$seeds"
"$build/fuzz/fuzz_seeds" "$seeds"
# The targets' scratch files, in memory where the system has such a folder.
scratch=$(mktemp -d /dev/shm/titledeck-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
logs="$build/fuzz-logs"
artifacts="$build/fuzz-artifacts"
mkdir -p "$logs" "$artifacts"

run() {
  local t=$1 corpus="$build/fuzz-corpus/$1"
  mkdir -p "$corpus" "$seeds/$t"
  set +e
  TMPDIR="$scratch" ASAN_OPTIONS=${ASAN_OPTIONS:-} UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len="$(max_len "$t")" -print_final_stats=1 -artifact_prefix="$artifacts/$t-" \
    "$corpus" "$seeds/$t" >"$logs/$t.log" 2>&1
  echo $? >"$logs/$t.status"
  set -e
}

echo "== fuzzing ${#targets[@]} targets, ${seconds} s each, $jobs at a time"
start=$SECONDS
for t in "${targets[@]}"; do
  rm -f "$logs/$t.status"
  run "$t" &
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
done
wait

stat() { sed -n "s/^stat::$1: *//p" "$logs/$2.log" | tail -1; }
failed=0
printf '%-16s %12s %16s %8s  %s\n' target execs/s executions corpus result
for t in "${targets[@]}"; do
  status=$(cat "$logs/$t.status" 2>/dev/null || echo 1)
  result=ok
  if [ "$status" != 0 ]; then
    result="FAILED (exit $status, log $logs/$t.log)"
    failed=1
  fi
  printf '%-16s %12s %16s %8s  %s\n' "$t" "$(stat average_exec_per_sec "$t")" \
    "$(stat number_of_executed_units "$t")" "$(find "$build/fuzz-corpus/$t" -type f | wc -l)" \
    "$result"
done
echo "fuzzing took $((SECONDS - start)) s"
if [ "$failed" != 0 ]; then
  for t in "${targets[@]}"; do
    if [ "$(cat "$logs/$t.status" 2>/dev/null || echo 1)" != 0 ]; then
      echo "== $t"
      grep -E "ERROR|SUMMARY|broken|runtime error|Test unit written|#[0-9]+ 0x" "$logs/$t.log" | head -40
    fi
  done
  exit 1
fi
