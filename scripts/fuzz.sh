#!/usr/bin/env bash
# Builds the fuzz targets (clang++ with AddressSanitizer,
# UndefinedBehaviorSanitizer and libFuzzer) in a build folder of their own
# and runs each for a bounded time:
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET]      (default 60)
#
# Targets: validate (baseline folder validation) and create-run (a whole
# creation run into a new SQLite project). Each starts from seeds made by
# vl-fuzz-seeds, the committed corpus (fuzz/corpus) and the regressions
# (fuzz/regressions); what it learns is kept in BUILD/corpus. An input
# that crashes or breaks a promise is left in BUILD/findings/TARGET and the
# script fails: copy the file into fuzz/regressions/TARGET, where the
# regular tests replay it, and fix the fault.
#
# Environment: VL_FUZZ_BUILD (build folder, default build-fuzz),
# VL_FUZZ_TARGETS (default "validate create-run").
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${VL_FUZZ_BUILD:-build-fuzz}"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ is missing (scripts/setup-debian.sh installs it)" >&2
  exit 1
fi
# The flags come from VL_FUZZ; warnings of another compiler do not stop it.
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS=-O1 -DVL_FUZZ=ON -DVL_WERROR=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_validate fuzz_create_run vl-fuzz-seeds

# Each input writes a baseline and a project: memory is faster than a disk
# (when there is room; containers often give /dev/shm little).
if [[ -d /dev/shm && -w /dev/shm ]] &&
  (($(df --output=avail -k /dev/shm | tail -1) > 512 * 1024)); then
  export TMPDIR=/dev/shm
fi
# The targets' scratch folders go into a folder of this run, removed at the
# end: a target that aborts on a finding cannot clean up after itself.
TMPDIR="$(mktemp -d "${TMPDIR:-/tmp}/vl-fuzz-run.XXXXXX")"
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
# A leak of the run is a finding too; a slow input is not a hang below 60 s.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
for target in ${VL_FUZZ_TARGETS:-validate create-run}; do
  exe="$build/fuzz_${target//-/_}"
  corpus="$build/corpus/$target"
  seeds="$build/seeds/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  rm -rf "$seeds"
  "$build/vl-fuzz-seeds" "$target" "$seeds" >/dev/null
  inputs=("$corpus" "$seeds")
  for extra in "fuzz/corpus/$target" "fuzz/regressions/$target"; do
    [[ -d "$extra" ]] && inputs+=("$extra")
  done
  echo "fuzz: $target for ${seconds}s"
  # A fixed seed (VL_FUZZ_SEED, set by CI) makes a run repeatable.
  seed_arg=()
  [[ -n "${VL_FUZZ_SEED:-}" ]] && seed_arg=(-seed="$VL_FUZZ_SEED")
  if ! "$exe" "${seed_arg[@]}" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2560 -max_len=262144 \
      -dict=fuzz/baseline.dict -artifact_prefix="$findings/" -print_final_stats=1 \
      "${inputs[@]}" 2>"$build/fuzz-$target.log"; then
    tail -n 60 "$build/fuzz-$target.log" >&2
    echo "fuzz: $target found a problem; the input is in $findings" >&2
    status=1
  else
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ *DONE)' \
      "$build/fuzz-$target.log" || true
  fi
done
exit $status
