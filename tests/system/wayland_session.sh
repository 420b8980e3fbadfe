#!/bin/bash
# On a Wayland session with XWayland beside it, as current GNOME and KDE desktops start, the
# panel runs on X, where its window can stay on top: it appears on the X server asking to be
# above the others. An operator who sets QT_QPA_PLATFORM=wayland gets Wayland, and no X window.
# A headless Wayland compositor (weston) stands in for the desktop's, beside the test's Xvfb.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../../scripts/lib/packages.sh"
ensure_packages weston qt6-wayland >/dev/null

WESTON_PID=
stop_weston() { stop_pid "$WESTON_PID"; }
trap 'stop_weston; cleanup' EXIT

# The compositor's socket goes where the panel looks for it: the test's own run-time folder.
mkdir -p "$WORK/runtime"
chmod 700 "$WORK/runtime"
XDG_RUNTIME_DIR=$WORK/runtime weston --backend=headless-backend.so --socket=qev-wayland \
  --idle-time=0 --no-config >"$WORK/weston.log" 2>&1 &
WESTON_PID=$!
if ! wait_until 20 test -S "$WORK/runtime/qev-wayland"; then
  cat "$WORK/weston.log" >&2
  echo "SKIP: weston cannot start here"
  exit 77
fi
export WAYLAND_DISPLAY=qev-wayland
note "Wayland compositor on $WAYLAND_DISPLAY"

start_configured_panel
main=$(find_window '^QEV Zozudo' 20) || exit 1
wait_for 10 "stay-on-top state" sh -c "xprop -id $main _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE"
note "on X, above the others: $(xprop -id "$main" _NET_WM_STATE)"
stop_pid "$PANEL_PID"
PANEL_PID=

# The operator's own choice of platform stands. The panel then lives on the compositor: it
# links to the server, and nothing of it shows on X.
QT_QPA_PLATFORM=wayland start_panel
wait_for 20 "link from the Wayland panel" in_trace "#2 -> F4 LINK UP"
kill -0 "$PANEL_PID" || fail "the panel did not start on Wayland: $(cat "$PANEL_DIR.out")"
window_shown '^QEV Zozudo' && fail "QT_QPA_PLATFORM=wayland, yet the panel is on X"
pass_well_formed
