#!/usr/bin/env bash
# Walks the whole wizard under Xvfb, driven by the keyboard through
# xdotool, and saves a picture of the whole screen at every step: for each
# screen size and scale factor below, the empty first step, the chosen
# baseline, a relative folder refused on step 2, every later step, the run
# going on and its end. Not a test: the pictures are for looking at.
#
#   scripts/wizard-screenshots.sh [output folder]   (default: build/screenshots)
#
# BASELINE=folder takes another baseline than the sample (a large one, from
# tools/gen-baseline, shows the run going on); SIZES and SCALES choose
# the screens ("1280x1024 1366x768" and "1 2").
#
# Needs a built build/VlCreateProjFromBaselineWiz, and xvfb-run, xdotool
# and ImageMagick's import (scripts/setup-debian.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m "${1:-build/screenshots}")
mkdir -p "$out"
program=$root/build/VlCreateProjFromBaselineWiz
baseline=$(realpath "${BASELINE:-examples/sample-baseline}")
[ -x "$program" ] || { echo "build the wizard first: $program" >&2; exit 1; }

# One walk on the display xvfb-run gives: $1 the picture name's prefix.
walk() {
  local prefix=$1 scratch
  scratch=$(mktemp -d)
  # A home of its own: no installation, a documents folder, no settings.
  export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config XDG_CONFIG_DIRS=$scratch/etc
  mkdir -p "$HOME/Documents" "$XDG_CONFIG_HOME" "$XDG_CONFIG_DIRS"
  echo "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"" >"$XDG_CONFIG_HOME/user-dirs.dirs"
  export XDG_RUNTIME_DIR=$scratch/run && mkdir -m 700 "$XDG_RUNTIME_DIR"
  "$program" &
  local pid=$!
  shot() { sleep "${2:-1}"; import -window root "$out/$prefix-$1.png"; }
  # Without a window manager the keyboard goes where it is sent: to the
  # window of the program opened last (a dialog over the wizard).
  focus_top() {
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --pid "$pid" | tail -1)"
  }
  key() {
    focus_top
    for k in "$@"; do
      xdotool key --clearmodifiers "$k"
      sleep 0.5
    done
  }
  type_text() {
    focus_top
    xdotool type --delay 20 "$1"
    sleep 0.3
  }
  xdotool search --sync --onlyvisible --name "Create Project from Baseline" >/dev/null
  shot 1-baseline-empty 2
  key alt+r  # Browse...
  sleep 1
  key ctrl+a
  type_text "$baseline"
  key Return
  shot 2-baseline-chosen
  key alt+n
  shot 3-project
  key alt+f ctrl+a
  type_text "relative/folder"
  shot 4-project-relative-refused
  key ctrl+a
  type_text "$scratch/Projects/Brewmate"  # the file takes the folder's name
  key alt+n
  shot 5-create-folder-question
  key alt+y
  key alt+t alt+s  # traces and history
  shot 6-options
  key alt+n
  shot 7-external-projects
  key alt+n
  shot 8-review 2
  key alt+r  # Create
  shot 9-run-going-on 1
  # The project file appears when the run publishes the project.
  for _ in $(seq 600); do
    [ -e "$scratch/Projects/Brewmate/Brewmate.vlp" ] && break
    sleep 1
  done
  shot 10-run-ended 2
  key alt+f  # Finish
  sleep 1
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$scratch"
}

for size in ${SIZES:-1280x1024 1366x768}; do
  for scale in ${SCALES:-1 2}; do
    # shellcheck disable=SC2016  # expanded by the inner shell
    QT_SCALE_FACTOR=$scale QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 ${size}x24" \
      bash ${TRACE:+-x} -c "$(declare -f walk); root='$root' out='$out' program='$program' baseline='$baseline' walk '$size-x$scale'"
  done
done
echo "pictures in $out"
