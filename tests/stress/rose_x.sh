#!/usr/bin/env bash
# The built program in a real terminal (tmux) on a real X server (Xvfb):
#   rose_x.sh walk   ROSE XWIN        one session: draw, steer, resize, pause, close, End
#   rose_x.sh exits  ROSE XWIN COUNT  COUNT runs ended by End, COUNT ended by SIGTERM
#   rose_x.sh window ROSE XWIN COUNT  COUNT runs each of End during a resize and
#                                     around a close request
#   rose_x.sh lost   ROSE XWIN        the X server killed while drawing, then End
# Every run must end with the expected status, an empty standard error (so no
# sanitizer report either), the terminal's stty -g as it was, and its window gone.
# Every wait is bounded. ROSE_TEST_DISPLAYS (first-last) chooses the X displays
# tried, ROSE_TMUX_PREFIX the tmux socket name; ROSE_X_SLOW multiplies the time
# limits (sanitizers start slowly).
set -uo pipefail

mode=$1 rose=$2 xwin=$3 count=${4:-1}
slow=${ROSE_X_SLOW:-1}
range=${ROSE_TEST_DISPLAYS:-50-59}
work=$(mktemp -d "${TMPDIR:-/tmp}/rose-x.XXXXXX")
sock="${ROSE_TMUX_PREFIX:-rose-x}-$$"
xvfb_pid=
failures=0

tmux_() { tmux -u -f /dev/null -L "$sock" "$@"; }

cleanup() {
  tmux_ kill-server 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  if [ "$failures" -eq 0 ]; then rm -rf "$work"; else echo "files kept in $work"; fi
}
trap cleanup EXIT

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Polls the command until it succeeds, at most $1 ms (times ROSE_X_SLOW).
wait_for() {
  local limit=$(($1 * slow)); shift
  local deadline=$(($(now_ms) + limit))
  until "$@"; do
    [ "$(now_ms)" -ge "$deadline" ] && return 1
    sleep 0.02
  done
}

# ---- X server and terminal -----------------------------------------------------------

