#!/bin/bash
# What a screen reader finds in the panel's window: the link lamp with the link's state in
# words, the lists named "Console" and "Source" by their labels. The tree is printed as the
# AT-SPI registry gives it. Runs under a session bus and an accessibility bus of its own.
if [ -z "${QEV_SESSION_BUS:-}" ]; then
  source "$(dirname "$0")/../../scripts/lib/packages.sh"
  ensure_packages dbus-daemon dbus-bin at-spi2-core python3-pyatspi >/dev/null
  QEV_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"

BUS_PID=
trap 'stop_pid "$BUS_PID"; cleanup' EXIT
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/at-spi.log" 2>&1 &
BUS_PID=$!
if ! wait_until 10 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
  org.a11y.Bus.GetAddress; then
  echo "SKIP: no accessibility bus here"
  exit 77
fi
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

start_configured_panel
find_window '^QEV Zozudo' 20 >/dev/null || exit 1
wait_for 20 "link" in_trace "#1 -> F4 LINK UP"
/usr/bin/python3 "$(dirname "$0")/accessible_tree.py" 20 || fail "the accessible tree"
pass_well_formed
