#!/bin/bash
# An installed panel run by an ordinary user: it may not write the root-owned folder it runs
# from, so its settings go to that user's own folder, starting from the administrator's preset
# beside the program, which stays as it was. Without a preset it is a first run.
if [ "$(id -u)" != 0 ]; then
  echo "SKIP: only root may run the panel as another user"
  exit 77
fi
source "$(dirname "$0")/lib.sh"

USER_HOME=$WORK/home
USER_FOLDER=$USER_HOME/.config/qevntpnl

# run_as_user: the installed panel as "nobody", its home and desktop folders in USER_HOME.
run_as_user() {
  (cd "$USER_HOME" && HOME=$USER_HOME XDG_CONFIG_HOME=$USER_HOME/.config \
    XDG_RUNTIME_DIR=$USER_HOME/runtime XDG_CACHE_HOME=$USER_HOME/.cache \
    exec setpriv --reuid=nobody --regid=nogroup --clear-groups "$PANEL_DIR/qevntpnl") \
    >>"$WORK/user.out" 2>&1 &
  PANEL_PID=$!
}

start_xvfb
start_sim
# mktemp -d makes a folder only root may enter: the user must reach the program in it.
chmod 755 "$WORK"
make_panel_folder
chmod 755 "$PANEL_DIR"
# LF line ends in the preset: the user's file must be the panel's own CR LF rewrite of it.
ini_text 127.0.0.1 "$SIM_PORT" 3 5 No op bd '\n' >"$PANEL_DIR/qevntpnl.ini"
cp -p "$PANEL_DIR/qevntpnl.ini" "$WORK/preset.ini"
mkdir -p -m 700 "$USER_HOME/runtime"
chown -R nobody:nogroup "$USER_HOME"
chmod 700 "$USER_HOME"

run_as_user
find_window '^QEV Zozudo' 20 >/dev/null || exit 1
wait_for 10 "connection" in_trace "#1 connected"
note "the user's panel connected with the preset's address"
kill -TERM "$PANEL_PID"
wait_panel_exit 10

ini_text 127.0.0.1 "$SIM_PORT" 3 5 No op bd >"$WORK/expected.ini"
cmp -s "$WORK/expected.ini" "$USER_FOLDER/qevntpnl.ini" ||
  fail "the user's qevntpnl.ini is not the preset's settings:$(echo; cat "$WORK/user.out")"
[ "$(stat -c '%a %U' "$USER_FOLDER")" = "700 nobody" ] || fail "user folder: $(stat -c '%a %U' "$USER_FOLDER")"
[ "$(stat -c '%a %U' "$USER_FOLDER/qevntpnl.ini")" = "600 nobody" ] ||
  fail "user's ini: $(stat -c '%a %U' "$USER_FOLDER/qevntpnl.ini")"
cmp -s "$WORK/preset.ini" "$PANEL_DIR/qevntpnl.ini" || fail "the preset was changed"
note "settings saved 0600 in the user's 0700 folder; preset untouched"

# No preset and nothing saved yet: the first-run notice.
rm "$PANEL_DIR/qevntpnl.ini"
rm -r "$USER_FOLDER"
run_as_user
find_window '^Configuration Error' 20 >/dev/null || exit 1
note "first-run notice without a preset"
kill -TERM "$PANEL_PID"
wait_panel_exit 10
pass
