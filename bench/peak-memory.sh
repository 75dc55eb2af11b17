#!/usr/bin/env bash
# Peak memory of a creation run against the size of its baseline:
#
#   bench/peak-memory.sh [REQUIREMENTS] [PACKAGES]     (default 100000 200)
#
# Generates a baseline (500 requirements per package by default, so the
# largest file stays the same whatever the total), creates a SQLite
# project from it with build/vlbaseline and prints the baseline's total
# size, its largest file, the run's peak resident memory and its time.
# Environment: VL_BUILD (default build), VL_BENCH_DIR (default a new
# temporary folder, removed afterwards).
set -euo pipefail
cd "$(dirname "$0")/.."
reqs="${1:-100000}"
pkgs="${2:-$(( (reqs + 499) / 500 ))}"
build="${VL_BUILD:-build}"
dir="${VL_BENCH_DIR:-$(mktemp -d)}"
[[ -n "${VL_BENCH_DIR:-}" ]] || trap 'rm -rf "$dir"' EXIT

"$build/gen-baseline" --out "$dir/bl" --seed 7 --requirements "$reqs" --packages "$pkgs" \
  --traces-per-req 2 >/dev/null
total_kb=$(du -sk "$dir/bl" | cut -f1)
largest=$(find "$dir/bl" -type f -printf '%s %f\n' | sort -n | tail -1)
/usr/bin/time -f '%M %e' -o "$dir/time.txt" \
  "$build/vlbaseline" create "$dir/bl" --folder "$dir/proj" --all --yes --quiet \
  >"$dir/run.log" 2>&1 || { cat "$dir/run.log" >&2; exit 1; }
read -r peak_kb seconds <"$dir/time.txt"
echo "requirements:   $reqs in $pkgs packages"
echo "baseline:       $((total_kb / 1024)) MB in all, largest file ${largest%% *} bytes (${largest#* })"
echo "peak memory:    $((peak_kb / 1024)) MB resident"
echo "database:       $(( $(cat "$dir"/proj/proj.db* | wc -c) / 1048576 )) MB (with its log)"
echo "run time:       ${seconds} s"
