# shellcheck shell=bash disable=SC2034
# Shared by the whole-program tests: each test runs the real panel in a folder of its own,
# under an X server of its own, against a simulator of its own on a free loopback port.
# Every wait is bounded; nothing here depends on how fast the machine is.
#
# Usage from a test: source lib.sh PANEL_BINARY SIMULATOR_BINARY
# QEV_KEEP=1 keeps a passing test's folder (trace, screenshots, panel folder) too.

set -u -o pipefail

PANEL_BIN=$1
SIM_BIN=$2
WORK=$(mktemp -d /tmp/qev-system.XXXXXX)
PANEL_DIR=$WORK/panel
TRACE=$WORK/trace.log
XVFB_PID=
SIM_PID=
PANEL_PID=
OTHER_PANEL_PIDS=()
SIM_PORT=
PASSED=no

source "$(dirname "${BASH_SOURCE[0]}")/layout.sh"
# Where the two lists show the chosen entry's text (left part, clear of the arrow).
LIST_TEXT_INSET=4 LIST_TEXT_SIZE=88x13

RESTING="254 255 244"
LIGHT_CYAN="192 255 255"
LIGHT_YELLOW="255 255 192"

note() { echo "-- $*"; }

fail() {
  echo "FAIL: $*" >&2
  if [ -s "$TRACE" ]; then
    echo "---- simulator trace (last 40 lines) ----" >&2
    tail -n 40 "$TRACE" | cut -c1-200 >&2
  fi
  exit 1
}

now_ms() { date +%s%3N; }

# wait_for SECONDS WHAT COMMAND...: runs COMMAND every 50 ms until it succeeds.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$(($(now_ms) + seconds * 1000))
  until "$@" >/dev/null 2>&1; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "no $what within $seconds s"
    sleep 0.05
  done
}

# Stops a process we started: SIGTERM, then SIGKILL if it has not gone within 5 s.
stop_pid() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

cleanup() {
  local pid
  for pid in "$PANEL_PID" "${OTHER_PANEL_PIDS[@]}"; do stop_pid "$pid"; done
  stop_pid "$SIM_PID"
  stop_pid "$XVFB_PID"
  if [ "$PASSED" = yes ] && [ -z "${QEV_KEEP:-}" ]; then
    rm -rf "$WORK"
  else
    echo "files kept in $WORK" >&2
  fi
}
trap cleanup EXIT

pass() {
  PASSED=yes
  echo "PASS"
  exit 0
}

# An X server on the first free display number; Xvfb itself picks it and tells us.
start_xvfb() {
  local displayFile=$WORK/display
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayFile" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  wait_for 10 "X server" test -s "$displayFile"
  DISPLAY=":$(head -n1 "$displayFile")"
  export DISPLAY
  unset QT_QPA_PLATFORM
  note "X server on $DISPLAY"
}

# start_sim [--port N] [simulator options...]: starts the simulator, appending to the trace,
# and sets SIM_PORT from its "listening on" line (port 0 unless one is given).
start_sim() {
  local port=0
  if [ "${1:-}" = --port ]; then
    port=$2
    shift 2
  fi
  local before
  before=$(grep -c 'listening on' "$TRACE" 2>/dev/null)
  "$SIM_BIN" --listen 127.0.0.1 --port "$port" "$@" >>"$TRACE" 2>&1 &
  SIM_PID=$!
  wait_for 10 "simulator start" sh -c "[ \$(grep -c 'listening on' '$TRACE') -gt ${before:-0} ]"
  SIM_PORT=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$TRACE" | tail -n1)
  [ -n "$SIM_PORT" ] || fail "simulator did not say its port"
  note "simulator on port $SIM_PORT"
}

stop_sim() {
  stop_pid "$SIM_PID"
  SIM_PID=
}

make_panel_folder() {
  mkdir -p "$PANEL_DIR"
  cp "$PANEL_BIN" "$PANEL_DIR/qevntpnl"
}

# ini_text ADDRESS PORT INPUT CONSOLE STAY_ON_TOP USER PASSWORD [EOL]: the configuration file's
# thirteen lines as the panel writes them, each ended by EOL (CR LF unless given).
ini_text() {
  printf "%s${8-\\r\\n}" "[CONFIGURATION]" "SETUP" "IP Address=$1" "IP Port=$2" "CONFIG" \
    "Input=$3" "Console=$4" "Stay On Top=$5" "Refresh Rate=1" "Time Out=20" "SECURITY" \
    "User Name=$6" "Password=$7"
}

