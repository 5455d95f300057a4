#!/usr/bin/env bash
# The Windows check: builds the Windows package (scripts/build-windows.sh) and the unit tests
# for Windows, then runs both under Wine on a virtual X display (Xvfb, 1024x768x24):
#   - the geometry, scene, render and log tests, with ctest;
#   - the viewer end to end on a copy of build-windows/dist/: its frames equal vexmont-shot's
#     for the same keys, Escape ends it with exit code 0, the early exits leave their log
#     lines, it runs without Font.bmp, and BSP.log has CRLF line ends;
#   - the viewer without Wine's virtual desktop, where the display refuses 512 x 384.
# Everything runs in a fresh Wine prefix under build-windows/. Exit code 1 when any check
# failed. Installs its Debian packages when run as root, like the other scripts.
set -euo pipefail
trap 'echo "test-windows.sh: stopped by a failing command at line $LINENO" >&2' ERR
cd "$(dirname "$0")/.."
root=$PWD
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
jobs=${JOBS:-2}
started=$(date +%s)

bash scripts/build-windows.sh
# The expected frames come from vexmont-shot; screen-match finds them on the screen.
if ! grep -q '^VEXMONT_TESTS:BOOL=ON' build/CMakeCache.txt; then
  cmake -S . -B build -DVEXMONT_TESTS=ON
fi
cmake --build build -j "$jobs" --target vexmont-shot screen-match
cmake -S . -B build-windows -DVEXMONT_TESTS=ON >/dev/null
cmake --build build-windows -j "$jobs"
built=$(date +%s)

shot=$root/build/tools/shot/vexmont-shot
match=$root/build/tests/e2e/screen-match
check=$root/build-windows/check
rm -rf "$check"
mkdir -p "$check"

export WINEPREFIX=$root/build-windows/wineprefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
# A server left from an earlier run of this prefix ends first.
if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
rm -rf "$WINEPREFIX"

