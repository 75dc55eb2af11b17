#!/usr/bin/env bash
# Benchmark of large baselines: creation runs of generated baselines of
# 2,000, 20,000 and 100,000 requirements on SQLite and on PostgreSQL,
# each measured against its database's own shell replaying the run's
# statement log (the same statements, the same commit points). PostgreSQL
# runs are also measured against pg_restore of the schema they made (from
# a custom-format pg_dump, each timed right after the run that made it),
# reached over an emulated network link
# (bench/delay_proxy.cpp holds each direction 0.25 ms: a 0.5 ms round
# trip), and counted in round trips to the server.
#
#   bench/run.sh                      build, measure, write bench/RESULTS.md
#   bench/run.sh --sizes "2000 20000" other sizes
#   bench/run.sh --no-postgres        SQLite only
#   bench/run.sh --repeat 3           best of three timed runs (default 2)
#   bench/run.sh --keep DIR           keep baselines, projects and logs in DIR
#
# Environment: VL_BUILD, a build folder to use instead of building
# build-bench (Release); TMPDIR, where the work folder goes.
#
# Per size and database it reports the wall time, CPU time, time per stage,
# statements executed and per second, peak resident memory, and the ratio
# of the run's time to the replay's; for PostgreSQL also the round trips
# (the times the run waited for the server), pg_restore's time and the
# time over the delayed link; the time of "vlbaseline verify" of the
# project the run created beside the creation's; per size the time of the
# deep check of the baseline (vlbaseline validate) against the creation's.
# The results replace the part of bench/RESULTS.md between its two "bench:"
# markers; the rest of the file
# (the analysis) is left alone. Needs: cmake, g++, GNU time (/usr/bin/time),
# sqlite3, and for PostgreSQL the server binaries (initdb, pg_ctl), psql,
# pg_dump and pg_restore.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

sizes="2000 20000 100000"
postgres=1
repeat=2
keep=""
while (($#)); do
  case "$1" in
    --sizes) sizes="$2"; shift 2 ;;
    --no-postgres) postgres=0; shift ;;
    --repeat) repeat="$2"; shift 2 ;;
    --keep) keep="$2"; shift 2 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
done

[[ -x /usr/bin/time ]] || { echo "bench: GNU time is needed (apt-get install time)" >&2; exit 1; }
command -v sqlite3 >/dev/null || { echo "bench: sqlite3 is needed" >&2; exit 1; }

# --- build -----------------------------------------------------------------
build="${VL_BUILD:-$root/build-bench}"
if [[ -z "${VL_BUILD:-}" ]]; then
  echo "bench: building Release into $build" >&2
  build_log="$(mktemp)"
  if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" -j"$(nproc)" --target vlbaseline gen-baseline delay-proxy; } >"$build_log" 2>&1; then
    tail -30 "$build_log" >&2
    rm -f "$build_log"
    echo "bench: the build failed" >&2
    exit 1
  fi
  rm -f "$build_log"
fi
vlb="$build/vlbaseline"
gen="$build/gen-baseline"
proxy="$build/delay-proxy"

if [[ -n "$keep" ]]; then
  work="$keep"
  mkdir -p "$work"
else
  work="$(mktemp -d "${TMPDIR:-/tmp}/vl-bench.XXXXXX")"
fi
pg_started=0
proxy_pid=""
cleanup() {
  if [[ -n "$proxy_pid" ]]; then kill "$proxy_pid" 2>/dev/null || true; fi
  if ((pg_started)); then "$root/scripts/pg-test-cluster.sh" stop >/dev/null 2>&1 || true; fi
  [[ -n "$keep" ]] || rm -rf "$work"
}
trap cleanup EXIT

