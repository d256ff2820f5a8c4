#!/usr/bin/env bash
# The Windows build, tested on Linux: cross-builds rose.exe and its tests with
# MinGW-w64, runs the tests under Wine, then runs rose.exe as a user would, in a
# terminal (tmux) with its window on a bare X server (Xvfb): the help text, keys,
# screenshots compared with the picture rose_win_reference works out, exit status.
#
#   run.sh WORK_DIR REFERENCE_TOOL
#
# Every wait is bounded. Files of a failed run stay in WORK_DIR/smoke.
set -euo pipefail

work=$(realpath -m "$1")
reference=$(realpath "$2")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$work/build
smoke=$work/smoke
displays=${ROSE_WIN_DISPLAYS:-20 21 22 23 24 25 26 27 28 29}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "== $*"; }

# ---- Tools ---------------------------------------------------------------------------
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump "$wine" "$wineserver" \
  Xvfb xdpyinfo xwininfo xwd xlogo convert tmux timeout; do
  command -v "$tool" > /dev/null || fail "$tool is missing: run scripts/install-deps"
done

export WINEPREFIX=$build/wine WINEDEBUG=-all
xvfb_pid=
xlogo_pid=
sock=
runs=0
cleanup() {
  [ -z "$sock" ] || tmux -L "$sock" kill-server 2> /dev/null || true
  [ -z "$xlogo_pid" ] || kill "$xlogo_pid" 2> /dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2> /dev/null || true
  timeout 20 "$wineserver" -k 2> /dev/null || true
}
trap cleanup EXIT

# Runs "$@" until it succeeds, every 0.1 s, for at most $1 seconds.
wait_for() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

# ---- Build ---------------------------------------------------------------------------
step "cross build (log: $work/build.log)"
mkdir -p "$work"
(cd "$source_dir" && cmake --preset windows -B "$build" && cmake --build "$build" -j2) \
  > "$work/build.log" 2>&1 || {
  tail -40 "$work/build.log"
  fail "the cross build failed"
}
exe=$build/rose.exe