# write_ini PORT INPUT CONSOLE: the panel's file, for the simulator on this machine.
write_ini() { ini_text 127.0.0.1 "$1" "$2" "$3" Yes "" "" >"$PANEL_DIR/qevntpnl.ini"; }

# start_panel [FOLDER]: the panel in its folder (PANEL_DIR unless given); PANEL_PID is the one
# in PANEL_DIR, the others are stopped at the end all the same.
start_panel() {
  local dir=${1:-$PANEL_DIR}
  mkdir -p "$WORK/runtime"
  chmod 700 "$WORK/runtime"
  (cd "$dir" && XDG_RUNTIME_DIR=$WORK/runtime exec ./qevntpnl) >"$dir.out" 2>&1 &
  if [ "$dir" = "$PANEL_DIR" ]; then
    PANEL_PID=$!
  else
    OTHER_PANEL_PIDS+=($!)
  fi
}

# start_configured_panel [simulator options...]: the usual scene: Xvfb, the simulator, and a
# panel in its own folder configured for it (source 3, console 5).
start_configured_panel() {
  start_xvfb
  start_sim "$@"
  make_panel_folder
  write_ini "$SIM_PORT" 3 5
  start_panel
}

# check_poll_spacing LINE: the panel's polls from trace line LINE on come about 0.4 s apart, as
# Refresh Rate 1 gives (20 ticks of 20 ms). A busy machine only delays ticks, so polls never
# come closer than that; how much later they come is the load's, so the upper bound is
# generous. The median of the gaps, so one late tick does not decide it.
check_poll_spacing() {
  local median
  median=$(tail -n +"$1" "$TRACE" | grep -F -- '#1 <- F5 POLL VALID' | stamp_seconds |
    awk 'NR > 1 { print $1 - last } { last = $1 }' | sort -n |
    awk '{ gap[NR] = $1 } END { print gap[int((NR + 1) / 2)] }')
  awk -v m="$median" 'BEGIN { exit !(m >= 0.3 && m <= 2) }' ||
    fail "polls $median s apart, expected about 0.4 s"
  note "polls ${median} s apart"
}

# wait_panel_exit SECONDS: the panel ends on its own within that time.
wait_panel_exit() {
  wait_for "$1" "panel exit" sh -c "! kill -0 $PANEL_PID"
  wait "$PANEL_PID" 2>/dev/null
  PANEL_PID=
}

# find_window REGEX SECONDS: prints the id of the first mapped window whose name matches.
find_window() {
  local id
  id=$(timeout "$2" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1)
  [ -n "$id" ] || fail "no window named /$1/ within $2 s"
  echo "$id"
}

window_shown() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# Height of the menu bar above the client area, from the window's height.
menu_offset() {
  local height
  height=$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^HEIGHT=//p')
  local offset=$((height - CLIENT_HEIGHT))
  [ "$offset" -ge 0 ] || offset=0
  echo "$offset"
}

# click WINDOW X Y: a left click at window-relative coordinates.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# click_control WINDOW CONTROL OFFSET SECONDS WHAT COMMAND...: clicks the control's centre
# (OFFSET: the height of the window's menu bar) and fails, saying where it clicked, unless
# COMMAND succeeds within SECONDS: a click that lands beside a moved control must not pass
# unnoticed.
click_control() {
  local window=$1 control=$2 offset=$3 seconds=$4 what=$5 centre
  shift 5
  read -r -a centre <<<"$(control_centre "$control")"
  click "$window" "${centre[0]}" $((centre[1] + offset))
  if ! wait_until "$seconds" "$@"; then
    screenshot "$window" "$WORK/click-$control-missed.png" 2>/dev/null
    fail "a click on $control at (${centre[0]},$((centre[1] + offset))) gave no $what within $seconds s"
  fi
}

# keys WINDOW KEY...: gives the window the keyboard focus, then types the keys.
keys() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool key --delay 50 "$@"
}

screenshot() { import -window "$1" "$2"; }