# --- helpers -----------------------------------------------------------------
# timed OUT CMD...: runs CMD with its standard output in OUT.stdout and
# standard error in OUT.stderr; leaves "wall user sys maxrss_kb" in OUT.time.
# A failure is shown and returned.
timed() {
  local out="$1"
  shift
  # The files written before (a baseline, a log, a replayed database) would
  # otherwise be written back to the disk during the measured command.
  sync
  /usr/bin/time -f '%e %U %S %M' -o "$out.time" "$@" >"$out.stdout" 2>"$out.stderr" || {
    echo "bench: failed: $*" >&2
    tail -5 "$out.stderr" >&2
    return 1
  }
}
# timed_with_server OUT CMD...: as timed, and leaves in OUT.server the CPU
# seconds the PostgreSQL cluster's processes spent meanwhile (its backends,
# WAL writer, checkpointer, autovacuum: all of them serve only this
# benchmark), from /proc.
timed_with_server() {
  local out="$1"
  shift
  local pm tick pid t
  pm=$(head -1 "$VL_PG_CLUSTER_DIR/data/postmaster.pid")
  tick=$(getconf CLK_TCK)
  local -A start last
  cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }
  for pid in $(pgrep -P "$pm"); do start[$pid]=$(cpu_of "$pid"); done
  timed "$out" "$@" &
  local job=$!
  while kill -0 "$job" 2>/dev/null; do
    for pid in $(pgrep -P "$pm"); do
      t=$(cpu_of "$pid") && [[ -n "$t" ]] && last[$pid]=$t
    done
    sleep 0.1
  done
  wait "$job" || return 1
  for pid in $(pgrep -P "$pm"); do t=$(cpu_of "$pid") && [[ -n "$t" ]] && last[$pid]=$t; done
  local ticks=0
  for pid in "${!last[@]}"; do ticks=$((ticks + last[$pid] - ${start[$pid]:-0})); done
  awk -v t="$ticks" -v k="$tick" 'BEGIN{printf "%.2f\n", t / k}' >"$out.server"
}
field() { awk -v n="$2" '{print $n}' "$1.time"; }
cpu() { awk '{printf "%.2f", $2 + $3}' "$1.time"; }
# The best (shortest wall time) of the runs OUT.1 .. OUT.R, copied to OUT.
best_of() {
  local out="$1" best="" r
  for ((r = 1; r <= repeat; r++)); do
    if [[ -z "$best" ]] || awk -v a="$(field "$out.$r" 1)" -v b="$(field "$best" 1)" \
      'BEGIN{exit !(a < b)}'; then best="$out.$r"; fi
  done
  for ext in time stdout stderr server; do [[ ! -f "$best.$ext" ]] || cp "$best.$ext" "$out.$ext"; done
}
div() { awk -v a="$1" -v b="$2" -v f="${3:-%.2f}" 'BEGIN{ if (b > 0) printf f, a / b; else print "-" }'; }
mb() { awk -v k="$1" 'BEGIN{printf "%.1f", k / 1024}'; }
statements() { sed -n 's/^Statements executed: //p' "$1.stdout"; }
round_trips() { sed -n 's/^Server round trips: //p' "$1.stdout"; }
# "name seconds" per stage; the three reopenings are added up.
stage_times() {
  awk '/^Stage times:/{s=1; next} s && /^  /{t[$1] += $2; if (!($1 in seen)) {seen[$1]=1; o[++n]=$1}}
       END{for (i = 1; i <= n; i++) printf "%s %.3f\n", o[i], t[o[i]]}' "$1.stdout"
}

declare -A R  # results: R[db,size,key]

