#!/bin/bash
# One panel per settings folder: a second start on the same folder ends by itself with status
# 0, opens no window and leaves the configuration file as it was, while the first panel keeps
# its link. A panel killed outright (no chance to tidy up) does not stop the next start.
source "$(dirname "$0")/lib.sh"

# second_start: runs the panel again in PANEL_DIR, the way start_panel does, and waits for it.
second_start() {
  (cd "$PANEL_DIR" && XDG_RUNTIME_DIR=$WORK/runtime timeout 60 ./qevntpnl) >"$WORK/second.out" 2>&1
}

start_configured_panel
find_window '^QEV Zozudo' 20 >/dev/null || exit 1
wait_for 20 "first link" in_trace "#1 -> F4 LINK UP"
cp "$PANEL_DIR/qevntpnl.ini" "$WORK/ini.before"

started=$(now_ms)
second_start
status=$?
note "second start ended with status $status after $(($(now_ms) - started)) ms"
[ "$status" -eq 0 ] || fail "the second start ended with status $status: $(cat "$WORK/second.out")"
cmp -s "$PANEL_DIR/qevntpnl.ini" "$WORK/ini.before" || fail "the second start changed the ini"
[ ! -e "$PANEL_DIR/Errorlog.txt" ] || fail "the second start wrote an error log"
[ "$(xdotool search --onlyvisible --name '^QEV Zozudo' | wc -l)" -eq 1 ] ||
  fail "more than one panel window"
in_trace "#2 connected" && fail "the second start connected to the server"

# The first panel still polls over its first link.
polls=$(grep -cF -- '#1 <- F5 POLL VALID' "$TRACE")
wait_for 10 "polls after the second start" \
  sh -c "[ \$(grep -cF -- '#1 <- F5 POLL VALID' '$TRACE') -ge $((polls + 3)) ]"
kill -0 "$PANEL_PID" || fail "the first panel ended"

# Killed outright, the first panel leaves its lock behind; the next start takes over.
kill -9 "$PANEL_PID"
wait "$PANEL_PID" 2>/dev/null
ls "$WORK/runtime"/qevntpnl-*.lock >/dev/null 2>&1 || fail "no lock left by the killed panel"
start_panel
find_window '^QEV Zozudo' 20 >/dev/null || exit 1
wait_for 20 "link of the panel started after the kill" in_trace "#2 -> F4 LINK UP"
pass_well_formed
