#!/usr/bin/env bash
# Plants the faults of tests/mutants/faults.txt one at a time, rebuilds,
# runs the whole test suite and records which tests catch each fault.
# The source tree is put back after every fault, also when the script is
# interrupted. Not part of CI: a full run takes hours.
#
#   tests/mutants/run.sh                    every fault
#   tests/mutants/run.sh host-leap-400 'copy-*'   some of them (glob patterns)
#   tests/mutants/run.sh --list             the faults and what each does
#   tests/mutants/run.sh --check            only check that each fault applies
#
# Options: --build-dir DIR (default build-mutants), --timeout SECONDS per
# test (default 300), --jobs N for ctest (default 2), --tests REGEX to run
# only some tests (a quick look; the score needs the whole suite),
# --no-clean to skip the run of the unchanged tree first, --first to stop
# each fault's tests at the first failure (the score only; much quicker),
# --append to add to the results of an earlier run instead of replacing them.
#
# The PostgreSQL tests run when VL_TEST_PG is set (source /tmp/pgenv.sh or
# eval "$(scripts/pg-test-cluster.sh start)"). Results go to
# BUILD_DIR/mutants/: results.tsv, results.md and one log per fault.
set -uo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
faults="$root/tests/mutants/faults.txt"
build_dir="build-mutants"
timeout=300
jobs=2
tests_regex=""
clean_run=1
first=0
append=0
mode="run"
patterns=()

usage() { sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; }

while (($#)); do
  case "$1" in
    --build-dir) build_dir="$2"; shift 2 ;;
    --timeout) timeout="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    --tests) tests_regex="$2"; shift 2 ;;
    --no-clean) clean_run=0; shift ;;
    --first) first=1; shift ;;
    --append) append=1; shift ;;
    --list) mode="list"; shift ;;
    --check) mode="check"; shift ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) patterns+=("$1"); shift ;;
  esac
done