first=${range%-*} last=${range#*-}
for ((n = first; n <= last; ++n)); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  if wait_for 5000 test -e "/tmp/.X11-unix/X$n" && kill -0 "$xvfb_pid" 2>/dev/null; then
    export DISPLAY=":$n"
    break
  fi
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=  # taken meanwhile
done
[ -n "$xvfb_pid" ] || { echo "no free X display in :$first ... :$last"; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=disabled: LANG=C.UTF-8 LC_ALL=C.UTF-8

# The shell in each pane: stty -g before and after the program, its pid, its standard
# error and its exit status, written last.
cat >"$work/go.sh" <<'EOF'
d=$1
stty -g >"$d/before"
sh -c 'echo $$ >"$0/pid"; exec "$1" 2>"$0/err"' "$d" "$2"
echo $? >"$d/status.new"
stty -g >"$d/after"
mv "$d/status.new" "$d/status"
EOF
{
  for v in DISPLAY DBUS_SESSION_BUS_ADDRESS LANG LC_ALL \
           ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS TSAN_OPTIONS; do
    [ -n "${!v+x}" ] && printf 'export %s=%q\n' "$v" "${!v}"
  done
  cat "$work/go.sh"
} >"$work/go.tmp" && mv "$work/go.tmp" "$work/go.sh"
tmux_ new-session -d -s rose -x 100 -y 30 "sleep 100000" || { echo "tmux would not start"; exit 1; }

# ---- One run ------------------------------------------------------------------

run=0 dir= win=
fail() {
  echo "run $run ($dir): $*"
  tmux_ capture-pane -p -t "rose:r$run" 2>/dev/null | sed 's/^/  | /' | head -20
  [ -s "$dir/err" ] && sed 's/^/  err| /' "$dir/err" | head -40
  [ -f "$dir/pid" ] && kill -KILL "$(cat "$dir/pid")" 2>/dev/null
  failures=$((failures + 1))
  return 1
}

start() {
  run=$((run + 1)) dir="$work/r$run" win=
  mkdir -p "$dir"
  tmux_ new-window -d -t rose -n "r$run" "sh $work/go.sh $dir $rose"
}
help_shown() { tmux_ capture-pane -p -t "rose:r$run" 2>/dev/null | grep -q 'Press any key'; }
wait_help() { wait_for 10000 help_shown || fail "no instruction screen"; }
keys() { tmux_ send-keys -t "rose:r$run" "$@" || fail "no pane to type into"; }
find_window() { win=$("$xwin" find rose $((5000 * slow))) || fail "no window"; }
lit() { "$xwin" lit "$win" 2>/dev/null || echo -1; }
lit_above() { [ "$(lit)" -gt "$1" ]; }
lit_below() { local l; l=$(lit); [ "$l" -ge 0 ] && [ "$l" -lt "$1" ]; }
drawing() { wait_for 5000 lit_above 0 || fail "nothing drawn"; }
started() { wait_for 10000 test -s "$dir/pid" || fail "the program did not start"; }

# Waits for the end and checks it: status $1, standard error $2 (none by default),
# terminal as it was.
finish() {
  wait_for 15000 test -e "$dir/status" || { fail "no end"; return 1; }
  local status; status=$(cat "$dir/status")
  [ "$status" = "$1" ] || { fail "exit status $status, expected $1"; return 1; }
  [ "$(cat "$dir/err")" = "${2:-}" ] || { fail "standard error not as expected"; return 1; }
  cmp -s "$dir/before" "$dir/after" ||
    { fail "terminal left changed: $(cat "$dir/before") -> $(cat "$dir/after")"; return 1; }
  [ -z "$win" ] || "$xwin" gone "$win" $((5000 * slow)) ||
    { fail "window outlived the program"; return 1; }
}

# ---- Modes -------------------------------------------------------------------

walk() {
  start
  wait_help || return
  find_window || return
  [ "$(lit)" = 0 ] || { fail "window not black before the first key"; return; }
  keys Space
  wait_for 10000 lit_above 1000 || { fail "nothing drawn"; return; }
  # Draws on for a few seconds, steered meanwhile.
  local t0 l0; t0=$(now_ms) l0=$(lit)
  drawn_for() { [ $(($(now_ms) - t0)) -ge "$1" ] && lit_above "$l0"; }
  keys Up Up PageUp
  wait_for 10000 drawn_for 2000 || { fail "drawing stopped"; return; }
  l0=$(lit)
  keys Right
  wait_for 5000 lit_below "$l0" || { fail "Right did not clear"; return; }
  "$xwin" resize "$win" 600 450 || { fail "resize refused"; return; }
  t0=$(now_ms) l0=0
  wait_for 10000 drawn_for 1000 || { fail "not drawing after a resize"; return; }
  l0=$(lit)
  keys Delete
  wait_for 5000 lit_below "$l0" || { fail "Delete did not clear"; return; }
  # Home pauses: the picture holds still; a key resumes it.
  keys Home
  local a b
  settled() { a=$(lit); sleep 0.3; b=$(lit); [ "$a" = "$b" ] && [ "$a" -ge 0 ]; }
  wait_for 5000 settled || { fail "Home did not pause"; return; }
  keys x
  changed() { [ "$(lit)" != "$a" ]; }
  wait_for 5000 changed || { fail "no drawing after the pause"; return; }
  # Closed, it draws on unseen; End still ends it.
  "$xwin" close "$win" || { fail "close refused"; return; }
  "$xwin" gone "$win" $((5000 * slow)) || { fail "window not closed"; return; }
  keys End
  finish 0
}

exits() {
  local i
  for ((i = 0; i < count; ++i)); do
    start
    case $((i % 4)) in  # End in the help, at once after it, while drawing, as one burst
      0) wait_help && keys End ;;
      1) wait_help && keys Space && keys End ;;
      2) wait_help && find_window && keys Space && drawing && keys End ;;
      3) wait_help && keys Space End ;;
    esac || continue
    finish 0
  done
  for ((i = 0; i < count; ++i)); do
    start
    case $((i % 4)) in  # SIGTERM while starting, in the help, at once after it, while drawing
      0) started ;;
      1) wait_help ;;
      2) wait_help && keys Space ;;
      3) wait_help && find_window && keys Space && drawing ;;
    esac || continue
    kill -TERM "$(cat "$dir/pid")"
    finish 143
  done
}

window() {
  local i resizer
  for ((i = 0; i < count; ++i)); do
    start
    wait_help && find_window && keys Space && drawing || continue
    (
      for ((s = 0; s < 400; ++s)); do
        "$xwin" resize "$win" $((300 + s % 5 * 100)) $((200 + s % 3 * 100)) || exit
      done
    ) &
    resizer=$!
    wait_for 5000 "$xwin" resize "$win" 350 250  # the resizer is under way
    keys End
    finish 0
    kill "$resizer" 2>/dev/null; wait "$resizer" 2>/dev/null
  done
  for ((i = 0; i < count; ++i)); do
    start
    wait_help && find_window && keys Space && drawing || continue
    case $((i % 3)) in  # End right after the close request, right before it, after it took
      0) "$xwin" close "$win"; keys End ;;
      1) keys End; "$xwin" close "$win" ;;
      2) "$xwin" close "$win" && "$xwin" gone "$win" $((5000 * slow)) && keys End ;;
    esac
    finish 0
  done
}

# The display goes away under the program: it says so once and draws on unseen.
lost() {
  start
  wait_help && find_window && keys Space && drawing || return
  kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null; xvfb_pid= win=
  local said="rose: the connection to the display was lost; drawing goes on unseen"
  wait_for 5000 grep -q "display was lost" "$dir/err" ||
    { fail "display loss not reported"; return; }
  [ -e "$dir/status" ] && { fail "ended with the display"; return; }
  keys End
  finish 0 "$said"
}

case $mode in
  walk) walk ;;
  lost) lost ;;
  exits) exits ;;
  window) window ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac
echo "$mode: $run runs, $failures failed"
[ "$failures" -eq 0 ]
