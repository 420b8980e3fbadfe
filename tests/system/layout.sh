# shellcheck shell=bash disable=SC2034
# The windows' layout, in twips as the panel draws it (left top width height), relative to the
# client area below the menu bar; everything below works out its pixels from this one table.
# A control that moves in the panel moves here, and nothing else changes.
declare -gA LAYOUT_TWIPS=(
  [client]="0 0 2415 6705"
  [cmbConsole]="120 480 2055 315"
  [cmbSource]="120 1320 2055 315"
  [cmdCue]="840 2400 735 615"
  [cmdOn]="600 3600 1215 1095"
  [cmdOff]="600 5040 1215 1095"
  [frmSetup.cmdCancel]="840 2280 1215 372"
)
# How far below a button's top edge its background colour shows, clear of its caption (twips).
declare -gA COLOUR_INSET_TWIPS=([cmdCue]=75 [cmdOn]=120 [cmdOff]=120)
# The buttons by the names the tests give them.
declare -gA BUTTON_CONTROL=([ON]=cmdOn [OFF]=cmdOff [CUE]=cmdCue)

# pixels TWIPS: as the panel rounds them at 96 DPI, 15 twips a pixel.
pixels() { echo $((($1 * 2 + 15) / 30)); }

# control_box CONTROL: "left top width height" of the control in pixels.
control_box() {
  local twips
  read -r -a twips <<<"${LAYOUT_TWIPS[$1]:?no control $1 in the layout table}"
  echo "$(pixels "${twips[0]}") $(pixels "${twips[1]}") $(pixels "${twips[2]}") $(pixels "${twips[3]}")"
}

# control_centre CONTROL: "x y" of the control's centre, where a click lands.
control_centre() {
  local box
  read -r -a box <<<"$(control_box "$1")"
  echo "$((box[0] + box[2] / 2)) $((box[1] + box[3] / 2))"
}

# colour_point BUTTON OFFSET: "x y" of the point of BUTTON (ON, OFF or CUE) where its background
# colour shows; OFFSET is the height of the window's menu bar.
colour_point() {
  local control=${BUTTON_CONTROL[$1]} centre
  read -r -a centre <<<"$(control_centre "$control")"
  local -a twips
  read -r -a twips <<<"${LAYOUT_TWIPS[$control]}"
  local inset=${COLOUR_INSET_TWIPS[$control]}
  echo "${centre[0]} $(($(pixels $((twips[1] + inset))) + $2))"
}

# The client area's height: what the window is taller by is its menu bar.
CLIENT_HEIGHT=$(control_box client | cut -d' ' -f4)