# pixel FILE X Y: "R G B" of one pixel of a screenshot.
pixel() {
  local hex
  hex=$(convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p')
  [ ${#hex} -eq 6 ] || return 1
  echo "$((16#${hex:0:2})) $((16#${hex:2:2})) $((16#${hex:4:2}))"
}

# dark_pixels FILE WxH+X+Y: how many pixels of the area are dark (text, not background).
dark_pixels() {
  convert "$1" -crop "$2" +repage -colorspace gray -threshold 50% \
    -format '%[fx:int(w*h*(1-mean)+0.5)]' info:
}

# colour_near "R G B" "R G B": within 4 in every channel.
colour_near() {
  local a b i d
  read -r -a a <<<"$1"
  read -r -a b <<<"$2"
  [ ${#a[@]} -eq 3 ] || return 1
  for i in 0 1 2; do
    d=$((a[i] - b[i]))
    [ ${d#-} -le 4 ] || return 1
  done
}

# button_is WINDOW X Y "R G B": a fresh screenshot shows that colour at the point.
button_is() {
  local shot=$WORK/check.png
  screenshot "$1" "$shot" || return 1
  colour_near "$(pixel "$shot" "$2" "$3")" "$4"
}

# expect_button WINDOW BUTTON OFFSET "R G B" SECONDS: BUTTON (ON, OFF or CUE) shows the colour
# within SECONDS; OFFSET is the height of the window's menu bar.
expect_button() {
  local window=$1 name=$2 colour=$4 seconds=$5 x y
  read -r x y <<<"$(colour_point "$2" "$3")"
  if ! wait_until "$seconds" button_is "$window" "$x" "$y" "$colour"; then
    screenshot "$window" "$WORK/$name-$window-wrong.png"
    fail "$name at ($x,$y) is $(pixel "$WORK/$name-$window-wrong.png" "$x" "$y"), expected $colour"
  fi
}

# press_and_see WINDOW BUTTON OFFSET "R G B" "TRACE LINE" [SECONDS]: clicks the button, waits
# for the channel command it sends and for the switcher's report to colour the button.
press_and_see() {
  local seconds=${6:-10}
  click_control "$1" "${BUTTON_CONTROL[$2]}" "$3" "$seconds" "channel command $2" in_trace "$5"
  expect_button "$1" "$2" "$3" "$4" "$seconds"
}

# pass_well_formed: passes unless the simulator found a message from the panel malformed.
pass_well_formed() {
  if grep -F -- 'INVALID' "$TRACE"; then fail "the panel sent malformed messages"; fi
  pass
}

# wait_until SECONDS COMMAND...: like wait_for, but returns 1 instead of failing.
wait_until() {
  local seconds=$1
  shift
  local deadline=$(($(now_ms) + seconds * 1000))
  until "$@" >/dev/null 2>&1; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# Lines of the trace for one link of the simulator, e.g. trace_of 1.
trace_of() { grep -F " #$1 " "$TRACE"; }

in_trace() { grep -qF -- "$1" "$TRACE"; }

# Seconds (with milliseconds) since midnight of a trace line's time stamp.
stamp_seconds() {
  awk '{ split($1, t, ":"); printf "%.3f\n", t[1] * 3600 + t[2] * 60 + t[3] }'
}

# The panel has a TCP socket open (its X connection is a Unix socket, so any TCP socket is a
# link to some server).
panel_has_tcp_socket() {
  local inode
  for inode in $(find "/proc/$PANEL_PID/fd" -lname 'socket:*' -printf '%l\n' 2>/dev/null |
    sed -n 's/^socket:\[\([0-9]*\)\]$/\1/p'); do
    if awk -v inode="$inode" '$10 == inode { found = 1 } END { exit !found }' \
      /proc/net/tcp /proc/net/tcp6 2>/dev/null; then
      return 0
    fi
  done
  return 1
}

# check_error_log_header FILE: the 11-line header every error log starts with.
check_error_log_header() {
  local log=$1
  [ "$(head -c 13 "$log")" = "             " ] || fail "error log line 1 does not start with 13 blanks"
  local line
  line=$(sed -n 1p "$log" | tr -d '\r')
  [[ "$line" =~ ^\ {13}[A-Z]( [A-Z])*\ {4}[A-Z]( [A-Z])*\ {5}[A-Z]( [A-Z])*$ ]] ||
    fail "error log line 1 is not a spaced three-word banner: '$line'"
  local n
  for n in 2 6 7 9; do
    [ "$(sed -n "${n}p" "$log")" = $'\r' ] || fail "error log line $n is not empty"
  done
  for n in 3 4 5; do
    [[ "$(sed -n "${n}p" "$log")" =~ ^\ {19}[^\ ] ]] || fail "error log line $n is not indented by 19"
  done
  [ "$(sed -n 8p "$log")" = $'QEV Zozudo Soft Panel Error Logfile\r' ] || fail "error log line 8"
  [ "$(sed -n 10p "$log")" = $' DATE     TIME           LOCATION                           MESSAGE DESCRIPTION\r' ] ||
    fail "error log line 10"
  [ "$(sed -n 11p "$log")" = "$(printf '%.0s-' $(seq 80))"$'\r' ] || fail "error log line 11"
  # Every line, header or record, ends with CR LF.
  if grep -qv $'\r$' "$log"; then fail "error log has a line without CR LF"; fi
}
