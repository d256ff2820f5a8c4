#!/usr/bin/env bash
# Builds the .deb, installs it into an empty root and runs the installed program
# in a real terminal and window to its help text and End.
set -euo pipefail
build=$1

work=$(mktemp -d)
xvfb_pid=
sock=rose-pkg-$$
cleanup() {
  tmux -L "$sock" kill-server 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1; shift
  for ((i = 0; i < tenths; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/*.deb)

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libsdl2-2.0-0* ]] || fail "no dependency on the SDL2 runtime"
[[ $depends != *-dev* ]] || fail "depends on a -dev package"

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --force-not-root --force-depends --root="$root" -i "$deb" >/dev/null
for f in usr/bin/rose usr/share/man/man6/rose.6.gz usr/share/applications/rose.desktop; do
  [ -f "$root/$f" ] || fail "$f not installed"
done
[ -x "$root/usr/bin/rose" ] || fail "rose is not executable"
zcat "$root/usr/share/man/man6/rose.6.gz" | groff -man -Tutf8 -ww 2>&1 >/dev/null | grep . && fail "manual page warnings"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/rose.desktop"
fi

# The installed program, as a user starts it.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
display=:$(cat "$work/display")

tmux -L "$sock" -f /dev/null new-session -d -x 100 -y 30 \
  "env DISPLAY=$display DBUS_SESSION_BUS_ADDRESS=disabled: $root/usr/bin/rose; echo \"exit=\$?\"; sleep 60"
screen() { tmux -L "$sock" capture-pane -p; }
wait_for 100 sh -c "tmux -L $sock capture-pane -p | grep -q 'Press any key'" || { screen; fail "no help text"; }
screen | grep -q 'Управление' || fail "help text not in Cyrillic"
tmux -L "$sock" send-keys x
sleep 0.3
tmux -L "$sock" send-keys End
wait_for 100 sh -c "tmux -L $sock capture-pane -p | grep -q 'exit='" || { screen; fail "End did not end it"; }
screen | grep -q 'exit=0' || { screen; fail "exit status not 0"; }
echo "installed rose: help text shown, End gave exit status 0"