# What users get: the zip, holding the executable and its read-me.
step "Windows zip"
rm -rf "$work/zip"
(cd "$build" && cpack -G ZIP -B "$work/zip") > "$work/cpack.log" 2>&1 || {
  tail -20 "$work/cpack.log"
  fail "cpack failed"
}
zip=$(ls "$work"/zip/*.zip)
contents=$(cd "$work/zip" && cmake -E tar tf "$zip" | sort | tr '\n' ' ')
[ "$contents" = "README.txt rose.exe " ] || fail "the zip holds: $contents"
(cd "$work/zip" && cmake -E tar xf "$zip")
zipped=$work/zip/rose.exe
x86_64-w64-mingw32-objdump -f "$zipped" | grep -q 'file format pei-x86-64' ||
  fail "the zip's rose.exe is not a PE x86-64 executable"
dlls=$(x86_64-w64-mingw32-objdump -p "$zipped" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort)
echo "$(basename "$zip"): rose.exe $(stat -c %s "$zipped") bytes; DLLs: $(echo $dlls)"
for dll in $dlls; do
  case $dll in
    kernel32.dll | user32.dll | gdi32.dll | winmm.dll | msvcrt.dll) ;;
    *) fail "rose.exe needs $dll, which Windows does not bring" ;;
  esac
done

# ---- Wine ----------------------------------------------------------------------------
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "Wine prefix $WINEPREFIX (first start: can take a minute)"
  timeout 300 "$wine" wineboot -i < /dev/null > "$work/wineboot.log" 2>&1 || {
    cat "$work/wineboot.log"
    fail "wineboot did not finish"
  }
fi
# One server and one set of Wine's background processes for all runs below, started
# with none of this script's output open (CTest waits for every holder of it).
timeout 30 "$wineserver" -p 120 < /dev/null > /dev/null 2>&1 || true
timeout 120 "$wine" wineboot < /dev/null > "$work/wineboot.log" 2>&1 || {
  cat "$work/wineboot.log"
  fail "Wine did not start"
}

step "unit and scenario tests under Wine"
ctest --test-dir "$build" --output-on-failure --timeout 600 || fail "tests under Wine failed"

# ---- The X server and the terminal ---------------------------------------------------
rm -rf "$smoke"
mkdir -p "$smoke"
display=
for d in $displays; do
  [ ! -e "/tmp/.X$d-lock" ] && [ ! -e "/tmp/.X11-unix/X$d" ] || continue
  Xvfb ":$d" -screen 0 1024x768x24 -nolisten tcp > "$smoke/xvfb.log" 2>&1 &
  xvfb_pid=$!
  if wait_for 10 xdpyinfo -display ":$d" > /dev/null 2>&1; then
    display=:$d
    break
  fi
  kill "$xvfb_pid" 2> /dev/null || true
  xvfb_pid=
done
[ -n "$display" ] || fail "no X display free among :${displays// /, :}"
step "Xvfb on $display"

tmux_() { tmux -L "$sock" "$@"; }
screen() { tmux_ capture-pane -p -t rose; }
# Starts rose.exe in a new terminal (a tmux server of its own), through winctl run,
# which checks that the console's input mode is as before; the exit status goes to
# $smoke/status (99: the mode was left changed).
start_rose() {
  rm -f "$smoke/status"
  [ -z "$sock" ] || tmux_ kill-server 2> /dev/null || true
  runs=$((runs + 1))
  sock=rose-win-$$-$runs
  tmux_ -f /dev/null new-session -d -s rose -x 100 -y 40 \
    -e "DISPLAY=$display" -e "WINEPREFIX=$WINEPREFIX" -e "WINEDEBUG=-all" -e "LANG=C.UTF-8" \
    "cd '$build' && '$wine' tests/windows/winctl.exe run rose.exe 2> '$smoke/stderr.txt'; echo \$? > '$smoke/status'; sleep 600"
  # Wine's console does not turn tmux's Home and End (ESC[1~, ESC[4~) into keys; these
  # do it for anyone who attaches. Keys sent below give ESC[H and ESC[F themselves.
  tmux_ bind-key -n Home send-keys Escape '[H'
  tmux_ bind-key -n End send-keys Escape '[F'
}
key() { tmux_ send-keys -t rose "$@"; }
home() { key -H 1b 5b 48; }
end_key() { key -H 1b 5b 46; }
ended() { [ -s "$smoke/status" ]; }
# The exit status of the run that has ended; a run that left the console changed fails.
exit_status() {
  local status
  status=$(cat "$smoke/status")
  [ "$status" != 99 ] || fail "the console input mode was not restored: $(screen | grep 'console input mode')"
  echo "$status"
}

# ---- Window and screenshots ------------------------------------------------------------
window_id() { xwininfo -display "$display" -root -tree | awk '/"rose": \("rose.exe"/ {print $1; exit}'; }
found_window() { id=$(window_id) && [ -n "$id" ]; }
shot() { xwd -display "$display" -silent -id "$id" | convert xwd:- "$1"; }
# A screenshot taken twice in a row, unchanged: the window is showing all it has.
stable_shot() {
  local end=$((SECONDS + 10))
  shot "$1.a.ppm" 2> /dev/null || true
  while :; do
    sleep 0.2
    if shot "$1" 2> /dev/null && cmp -s "$1" "$1.a.ppm"; then
      rm -f "$1.a.ppm"
      return 0
    fi
    [ $SECONDS -lt $end ] || fail "the window did not settle for $1"
    cp "$1" "$1.a.ppm" 2> /dev/null || true
  done
}
all_black() { [ "$(convert "$1" -format '%k %[fx:maxima]' info:)" = "1 0" ]; }
changed_from() { shot "$smoke/now.ppm" 2> /dev/null && ! cmp -s "$smoke/now.ppm" "$1"; }
winctl() {
  DISPLAY=$display timeout 20 "$wine" "$build/tests/windows/winctl.exe" "$1" || fail "winctl $1 failed"
}
gone() { ! xwininfo -display "$display" -id "$id" > /dev/null 2>&1; }

# Matches a screenshot with the reference after some number of passes; prints it.
passes() {
  local shot_file=$1
  shift
  "$reference" "$shot_file" "$@" --nearest "$shot_file.expected.ppm" ||
    fail "$shot_file is not the reference picture (nearest: $shot_file.expected.ppm)"
}

# ---- Run 1: help text, picture, keys, window handling, End ---------------------------
step "rose.exe in tmux"
start_rose
cat > "$smoke/help.txt" << 'EOF'
Если вы не можете выбрать ваш флимарский знак это пр. для вас !
Управление : --------------------------------------------------
< Home > - пауза.
Стрелки вправо, влево - изменение формы.
Стрелки вверх, вниз -  изменение размера.
< Page Up >, < Page down > - измененме цвета.
< delete > - очистка экрана.
< End >  - выход.
--------------------------------------------------------------
Press any key
EOF
help_shown() { screen | head -10 | cmp -s - "$smoke/help.txt"; }
wait_for 60 help_shown || {
  screen > "$smoke/screen.txt"
  diff "$smoke/help.txt" <(head -10 "$smoke/screen.txt") || true
  fail "no help text in the terminal"
}
echo "help text: as expected"

wait_for 20 found_window || fail "no window named rose on $display"
geometry=$(xwininfo -display "$display" -id "$id" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
read -r width height <<< "$geometry"
echo "window: $width x $height on a 1024 x 768 screen"
[ "$width" -le 1024 ] && [ "$height" -le 768 ] && [ "$width" -ge 900 ] && [ "$height" -ge 680 ] ||
  fail "the window is not about as large as the desktop"
stable_shot "$smoke/0-before-key.ppm"
all_black "$smoke/0-before-key.ppm" || fail "the window is not black before the first key"

key x  # ends the help screen
wait_for 10 changed_from "$smoke/0-before-key.ppm" || fail "nothing drawn after the first key"
home
stable_shot "$smoke/1-home.ppm"
p1=$(passes "$smoke/1-home.ppm")
echo "Home paused after $p1 passes: the picture is the reference's"
[ "$p1" -ge 5 ] || fail "only $p1 passes drawn"

# While paused, the picture must come back whole after being covered and minimised.
xlogo -display "$display" -geometry 500x400+100+100 > /dev/null 2>&1 &
xlogo_pid=$!
logo_shown() { xwininfo -display "$display" -name xlogo 2> /dev/null | grep -q IsViewable; }
wait_for 10 logo_shown || fail "xlogo did not show"
kill "$xlogo_pid"
wait "$xlogo_pid" 2> /dev/null || true
xlogo_pid=
stable_shot "$smoke/2-uncovered.ppm"
cmp -s "$smoke/1-home.ppm" "$smoke/2-uncovered.ppm" || fail "the picture did not come back after being covered"
echo "covered and uncovered: intact"

# Under Wine with no window manager the X window stays mapped while minimised, so the
# state is checked on the Windows side, and a repaint of the whole window is asked for.
winctl minimize
winctl restore
winctl repaint
stable_shot "$smoke/3-restored.ppm"
cmp -s "$smoke/1-home.ppm" "$smoke/3-restored.ppm" || fail "the picture did not come back after minimising"
echo "minimised, restored, repainted: intact"

winctl keys  # End, Home, O, G typed into the window: ignored
sleep 1      # nothing to wait for: what must not happen has a second to happen
! ended || fail "keys typed into the window ended the program"
stable_shot "$smoke/4-window-keys.ppm"
cmp -s "$smoke/1-home.ppm" "$smoke/4-window-keys.ppm" || fail "keys typed into the window changed the picture"
echo "keys in the window: ignored"

# Each command key resumes from a pause (its 0 ends the pause, its code acts in the next
# pass); Home pauses again; the picture must be the reference's with every key so far.
# Stretches stay short: some 355 passes on (355 radians are nearly 113 half turns) the
# chords retrace earlier ones, and the number of passes could not be told any more.
keys=()
last=$p1
previous=$smoke/1-home.ppm
n=5
for command in PageUp:I Right:M Up:H Left:K Down:P PageDown:Q Delete:S; do
  name=${command%:*}
  letter=${command#*:}
  key "$name"
  keys+=("$((last + 2)):$letter")
  wait_for 10 changed_from "$previous" || fail "nothing drawn after $name"
  home
  previous=$smoke/$n-$name.ppm
  stable_shot "$previous"
  last=$(passes "$previous" "${keys[@]}")
  echo "$name then Home: paused after $last passes, the reference's picture"
  n=$((n + 1))
done

winctl close
wait_for 10 gone || fail "the window did not close"
sleep 1  # as above: the program must still be there a second later
! ended || fail "the program ended when its window was closed (status $(cat "$smoke/status"))"
key x  # resumes the drawing, unseen
end_key
wait_for 20 ended || fail "End did not end the program"
status=$(exit_status)
[ "$status" = 0 ] || fail "End gave exit status $status"
[ ! -s "$smoke/stderr.txt" ] || fail "rose.exe wrote to standard error: $(cat "$smoke/stderr.txt")"
echo "window closed, program went on; End: exit status 0"

# ---- Run 2: Ctrl+C ends it, End before any drawing --------------------------------
start_rose
wait_for 60 help_shown || fail "no help text in the second run"
key C-c
wait_for 20 ended || fail "Ctrl+C did not end the program"
status=$(exit_status)
[ "$status" != 0 ] || fail "Ctrl+C gave exit status 0"
echo "Ctrl+C: ended, exit status $status; $(screen | grep 'console input mode')"

start_rose
wait_for 60 help_shown || fail "no help text in the third run"
wait_for 20 found_window || fail "no window in the third run"
end_key  # ends the help screen with its 0; its 79 ends the program in the first pass
wait_for 20 ended || fail "End on the help screen did not end the program"
status=$(exit_status)
[ "$status" = 0 ] || fail "End on the help screen gave exit status $status"
echo "End on the help screen: exit status 0"

rm -rf "$smoke"
echo "Windows build: all checks passed"