# Generates the baseline of `n` requirements: every kind of attribute, two
# history versions, two traces per requirement, discussions, documents,
# views, query definitions, and a long text now and then; 500 requirements
# per package, at least 12 packages.
generate() {
  local n="$1" dir="$work/bl-$n"
  local packages=$(((n + 499) / 500))
  ((packages >= 12)) || packages=12
  if [[ ! -f "$dir/BaselineList.xml" ]]; then
    "$gen" --out "$dir" --seed 7 --requirements "$n" --packages "$packages" \
      --history-versions 2 --traces-per-req 2 --discussions $((n / 100)) \
      --docs-per-package 2 --views-per-package 2 --query-defs 6 --users 20 \
      --long-text-every 50 >"$work/gen-$n.txt"
  fi
  R[bl,$n,packages]=$packages
  R[bl,$n,mb]=$(mb "$(du -sk "$dir" | cut -f1)")
  local largest
  largest=$(find "$dir" -type f -printf '%s %f\n' | sort -n | tail -1)
  R[bl,$n,largest_mb]=$(awk -v b="${largest%% *}" 'BEGIN{printf "%.1f", b / 1048576}')
  R[bl,$n,largest_name]=${largest#* }
}

# One database kind at one size: the timed runs, the logged run, the replay.
# `db` is sqlite or pg; the creation options of that kind follow.
measure() {
  local db="$1" n="$2"
  shift 2
  local bl="$work/bl-$n" out="$work/$db-$n" r
  local run=timed
  [[ "$db" == sqlite ]] || run=timed_with_server
  R[$db,$n,loads]=""
  for ((r = 1; r <= repeat; r++)); do
    rm -rf "$out-run"
    drop_replay "$db" "$n" run
    R[$db,$n,loads]+=" $(cut -d' ' -f1 /proc/loadavg)"
    $run "$out.$r" "$vlb" create "$bl" --folder "$out-run" --all --yes --quiet --stage-times \
      $(schema_option "$db" "$n" run) "$@" || exit 1
    # The server loads the same rows at once, under the same load.
    [[ "$db" == sqlite ]] || restore_once "$n" "$r"
  done
  best_of "$out"
  [[ ! -f "$out.server" ]] || R[$db,$n,server_cpu]=$(cat "$out.server")
  rm -rf "$out-logged"
  drop_replay "$db" "$n" logged
  timed "$out-logged" "$vlb" create "$bl" --folder "$out-logged" --all --yes --quiet \
    --stage-times --sql-log "$out.sql" $(schema_option "$db" "$n" logged) "$@" || exit 1
  local replayed=1
  for ((r = 1; r <= repeat && replayed; r++)); do
    drop_replay "$db" "$n" replay
    if [[ "$db" == sqlite ]]; then
      timed "$out-replay.$r" sh -c 'sqlite3 "$1" <"$2" >/dev/null' sh "$out-replay.db" "$out.sql" ||
        replayed=0
    else
      timed "$out-replay.$r" psql -X -q -v ON_ERROR_STOP=1 -o /dev/null -d "replay_$n" \
        -f "$out.sql" || replayed=0
    fi
  done
  if ((replayed)); then
    best_of "$out-replay"
  else
    echo "0 0 0 0" >"$out-replay.time"
    R[$db,$n,replay_error]=$(grep -m1 -i error "$out-replay.1.stderr" | cut -c1-160)
  fi
  R[$db,$n,wall]=$(field "$out" 1)
  R[$db,$n,cpu]=$(cpu "$out")
  R[$db,$n,peak_mb]=$(mb "$(field "$out" 4)")
  R[$db,$n,statements]=$(statements "$out")
  R[$db,$n,round_trips]=$(round_trips "$out")
  R[$db,$n,trips_per_req]=$(div "${R[$db,$n,round_trips]}" "$n" "%.4f")
  R[$db,$n,rate]=$(div "${R[$db,$n,statements]}" "${R[$db,$n,wall]}" "%.0f")
  R[$db,$n,replay_wall]=$(field "$out-replay" 1)
  R[$db,$n,replay_cpu]=$(cpu "$out-replay")
  R[$db,$n,ratio]=$(div "${R[$db,$n,wall]}" "${R[$db,$n,replay_wall]}")
  if [[ -n "${R[$db,$n,replay_error]:-}" ]]; then
    R[$db,$n,replay_wall]="failed"
    R[$db,$n,replay_cpu]="-"
    R[$db,$n,ratio]="-"
  fi
  R[$db,$n,log_mb]=$(mb "$(($(stat -c %s "$out.sql") / 1024))")
  R[$db,$n,stages]=$(stage_times "$out")
  check_replay "$db" "$n"
  verify_project "$db" "$n"
  [[ -n "$keep" ]] || rm -rf "$out-run" "$out-logged" "$out.sql" "$out-replay.db"*
}

# vlbaseline verify of the project the last timed run created, timed like
# the runs; records whether it found everything matching.
verify_project() {
  local db="$1" n="$2" r
  local out="$work/$db-$n" project="$work/$db-$n-run/$db-$n-run.vlp"
  R[$db,$n,verify_result]="match"
  for ((r = 1; r <= repeat; r++)); do
    timed "$out-verify.$r" "$vlb" verify "$work/bl-$n" "$project" || R[$db,$n,verify_result]="**differences**"
  done
  best_of "$out-verify"
  R[$db,$n,verify_wall]=$(field "$out-verify" 1)
  R[$db,$n,verify_cpu]=$(cpu "$out-verify")
  R[$db,$n,verify_peak_mb]=$(mb "$(field "$out-verify" 4)")
  R[$db,$n,verify_ratio]=$(div "${R[$db,$n,verify_wall]}" "${R[$db,$n,wall]}")
}

# The deep check of the baseline alone (vlbaseline validate), against the
# creation run without it: the check's share is the validation's time over
# the creation's wall time less the check stage that create runs first.
measure_check() {
  local n="$1" bl="$work/bl-$n" out="$work/check-$n" r check_stage
  for ((r = 1; r <= repeat; r++)); do
    timed "$out.$r" "$vlb" validate "$bl" || exit 1
  done
  best_of "$out"
  R[check,$n,wall]=$(field "$out" 1)
  R[check,$n,cpu]=$(cpu "$out")
  R[check,$n,peak_mb]=$(mb "$(field "$out" 4)")
  check_stage=$(echo "${R[sqlite,$n,stages]}" | awk '$1 == "CheckBaseline" {print $2}')
  R[check,$n,in_create]=${check_stage:-0}
  R[check,$n,creation]=$(awk -v w="${R[sqlite,$n,wall]}" -v c="${check_stage:-0}" \
    'BEGIN{printf "%.2f", w - c}')
  R[check,$n,ratio]=$(div "${R[check,$n,wall]}" "${R[check,$n,creation]}")
}

schema_option() {
  [[ "$1" == pg ]] && echo "--pg-schema bench_$3_$2" || true
}

drop_replay() {
  local db="$1" n="$2" what="$3"
  if [[ "$db" == sqlite ]]; then
    [[ "$what" != replay ]] || rm -f "$work/sqlite-$n-replay.db"*
  elif [[ "$what" == replay ]]; then
    # (without the notice that a database to drop was not there)
    PGOPTIONS="-c client_min_messages=warning" dropdb --if-exists "replay_$n" &&
      createdb "replay_$n"
  else
    psql -X -q -d postgres -c "DROP SCHEMA IF EXISTS bench_${what}_$n CASCADE" >/dev/null 2>&1
  fi
}

# The replayed database holds the rows the run wrote.
check_replay() {
  local db="$1" n="$2" made replayed
  local q="SELECT (SELECT count(*) FROM vlRequirements) || ' ' || (SELECT count(*) FROM VlToRelationships)"
  if [[ "$db" == sqlite ]]; then
    made=$(sqlite3 "$work/sqlite-$n-logged/sqlite-$n-logged.db" "$q")
    replayed=$(sqlite3 "$work/sqlite-$n-replay.db" "$q")
  else
    made=$(psql -X -At -d postgres -c "SET search_path TO bench_logged_$n; $q" | tail -1)
    replayed=$(psql -X -At -d "replay_$n" -c "$q")
  fi
  R[$db,$n,check]="$made"
  [[ "$made" == "$replayed" ]] || R[$db,$n,check]="MISMATCH: run $made, replay $replayed"
}

# pg_restore of the schema the timed PostgreSQL run `r` of `n` has just
# made, from a custom-format dump, into a database of its own: the server
# loading the same rows with COPY and building the indexes once.
restore_once() {
  local n="$1" r="$2" out="$work/pg-$n-restore"
  pg_dump -Fc -n "bench_run_$n" -f "$work/pg-$n.dump" postgres
  PGOPTIONS="-c client_min_messages=warning" dropdb --if-exists "restore_$n" && createdb "restore_$n"
  R[pg,$n,loads]+="/$(cut -d' ' -f1 /proc/loadavg)"
  timed_with_server "$out.$r" pg_restore -d "restore_$n" "$work/pg-$n.dump" || exit 1
  dropdb "restore_$n"
}

# The best of the runs of restore_once against the best of the runs.
measure_restore() {
  local n="$1" out="$work/pg-$n-restore"
  best_of "$out"
  R[pg,$n,restore_wall]=$(field "$out" 1)
  R[pg,$n,restore_cpu]=$(awk -v c="$(cpu "$out")" -v s="$(cat "$out.server")" 'BEGIN{printf "%.2f", c + s}')
  R[pg,$n,run_cpu]=$(awk -v c="${R[pg,$n,cpu]}" -v s="${R[pg,$n,server_cpu]}" 'BEGIN{printf "%.2f", c + s}')
  R[pg,$n,cpu_ratio]=$(div "${R[pg,$n,run_cpu]}" "${R[pg,$n,restore_cpu]}")
  R[pg,$n,restore_ratio]=$(div "${R[pg,$n,wall]}" "${R[pg,$n,restore_wall]}")
  R[pg,$n,sqlite_ratio]=$(div "${R[pg,$n,wall]}" "${R[sqlite,$n,wall]}")
  [[ -n "$keep" ]] || rm -f "$work/pg-$n.dump"
}

# The delay proxy between the run and the server: each direction held
# 0.25 ms. Sets link_port and R[link,rtt_ms], the round trip it adds (the
# median time of a SELECT through it less the median on the socket).
start_link() {
  local try
  for try in 1 2 3 4 5; do
    link_port=$((20000 + RANDOM % 20000))
    "$proxy" "$link_port" "$PGHOST/.s.PGSQL.$PGPORT" 250 2>"$work/proxy.log" &
    proxy_pid=$!
    sleep 0.3
    if kill -0 "$proxy_pid" 2>/dev/null; then break; fi
    proxy_pid=""
  done
  [[ -n "$proxy_pid" ]] || { echo "bench: the delay proxy does not start" >&2; exit 1; }
  local through direct
  through=$(select_ms -h 127.0.0.1 -p "$link_port")
  direct=$(select_ms)
  R[link,rtt_ms]=$(awk -v a="$through" -v b="$direct" 'BEGIN{printf "%.2f", a - b}')
}

# The median time in ms of a SELECT 1, of 41, with psql's connection options `$@`.
select_ms() {
  { echo '\timing on'; for ((i = 0; i < 41; i++)); do echo 'SELECT 1;'; done; } |
    psql -X -q -d postgres "$@" 2>/dev/null | sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' | sort -n |
    awk '{v[NR] = $1} END{print (NR ? v[int((NR + 1) / 2)] : 0)}'
}

# The PostgreSQL runs of `n` through the delayed link.
measure_link() {
  local n="$1" out="$work/pg-$n-link" r
  for ((r = 1; r <= repeat; r++)); do
    rm -rf "$out-run"
    psql -X -q -d postgres -c "DROP SCHEMA IF EXISTS bench_link_$n CASCADE" >/dev/null 2>&1
    timed "$out.$r" "$vlb" create "$work/bl-$n" --folder "$out-run" --all --yes --quiet --stage-times \
      --database PostgreSQL --pg-host 127.0.0.1 --pg-port "$link_port" --pg-db postgres \
      --pg-user "$PGUSER" --pg-schema "bench_link_$n" || exit 1
  done
  best_of "$out"
  psql -X -q -d postgres -c "DROP SCHEMA IF EXISTS bench_link_$n CASCADE" >/dev/null 2>&1
  rm -rf "$out-run"
  R[pg,$n,link_wall]=$(field "$out" 1)
  R[pg,$n,link_ratio]=$(div "${R[pg,$n,link_wall]}" "${R[pg,$n,wall]}")
  R[pg,$n,link_trips]=$(round_trips "$out")
}

# --- measure -------------------------------------------------------------
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for n in $sizes; do
  echo "bench: $n requirements: generating" >&2
  generate "$n"
  echo "bench: $n requirements: SQLite" >&2
  measure sqlite "$n"
  echo "bench: $n requirements: deep check" >&2
  measure_check "$n"
done

# Results lines: the middle size once more, every line printed to a file.
lines_n=$(echo "$sizes" | awk '{print $(int((NF + 1) / 2))}')
rm -rf "$work/lines-run"
timed "$work/lines" "$vlb" create "$work/bl-$lines_n" --folder "$work/lines-run" --all --yes --verbose || exit 1
R[lines,count]=$(sed -n 's/.*(\([0-9]*\) results lines.*/\1/p' "$work/lines.stdout")
R[lines,wall]=$(field "$work/lines" 1)
R[lines,cpu]=$(cpu "$work/lines")
rm -rf "$work/lines-run" "$work/lines.stdout"

pg_note=""
if ((postgres)); then
  if ! command -v psql >/dev/null || ! ls /usr/lib/postgresql/*/bin/initdb >/dev/null 2>&1; then
    pg_note="PostgreSQL was not measured: the server binaries or psql are missing."
  else
    eval "$("$root/scripts/pg-test-cluster.sh" start 2>/dev/null)"
    pg_started=1
    for n in $sizes; do
      echo "bench: $n requirements: PostgreSQL" >&2
      measure pg "$n" --database PostgreSQL --pg-host "$PGHOST" --pg-port "$PGPORT" \
        --pg-db postgres --pg-user "$PGUSER"
      echo "bench: $n requirements: pg_restore" >&2
      measure_restore "$n"
    done
    start_link
    for n in $sizes; do
      echo "bench: $n requirements: PostgreSQL over a ${R[link,rtt_ms]} ms link" >&2
      measure_link "$n"
    done
  fi
else
  pg_note="PostgreSQL was not measured (--no-postgres)."
fi
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- report -------------------------------------------------------------
# The stage names of the run, as the copiers are called.
stage_label() {
  case "$1" in
    CheckBaseline) echo "baseline check (before anything is written)" ;;
    CreateProject) echo "create project" ;;
    CopyXMLGroupInfo) echo "groups" ;;
    CopyXMLUserInfo) echo "users" ;;
    Reopen) echo "reopenings (3)" ;;
    CopyXMLProjInfo) echo "project, history" ;;
    CopyXMLAttrInfo) echo "attributes" ;;
    CopyXMLReqTypeInfo) echo "requirement types" ;;
    ConnectXMLReqTypeAttrs) echo "type attributes" ;;
    CopyXMLDocTypeInfo) echo "document types" ;;
    CopyXMLExtProjInfo) echo "external projects" ;;
    CopyXMLGroupSecInfo) echo "group rights" ;;
    CopyXMLQueryDefs) echo "query definitions" ;;
    CopyXMLPkgInfo) echo "packages (docs, views, reqs)" ;;
    CopyXMLPkgTraceInfo) echo "traces" ;;
    CopyXMLDiscInfo) echo "discussions" ;;
    WriteGUIDMapFiles) echo "GUID map files" ;;
    *) echo "$1" ;;
  esac
}

verdict() {
  awk -v a="$1" -v b="$2" 'BEGIN{
    if (a !~ /^[0-9.]+$/) print "not measured"; else print (a + 0 <= b + 0) ? "met" : "**not met**" }'
}

report_db() {
  local db="$1" title="$2" yard="$3" n first=""
  echo "### $title"
  echo
  echo "| requirements | wall s | CPU s | statements | statements/s | peak MB | log MB | $yard wall s | $yard CPU s | run / replay |"
  echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  for n in $sizes; do
    echo "| $n | ${R[$db,$n,wall]} | ${R[$db,$n,cpu]} | ${R[$db,$n,statements]} | ${R[$db,$n,rate]} | ${R[$db,$n,peak_mb]} | ${R[$db,$n,log_mb]} | ${R[$db,$n,replay_wall]} | ${R[$db,$n,replay_cpu]} | ${R[$db,$n,ratio]} |"
  done
  echo
  echo "Time per stage (s):"
  echo
  printf '| stage |'
  for n in $sizes; do printf ' %s |' "$n"; done
  printf '\n|---|'
  for n in $sizes; do printf -- '---:|'; done
  echo
  first=$(echo "$sizes" | awk '{print $1}')
  while read -r stage _; do
    printf '| %s |' "$(stage_label "$stage")"
    for n in $sizes; do
      printf ' %s |' "$(echo "${R[$db,$n,stages]}" | awk -v s="$stage" '$1 == s {print $2}')"
    done
    echo
  done <<<"${R[$db,$first,stages]}"
  echo
  echo "Verification (\`vlbaseline verify\` of the project the run created):"
  echo
  echo "| requirements | create wall s | verify wall s | verify CPU s | verify peak MB | verify / create | result |"
  echo "|---:|---:|---:|---:|---:|---:|---|"
  for n in $sizes; do
    echo "| $n | ${R[$db,$n,wall]} | ${R[$db,$n,verify_wall]} | ${R[$db,$n,verify_cpu]} | ${R[$db,$n,verify_peak_mb]} | ${R[$db,$n,verify_ratio]} | ${R[$db,$n,verify_result]} |"
  done
  echo
  echo "Replayed database holds the same rows (requirements, traces):"
  for n in $sizes; do echo "${n}: ${R[$db,$n,check]};"; done | paste -sd' '
  for n in $sizes; do
    [[ -z "${R[$db,$n,replay_error]:-}" ]] || echo "- $n: the replay failed: \`${R[$db,$n,replay_error]}\`"
  done
  echo
}

report_check() {
  echo "### Deep check of the baseline"
  echo
  echo "\`vlbaseline validate\` (the deep check of everything the baseline holds) against the"
  echo "SQLite creation run without the check that \`create\` now runs first."
  echo
  echo "| requirements | check wall s | check CPU s | check peak MB | check within create s | creation wall s | check / creation |"
  echo "|---:|---:|---:|---:|---:|---:|---:|"
  for n in $sizes; do
    echo "| $n | ${R[check,$n,wall]} | ${R[check,$n,cpu]} | ${R[check,$n,peak_mb]} | ${R[check,$n,in_create]} | ${R[check,$n,creation]} | ${R[check,$n,ratio]} |"
  done
  echo
}

targets() {
  local ns=($sizes) last="${sizes##* }" i
  echo "| target | measured | |"
  echo "|---|---|---|"
  for n in $sizes; do
    echo "| SQLite, $n: run <= 1.5 x replay of its log | ${R[sqlite,$n,ratio]} x | $(verdict "${R[sqlite,$n,ratio]}" 1.5) |"
  done
  if [[ " $sizes " == *" 100000 "* ]]; then
    echo "| SQLite, 100000 requirements in <= 20 s | ${R[sqlite,100000,wall]} s | $(verdict "${R[sqlite,100000,wall]}" 20) |"
  fi
  for ((i = 1; i < ${#ns[@]}; i++)); do
    local a="${ns[$((i - 1))]}" b="${ns[$i]}"
    local grow limit ratio
    grow=$(div "$b" "$a" "%.0f")
    limit=$(awk -v g="$grow" 'BEGIN{printf "%.1f", g * 1.1}')
    ratio=$(div "${R[sqlite,$b,wall]}" "${R[sqlite,$a,wall]}")
    echo "| SQLite, ${grow}x the requirements ($a to $b) <= ${limit}x the time | ${ratio}x | $(verdict "$ratio" "$limit") |"
  done
  for n in $sizes; do
    echo "| $n: deep check <= 1/3 of the creation on SQLite | ${R[check,$n,ratio]} x | $(verdict "${R[check,$n,ratio]}" 0.334) |"
  done
  echo "| SQLite, $last: peak memory <= 2 x largest baseline file (${R[bl,$last,largest_mb]} MB) | ${R[sqlite,$last,peak_mb]} MB | $(verdict "${R[sqlite,$last,peak_mb]}" "$(awk -v m="${R[bl,$last,largest_mb]}" 'BEGIN{print 2 * m}')") |"
  for n in $sizes; do
    echo "| SQLite, $n: verify <= create | ${R[sqlite,$n,verify_ratio]} x | $(verdict "${R[sqlite,$n,verify_ratio]}" 1) |"
  done
  if [[ -z "$pg_note" ]]; then
    for n in $sizes; do
      echo "| PostgreSQL, $n: verify <= create | ${R[pg,$n,verify_ratio]} x | $(verdict "${R[pg,$n,verify_ratio]}" 1) |"
    done
    for n in $sizes; do
      echo "| PostgreSQL, $n: run <= 1.5 x psql replay of its log | ${R[pg,$n,ratio]} x | $(verdict "${R[pg,$n,ratio]}" 1.5) |"
    done
    echo "| PostgreSQL, $last: round trips per requirement <= 0.1 | ${R[pg,$last,trips_per_req]} | $(verdict "${R[pg,$last,trips_per_req]}" 0.1) |"
    echo "| PostgreSQL, $last: run <= 3 x the SQLite run | ${R[pg,$last,sqlite_ratio]} x | $(verdict "${R[pg,$last,sqlite_ratio]}" 3) |"
    echo "| PostgreSQL, $last: run <= 4 x pg_restore of its schema | ${R[pg,$last,restore_ratio]} x | $(verdict "${R[pg,$last,restore_ratio]}" 4) |"
    echo "| PostgreSQL, $last: over a ${R[link,rtt_ms]} ms link <= 1.5 x on the socket | ${R[pg,$last,link_ratio]} x | $(verdict "${R[pg,$last,link_ratio]}" 1.5) |"
  fi
}

# PostgreSQL against its yardsticks: the SQLite run, pg_restore of the same
# schema, and the same run over the delayed link.
report_pg_yardsticks() {
  local n
  echo "Round trips and yardsticks (run / pg_restore: pg_restore of the schema each timed run made, from a" \
    "custom-format pg_dump, right after that run; load: the 1-minute load average before each run / its" \
    "pg_restore; link: through bench/delay_proxy.cpp, ${R[link,rtt_ms]} ms more per round trip):"
  echo
  echo "| requirements | round trips | per requirement | run / SQLite run | pg_restore wall s | run / pg_restore | load | link wall s | link round trips | link / socket |"
  echo "|---:|---:|---:|---:|---:|---:|---|---:|---:|---:|"
  for n in $sizes; do
    echo "| $n | ${R[pg,$n,round_trips]} | ${R[pg,$n,trips_per_req]} | ${R[pg,$n,sqlite_ratio]} | ${R[pg,$n,restore_wall]} | ${R[pg,$n,restore_ratio]} |${R[pg,$n,loads]} | ${R[pg,$n,link_wall]} | ${R[pg,$n,link_trips]} | ${R[pg,$n,link_ratio]} |"
  done
  echo
  echo "CPU seconds of the work, client and server (the server's from /proc: its backends, WAL" \
    "writer, checkpointer, autovacuum), against pg_restore's:"
  echo
  echo "| requirements | run client | run server | run total | pg_restore client | pg_restore server | pg_restore total | run / pg_restore |"
  echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
  for n in $sizes; do
    echo "| $n | ${R[pg,$n,cpu]} | ${R[pg,$n,server_cpu]} | ${R[pg,$n,run_cpu]} | $(cpu "$work/pg-$n-restore") | $(cat "$work/pg-$n-restore.server") | ${R[pg,$n,restore_cpu]} | ${R[pg,$n,cpu_ratio]} |"
  done
  echo
}

report() {
  echo "<!-- bench:begin (written by bench/run.sh; everything up to bench:end is replaced) -->"
  echo
  echo "## Measured $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "- Machine: $(sed -n 's/^model name[[:space:]]*: *//p' /proc/cpuinfo | head -1), $(nproc) cores," \
    "$(awk '/^MemTotal:/{printf "%.0f", $2 / 1048576}' /proc/meminfo) GB memory;" \
    "$(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r);" \
    "work folder on $(df -T "$work" | awk 'NR==2{print $2}')."
  echo "- Software: SQLite $(sqlite3 --version | cut -d' ' -f1)$(command -v psql >/dev/null && echo ", $(psql --version)");" \
    "vlbaseline at commit $(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD -- src || echo ' (with changes)'), $(basename "$build")."
  echo "- Load average (1, 5, 15 min) before: $load_before; after: $load_after." \
    "Times are the best of $repeat runs; CPU is user + system time of the measured process" \
    "(for PostgreSQL the server's work is not in it)."
  echo
  echo "Baselines (tools/gen-baseline, seed 7):"
  echo
  echo "| requirements | packages | size MB | largest file MB |"
  echo "|---:|---:|---:|---|"
  for n in $sizes; do
    echo "| $n | ${R[bl,$n,packages]} | ${R[bl,$n,mb]} | ${R[bl,$n,largest_mb]} (${R[bl,$n,largest_name]}) |"
  done
  echo
  targets
  echo
  report_db sqlite "SQLite" "sqlite3"
  report_check
  echo "Results lines: $lines_n requirements without --quiet, ${R[lines,count]} lines to a file:" \
    "${R[lines,wall]} s wall, ${R[lines,cpu]} s CPU (with --quiet: ${R[sqlite,$lines_n,wall]} s, ${R[sqlite,$lines_n,cpu]} s)."
  echo
  if [[ -n "$pg_note" ]]; then
    echo "$pg_note"
  else
    report_db pg "PostgreSQL (local throwaway cluster, socket)" "psql"
    report_pg_yardsticks
  fi
  echo
  echo "<!-- bench:end -->"
}

results="$root/bench/RESULTS.md"
report >"$work/report.md"
if [[ -f "$results" ]] && grep -q '<!-- bench:begin' "$results"; then
  awk -v f="$work/report.md" '
    /<!-- bench:begin/ { while ((getline line < f) > 0) print line; skip = 1; next }
    /<!-- bench:end/ { skip = 0; next }
    !skip' "$results" >"$work/results.new"
  mv "$work/results.new" "$results"
else
  { echo "# Benchmark results"; echo; cat "$work/report.md"; } >"$results"
fi
cat "$work/report.md"
echo "bench: results written to bench/RESULTS.md" >&2
