#!/usr/bin/env bash
# Starts the real program on a virtual X display and closes it with Esc, as a
# user would: once idle and once while a job runs. Either way the process has
# to end at once with exit code 0, and a job cut short must leave an earlier
# output as it was.
#
# Usage: window_process_test.sh PATH/TO/segjoin
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

binary=$1
for tool in Xvfb xdotool perl; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
finish() {
  [ -z "$app_pid" ] || kill -9 "$app_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# Without a display there is no window: the fatal-error path ends the
# program with exit code -1.
code=0
env -u WAYLAND_DISPLAY DISPLAY=:4095 QT_QPA_PLATFORM=xcb \
  timeout 20 "$binary" 2>"$work/no-display.log" || code=$?
[ "$code" -eq 255 ] ||
  fail "no display: exit code $code: $(cat "$work/no-display.log")"
echo "ok: no display: exit code -1"

# Let the X server pick a free display number and tell it back.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
  2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The program works on the folder it lies in, so it runs from a copy.
mkdir "$work/app"
cp "$binary" "$work/app/segjoin"

start_program() {
  "$work/app/segjoin" "$@" &
  app_pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$app_pid" |
    head -n1) || fail "no window appeared"
  # No window manager runs here to give the window the keyboard.
  xdotool windowfocus --sync "$window"
}

# Waits for the program to end by itself, then checks its exit code.
expect_exit_code_0() {
  for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "$1: still running 5 s after Esc"
  local code=0
  wait "$app_pid" || code=$?
  app_pid=""
  [ "$code" -eq 0 ] || fail "$1: exit code $code"
  echo "ok: $1: exit code 0"
}

# Arguments other than Qt's own are ignored.
start_program --help 2023-05-201846011.mp3
xdotool key Escape
expect_exit_code_0 "Esc on the idle window"

# A long series of small segments keeps the job busy for seconds: each one
# costs a file read and several field requests. Hard links make it cheap.
printf '%0300d' 0 >"$work/app/seed"
(cd "$work/app" &&
  perl -e 'for (1 .. 40000) { link "seed", "2023-05-20184601$_.mp3" or die }')
printf 'an earlier output' >"$work/app/合成音频.mp3"

start_program
# Shift+Tab goes from Start to the start-number field; Tab comes back.
xdotool key shift+Tab type 1
xdotool key Tab space
# The job keeps its staging file open in the folder as soon as it has a
# segment (a file without a name where the file system allows it).
job_started() {
  find "/proc/$app_pid/fd" -lname "$work/app/*" 2>/dev/null | grep -q .
}
for _ in $(seq 100); do
  job_started && break
  sleep 0.1
done
job_started || fail "the job did not start"
xdotool key Escape
expect_exit_code_0 "Esc during a job"
[ "$(cat "$work/app/合成音频.mp3")" = "an earlier output" ] ||
  fail "the job was not cut short, or the earlier output changed"
echo "ok: the earlier output is unchanged"
[ -z "$(find "$work/app" -maxdepth 1 -name '*.part' -print -quit)" ] ||
  fail "the job cut short left its staging file behind"
echo "ok: nothing left behind"