cd "$root" || exit 2
[[ "$build_dir" = /* ]] || build_dir="$root/$build_dir"

# faults.txt as records of five fields separated by \x1f, one a line.
parse_faults() {
  perl -ne '
    BEGIN { %f = (); }
    sub flush {
      return unless %f;
      for my $k (qw(id file old new what)) {
        die "faults.txt: fault \"$f{id}\" has no \"$k\"\n" unless exists $f{$k};
      }
      print join("\x1f", @f{qw(id file old new what)}), "\n";
      %f = ();
    }
    chomp;
    if (/^\s*$/) { flush(); next; }
    next if /^#/;
    if (/^(id|file|old|new|what):(?: (.*))?$/) { $f{$1} = defined $2 ? $2 : ""; next; }
    die "faults.txt:$.: cannot read \"$_\"\n";
    END { flush(); }
  ' "$faults"
}

mapfile -t records < <(parse_faults) || exit 2
[[ ${#records[@]} -gt 0 ]] || { echo "run.sh: no faults in $faults" >&2; exit 2; }

selected=()
for rec in "${records[@]}"; do
  id="${rec%%$'\x1f'*}"
  if ((${#patterns[@]} == 0)); then
    selected+=("$rec")
    continue
  fi
  for p in "${patterns[@]}"; do
    # shellcheck disable=SC2053
    if [[ "$id" == $p ]]; then selected+=("$rec"); break; fi
  done
done
((${#selected[@]})) || { echo "run.sh: no fault matches ${patterns[*]}" >&2; exit 2; }

# One field of a record: 0 id, 1 file, 2 old text, 3 new text, 4 what.
field() { perl -e '@p = split /\x1f/, $ARGV[0], -1; print $p[$ARGV[1]]' "$1" "$2"; }

# Replaces the one occurrence of OLD in FILE by NEW; fails when OLD occurs
# no time or more than once. With CHECK=1 only counts.
replace_once() { # file old new check
  perl -e '
    my ($file, $old, $new, $check) = @ARGV;
    open(my $in, "<", $file) or die "cannot read $file: $!\n";
    local $/; my $text = <$in>; close $in;
    my $count = () = $text =~ /\Q$old\E/g;
    die "the text occurs $count times in $file\n" if $count != 1;
    exit 0 if $check;
    my $at = index($text, $old);
    substr($text, $at, length($old)) = $new;
    open(my $out, ">", $file) or die "cannot write $file: $!\n";
    print $out $text; close $out or die "cannot write $file: $!\n";
  ' "$@"
}

if [[ $mode == list ]]; then
  for rec in "${selected[@]}"; do
    printf '%-34s %s\n' "$(field "$rec" 0)" "$(field "$rec" 4)"
  done
  exit 0
fi

bad=0
for rec in "${selected[@]}"; do
  id=$(field "$rec" 0); file=$(field "$rec" 1)
  if ! msg=$(replace_once "$root/$file" "$(field "$rec" 2)" "" 1 2>&1); then
    echo "run.sh: fault $id does not apply: $msg" >&2
    bad=1
  fi
done
((bad == 0)) || exit 2
if [[ $mode == check ]]; then
  echo "${#selected[@]} fault(s) apply."
  exit 0
fi

out_dir="$build_dir/mutants"
mkdir -p "$out_dir/logs"
backup_dir="$(mktemp -d)"
planted_file=""

restore() {
  if [[ -n "$planted_file" ]]; then
    cat "$backup_dir/original" >"$root/$planted_file"
    planted_file=""
  fi
}
finish() {
  restore
  rm -rf "$backup_dir"
}
trap finish EXIT
trap 'restore; echo "run.sh: interrupted; the tree is as it was" >&2; exit 130' INT
trap 'restore; exit 143' TERM

if [[ -z "${VL_TEST_PG:-}${VL_PG_TESTS:-}" ]]; then
  echo "run.sh: VL_TEST_PG is not set: the PostgreSQL tests are skipped" >&2
fi

if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
  nice -n 15 cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVL_WERROR=ON \
    >"$out_dir/configure.log" 2>&1 || { echo "run.sh: configure failed, see $out_dir/configure.log" >&2; exit 1; }
fi

build() { nice -n 15 cmake --build "$build_dir" -j"$jobs" >"$1" 2>&1; }

# The names of the tests that failed, one a line, from a ctest log.
failed_tests() {
  perl -ne '
    if (/^The following tests (\S+)/) { $in = $1 eq "FAILED:"; next; }
    next unless $in;
    next unless /^\s*\d+ - (.*) \(([^()]*)\)\s*$/;
    my ($name, $why) = ($1, $2);
    next if $why eq "Skipped" || $why eq "Disabled";
    $name =~ s/\s+# GetParam\(\).*$//;
    print "$name\n";
  ' "$1"
}

run_tests() { # log
  local args=(--timeout "$timeout" -j"$jobs")
  [[ -n "$tests_regex" ]] && args+=(-R "$tests_regex")
  ((first)) && args+=(--stop-on-failure)
  (cd "$build_dir" && nice -n 15 ctest "${args[@]}") >"$1" 2>&1
}

clean_failures=""
if ((clean_run)); then
  echo "Building and testing the unchanged tree ..."
  build "$out_dir/clean-build.log" || { echo "run.sh: the unchanged tree does not build, see $out_dir/clean-build.log" >&2; exit 1; }
  run_tests "$out_dir/clean-tests.log"
  clean_failures=$(failed_tests "$out_dir/clean-tests.log")
  if [[ -n "$clean_failures" ]]; then
    echo "run.sh: these tests fail on the unchanged tree and do not count as catching:" >&2
    echo "$clean_failures" | sed 's/^/  /' >&2
  fi
fi

results="$out_dir/results.tsv"
((append)) || : >"$results"
total=${#selected[@]}
n=0
for rec in "${selected[@]}"; do
  n=$((n + 1))
  id=$(field "$rec" 0); file=$(field "$rec" 1); what=$(field "$rec" 4)
  log="$out_dir/logs/$id.log"
  start=$(date +%s)
  cp "$root/$file" "$backup_dir/original"
  planted_file="$file"
  if ! replace_once "$root/$file" "$(field "$rec" 2)" "$(field "$rec" 3)" 0; then
    restore
    echo "run.sh: fault $id could not be planted" >&2
    exit 1
  fi
  status=""
  catchers=""
  if ! build "$log.build"; then
    status="build-error"
  else
    run_tests "$log"
    catchers=$(failed_tests "$log")
    if [[ -n "$clean_failures" && -n "$catchers" ]]; then
      catchers=$(grep -vxF -f <(echo "$clean_failures") <<<"$catchers" || true)
    fi
    [[ -n "$catchers" ]] && status="caught" || status="survived"
  fi
  restore
  joined=$(tr '\n' ' ' <<<"$catchers" | sed 's/ *$//; s/ /, /g')
  printf '%s\t%s\t%s\t%s\t%s\n' "$id" "$status" "$file" "$what" "$joined" >>"$results"
  printf '[%d/%d] %-34s %-11s %4ss %s\n' "$n" "$total" "$id" "$status" "$(($(date +%s) - start))" \
    "$(cut -c1-100 <<<"$joined")"
done

# The table and the score.
caught=$(awk -F'\t' '$2 == "caught"' "$results" | wc -l)
survived=$(awk -F'\t' '$2 == "survived"' "$results" | wc -l)
broken=$(awk -F'\t' '$2 == "build-error"' "$results" | wc -l)
{
  echo "| Fault | File | Result | Caught by |"
  echo "|---|---|---|---|"
  awk -F'\t' '{
    n = split($5, t, ", "); shown = "";
    for (i = 1; i <= n && i <= 4; ++i) shown = shown (i > 1 ? ", " : "") t[i];
    if (n > 4) shown = shown sprintf(" and %d more", n - 4);
    sub(/^src\//, "", $3);
    printf "| `%s` | %s | %s | %s |\n", $1, $3, $2, shown }' "$results"
  echo
  note=""
  ((broken)) && note=", $broken did not build and do not count"
  echo "Score: $caught of $((caught + survived)) faults caught ($survived survived$note)."
} >"$out_dir/results.md"
echo
cat "$out_dir/results.md"
echo
echo "Results: $results, $out_dir/results.md; logs in $out_dir/logs"
