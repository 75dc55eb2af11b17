#!/usr/bin/env bash
# Benchmark of baselines with many definitions of one kind: attribute
# definitions, list items, requirement types, users, groups, query
# definitions and views, each at 10,000 and 100,000 (nothing else grows).
# A run must grow linearly with its baseline: the growth factor from
# 10,000 to 100,000 should stay near 10.
#
#   bench/definitions.sh                 SQLite, sizes 10000 100000
#   bench/definitions.sh --sizes "2500 10000 20000 100000"
#   bench/definitions.sh --kinds "attributes users"
#
# Environment: VL_BUILD, a build folder holding vlbaseline and
# gen-baseline (default build-bench, built Release when missing); TMPDIR,
# where the work folder goes. Prints one line per kind and size (wall
# time, peak memory) and the growth factor per kind. Needs GNU time.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

sizes="10000 100000"
kinds="attributes list-items req-types users groups query-defs views"
while (($#)); do
  case "$1" in
    --sizes) sizes="$2"; shift 2 ;;
    --kinds) kinds="$2"; shift 2 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "definitions: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
done
[[ -x /usr/bin/time ]] || { echo "definitions: GNU time is needed" >&2; exit 1; }

build="${VL_BUILD:-$root/build-bench}"
if [[ ! -x "$build/vlbaseline" || ! -x "$build/gen-baseline" ]]; then
  echo "definitions: building Release into $build" >&2
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target vlbaseline gen-baseline >/dev/null
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/vl-definitions.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# The generator's option for `n` definitions of `kind` (views come four
# packages at a time).
gen_option() {
  case "$1" in
    views) echo "--views-per-package $(($2 / 4))" ;;
    *) echo "--$1 $2" ;;
  esac
}

printf '%-12s %9s %9s %9s\n' kind count seconds peak_MB
for kind in $kinds; do
  first_n="" first_s=""
  for n in $sizes; do
    bl="$work/bl" proj="$work/proj"
    rm -rf "$bl" "$proj"
    # shellcheck disable=SC2046
    "$build/gen-baseline" --out "$bl" $(gen_option "$kind" "$n") >/dev/null
    sync
    /usr/bin/time -f '%e %M' -o "$work/time" \
      "$build/vlbaseline" create "$bl" --folder "$proj" --all --yes --quiet >/dev/null 2>"$work/err" ||
      { echo "definitions: the run failed ($kind $n)" >&2; tail -5 "$work/err" >&2; exit 1; }
    read -r s kb <"$work/time"
    printf '%-12s %9s %9s %9.1f\n' "$kind" "$n" "$s" "$(awk -v k="$kb" 'BEGIN{print k / 1024}')"
    if [[ -z "$first_n" ]]; then
      first_n="$n" first_s="$s"
    else
      awk -v k="$kind" -v a="$first_n" -v b="$n" -v x="$first_s" -v y="$s" \
        'BEGIN{printf "%-12s growth %s -> %s: x%.1f time for x%.1f size\n", k, a, b, (x > 0 ? y / x : 0), b / a}'
    fi
  done
done
