#!/bin/bash
# The link lamp at the end of the menu bar follows the link: red while nothing answers, green
# once the Server Module answers with the switcher up, amber while it reports the switcher
# down, red again when it goes away. The client area keeps its size. Each state's screenshot
# is kept as lamp-red.png, lamp-green.png and lamp-amber.png (QEV_KEEP=1 keeps the folder).
source "$(dirname "$0")/lib.sh"

# The lamp's colours, as the panel paints them.
LAMP_RED="214 40 40"
LAMP_AMBER="245 166 0"
LAMP_GREEN="30 160 60"

# lamp_pixels FILE HEIGHT "R G B": pixels of exactly that colour in the menu bar strip.
lamp_pixels() {
  local r g b
  read -r r g b <<<"$3"
  convert "$1" -crop "x$2+0+0" +repage txt:- |
    grep -ci "#$(printf '%02X%02X%02X' "$r" "$g" "$b")" || true
}

# lamp_is WINDOW "R G B": a fresh screenshot shows the lamp in that colour and no other.
lamp_is() {
  local shot=$WORK/lamp.png colour count
  screenshot "$1" "$shot" || return 1
  for colour in "$LAMP_RED" "$LAMP_AMBER" "$LAMP_GREEN"; do
    count=$(lamp_pixels "$shot" "$offset" "$colour")
    if [ "$colour" = "$2" ]; then
      [ "$count" -ge 4 ] || return 1
    else
      [ "$count" -eq 0 ] || return 1
    fi
  done
}

# expect_lamp NAME "R G B" SECONDS: keeps the screenshot as lamp-NAME.png.
expect_lamp() {
  wait_until "$3" lamp_is "$main" "$2" || fail "the lamp is not $1 within $3 s"
  cp "$WORK/lamp.png" "$WORK/lamp-$1.png"
  note "lamp $1"
}

start_xvfb
# A port that nothing listens on yet: the simulator's, once it has gone again.
start_sim
port=$SIM_PORT
stop_sim
make_panel_folder
write_ini "$port" 3 5
start_panel

main=$(find_window '^QEV Zozudo' 20) || exit 1
offset=$(menu_offset "$main")
width=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^WIDTH=//p')
[ "$width" -eq 161 ] || fail "window $width px wide, expected the client area's 161"

expect_lamp red "$LAMP_RED" 10

start_sim --port "$port"
expect_lamp green "$LAMP_GREEN" 10

stop_sim
expect_lamp red "$LAMP_RED" 10

start_sim --port "$port" --switcher-down
back=$(grep -n 'listening on' "$TRACE" | tail -n1 | cut -d: -f1)
wait_for 10 "switcher reported down" sh -c "tail -n +$back '$TRACE' | grep -qF -- 'F1 LINK DOWN'"
expect_lamp amber "$LAMP_AMBER" 10

stop_sim
expect_lamp red "$LAMP_RED" 10
pass
