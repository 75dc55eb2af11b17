#!/usr/bin/env bash
# Installs the build into a scratch prefix, as `cmake --install` does for a
# user or a package, and checks that the installed programs find what they
# ship with, that the manual page and the completion know every option the
# program has, and that the completion offers the right words.
# Arguments: the build folder, the source folder, the project's version.
set -uo pipefail
build=$1 source=$2 version=$3
prefix=$(mktemp -d) && trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "cmake --install failed"; exit 1; }
for file in bin/vlbaseline share/velloq/VlCreateProjFromBaselineWizRes.ini \
  "share/velloq/DB Drivers.dat" share/velloq/HELP/velloq.html share/man/man1/vlbaseline.1.gz \
  share/bash-completion/completions/vlbaseline; do
  [[ -f $prefix/$file ]] || fail "not installed: $file"
done
if [[ -x $build/VlCreateProjFromBaselineWiz ]]; then
  [[ -x $prefix/bin/VlCreateProjFromBaselineWiz ]] || fail "the wizard is not installed"
fi

# Run away from the build folder, so that only the installed files count.
cd "$prefix" || exit 1
program=$prefix/bin/vlbaseline
for option in --version -V; do
  [[ $("$program" $option) == "vlbaseline $version" ]] || fail "$option: $("$program" $option)"
done
"$program" validate "$source/examples/sample-baseline" >/dev/null 2>&1 ||
  fail "the installed program cannot validate the sample (its resource file?)"

# Every option --help names is in the manual page and in the completion.
manual=$(gzip -dc "$prefix/share/man/man1/vlbaseline.1.gz")
completion=$prefix/share/bash-completion/completions/vlbaseline
for option in $("$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  grep -qF -- "${option//-/\\-}" <<<"$manual" || fail "the manual page lacks $option"
  [[ $option == --help || $option == --version ]] ||
    grep -qw -- "$option" "$completion" || fail "the completion lacks $option"
done

# What the completion offers for a command line typed up to its end.
if [[ -r /usr/share/bash-completion/bash_completion ]]; then
  # shellcheck source=/dev/null
  source /usr/share/bash-completion/bash_completion
  # shellcheck source=/dev/null
  source "$completion"
  PATH=$prefix/bin:$PATH
  offers() {
    local line=$1 split
    COMP_LINE=$line COMP_POINT=${#line}
    # bash splits words at blanks and around "=" and ":".
    split=${line//=/ = }
    read -ra COMP_WORDS <<<"${split//:/ : }"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vlbaseline 2>/dev/null  # compopt works only in a real completion
    printf '%s\n' "${COMPREPLY[@]}"
  }
  sample=$source/examples/sample-baseline
  mkdir -p "$prefix/projects" && touch "$prefix/projects/a.vlp" "$prefix/projects/notes.txt"
  while IFS='|' read -r line wanted unwanted; do
    result=$(offers "$line")
    grep -qxF -- "$wanted" <<<"$result" || fail "completing '$line' gives no '$wanted': $result"
    [[ -z $unwanted ]] || ! grep -qxF -- "$unwanted" <<<"$result" ||
      fail "completing '$line' gives '$unwanted'"
  done <<TABLE
vlbaseline cr|create|validate
vlbaseline -|--version|--folder
vlbaseline create $sample --data|--database|
vlbaseline create $sample --database |PostgreSQL|
vlbaseline verify $sample --|--json|--folder
vlbaseline review $sample --|--pg-schema|--sql-log
vlbaseline create $sample --external |{19A4485B-EBD2-4A73-99EB-CCADDA346EF8}=|
vlbaseline create $sample --external {19A4485B-EBD2-4A73-99EB-CCADDA346EF8}=$prefix/projects/|$prefix/projects/a.vlp|$prefix/projects/notes.txt
vlbaseline verify $sample $prefix/projects/|$prefix/projects/a.vlp|$prefix/projects/notes.txt
TABLE
else
  echo "bash-completion is not installed: the completion's offers are not checked"
fi
exit $((failures > 0))