xvfb_pid=""
viewer_pid=""
cleanup() {
  [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  return 0
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$check/display" 2>"$check/xvfb.txt" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$check/display" ] && break; sleep 0.1; done
[ -s "$check/display" ] || { echo "Xvfb did not start:" >&2; cat "$check/xvfb.txt" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$check/display")

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# The prefix, with Wine's virtual desktop: without it the display mode cannot change under Xvfb.
timeout 300 wineboot -i >"$check/wineboot.txt" 2>&1 || { cat "$check/wineboot.txt" >&2; exit 1; }
set_virtual_desktop() {
  if [ "$1" = on ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  else
    wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
  fi
  # A desktop started with the old setting ends with the server.
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p
  # Wine's own background processes (services, the desktop) start now, away from any pipe:
  # started by a test program under ctest they would keep its output open and it would wait.
  wine cmd /c exit </dev/null >/dev/null 2>&1
}
set_virtual_desktop on
prepared=$(date +%s)

echo "== Unit tests under Wine"
if timeout 600 ctest --test-dir build-windows -j "$jobs" --output-on-failure >"$check/ctest.txt" 2>&1; then
  pass "$(grep 'tests passed' "$check/ctest.txt")"
else
  cat "$check/ctest.txt" >&2
  fail "unit tests under Wine"
fi
unit_done=$(date +%s)

echo "== The viewer under Wine"
CR=$'\r'
banner="__________BSP - Log__________"
full_log=$(printf '%s\r\n' "$banner" "DDraw is running.." "Loading tree .." "    OK" \
           "Init engine ..." "    OK" "Loading textures ..." "    OK" "Rendering !")

# copy_dist NAME: a fresh copy of the package in $check/NAME.
copy_dist() {
  rm -rf "$check/$1"
  cp -r build-windows/dist "$check/$1"
}
# expect_frame NAME DIR SHOT_ARGS...: vexmont-shot's frame for a copy of DIR and the keys.
expect_frame() {
  local name=$1 dir=$2
  shift 2
  rm -rf "$check/shot-$name"
  cp -r "$dir" "$check/shot-$name"
  "$shot" --dir "$check/shot-$name" "$@" --out "$check/expected-$name.ppm" >/dev/null
}
# start_viewer DIR: wine vexmont.exe in DIR, in the background.
start_viewer() {
  (cd "$1" && exec wine vexmont.exe) >"$1.out" 2>&1 &
  viewer_pid=$!
}
# wait_for_log DIR TEXT SECONDS: until BSP.log holds the line TEXT (or the viewer ended).
wait_for_log() {
  for _ in $(seq $(($3 * 10))); do
    grep -q "^$2$CR\$" "$1/BSP.log" 2>/dev/null && return 0
    kill -0 "$viewer_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# shows NAME [--with-counter]: the screen shows expected-NAME.ppm within 10 s.
frame_at=""
shows() {
  local out
  for _ in $(seq 20); do
    if out=$("$match" "$DISPLAY" "$check/expected-$1.ppm" "$check" ${2:-}); then
      frame_at=$out
      pass "frame '$1': $out"
      return 0
    fi
    sleep 0.5
  done
  cp "$check/screen.ppm" "$check/screen-$1.ppm" 2>/dev/null || true
  fail "frame '$1' not on the screen: $out (screen in $check/screen-$1.ppm)"
}
# key KEY...: key-downs to the viewer, the pointer over its frame (the X focus follows it).
key() {
  local xy
  xy=$(sed -n 's/frame at (\([0-9]*\), \([0-9]*\))/\1 \2/p' <<<"$frame_at")
  [ -n "$xy" ] && xdotool mousemove $(awk '{print $1 + 256, $2 + 192}' <<<"$xy")
  xdotool key --delay 100 "$@"
}
# ends_on_escape WHAT [LIMIT_MS]: Escape ends the viewer within 2 s with exit code 0.
ends_on_escape() {
  key Escape
  local t0 ms=0 code=0 limit=${2:-2000}
  t0=$(date +%s%N)
  while kill -0 "$viewer_pid" 2>/dev/null && [ "$ms" -le "$limit" ]; do
    sleep 0.05
    ms=$((($(date +%s%N) - t0) / 1000000))
  done
  if kill -0 "$viewer_pid" 2>/dev/null; then
    fail "$1: still running $limit ms after Escape"
    kill "$viewer_pid"
  fi
  wait "$viewer_pid" || code=$?
  viewer_pid=""
  [ "$code" -eq 0 ] && pass "$1: Escape ended it within $ms ms with exit code 0" ||
    fail "$1: exit code $code after Escape"
}
# log_is DIR EXPECTED WHAT
log_is() {
  if [ "$(cat "$1/BSP.log" 2>/dev/null)" = "$2" ] && [ "$(tail -c 2 "$1/BSP.log" | od -An -c | tr -d ' ')" = '\r\n' ]; then
    pass "$3: BSP.log as expected, CRLF line ends"
  else
    fail "$3: BSP.log is:"
    od -c "$1/BSP.log" | head -20 >&2
  fi
}

# A full run: start frame, Left, six Deletes, Escape.
copy_dist run
expect_frame start "$check/run"
expect_frame left "$check/run" --keys left
expect_frame forward "$check/run" --keys left,delete,delete,delete,delete,delete,delete
start_viewer "$check/run"
if wait_for_log "$check/run" "Rendering !" 60; then
  shows start
  key Left
  shows left
  key Delete Delete Delete Delete Delete Delete
  shows forward
  ends_on_escape "full run"
  log_is "$check/run" "$full_log" "full run"
else
  fail "full run: no \"Rendering !\" in BSP.log"
  cat "$check/run/BSP.log" "$check/run.out" >&2
fi

# The early exits a user can cause: exit code 0, the log tells how far start-up got.
early_exit() { # NAME EXPECTED_LOG
  local code=0
  (cd "$check/$1" && timeout 60 wine vexmont.exe) >"$check/$1.out" 2>&1 || code=$?
  [ "$code" -eq 0 ] && pass "$1: exit code 0" || fail "$1: exit code $code"
  log_is "$check/$1" "$2" "$1"
}
copy_dist no-map
rm "$check/no-map/Vuze.BSP"
early_exit no-map "$(printf '%s\r\n' "$banner" "DDraw is running.." "Loading tree ..")"
copy_dist no-texture
rm "$(ls "$check"/no-texture/Textures/*.bmp | head -n1)"
early_exit no-texture "$(printf '%s\r\n' "$banner" "DDraw is running.." "Loading tree .." "    OK" \
                        "Init engine ..." "    OK" "Loading textures ...")"

# Without Font.bmp: the same frames, with no counter.
copy_dist run
rm "$check/run/Font.bmp"
expect_frame no-font "$check/run"
start_viewer "$check/run"
if wait_for_log "$check/run" "Rendering !" 60; then
  shows no-font --with-counter
  ends_on_escape "without Font.bmp"
else
  fail "without Font.bmp: no \"Rendering !\" in BSP.log"
fi

# Without the virtual desktop the display refuses 512 x 384; the frames still show.
set_virtual_desktop off
copy_dist run
start_viewer "$check/run"
if wait_for_log "$check/run" "Rendering !" 60; then
  shows start
  # Without a desktop window of its own, Wine's X11 driver waits 2 s for the X server to
  # withdraw the full-screen window (which only a window manager does) before the program ends.
  ends_on_escape "display mode refused" 5000
  log_is "$check/run" "$full_log" "display mode refused"
else
  fail "display mode refused: no \"Rendering !\" in BSP.log"
fi

finished=$(date +%s)
echo "Windows check: $((finished - started)) s (builds $((built - started)) s, Wine prefix $((prepared - built)) s," \
     "unit tests $((unit_done - prepared)) s, viewer $((finished - unit_done)) s), $failures failure(s)"
[ "$failures" -eq 0 ]
