#!/usr/bin/env bash
# Screenshots of the windows as a user sees them under a real X server and window manager, at the screen sizes
# given (1280x1024 and 1024x768 by default): the main window, the cycle sheet, the follow-up, the statistics, the
# exams, the reference lists, the backup window, and the main window back from each of those two. For each window
# it also tells where its frame stands (xwininfo and _NET_FRAME_EXTENTS) and whether it passes the screen's edge.
# Everything is reached from the keyboard: the menu bar with F10 or Alt alone, then the arrows and Enter. Typing
# goes into the statistics window's first box as soon as it opens (its screenshot shows what was typed), and the
# main window comes back from the reference lists and the backup window where it stood.
#   tools/screenshots.sh BUILD/src/folivex [WxH...]
# Needs xvfb-run, openbox, xdotool, x11-utils and imagemagick; builds nothing. The screenshots go to
# SCREENSHOTS_OUT (default a temporary folder), named SIZE-WINDOW.png. Exit status 1 when a window passes the
# screen's edge, the main window does not come back where it stood, or a menu is not reached.
set -uo pipefail

. "$(dirname "$0")/xdemo.sh"
if [ "${1:-}" = "--inside" ]; then
  size=$2 bin=$3 out=$4
  startUnderWm "$bin" "$out/$size.log"
  beyond=0
  screenW=${size%x*} screenH=${size#*x}
  # The window named so, with its frame, against the screen.
  frame() {
    local w x y width height l r t b
    w=$(xdotool search --onlyvisible --name "$1" | head -1)
    [ -n "$w" ] || { echo "  $size: NOT on screen: $1"; beyond=1; return; }
    x=$(xwininfo -id "$w" | awk '/Absolute upper-left X/ {print $4}')
    y=$(xwininfo -id "$w" | awk '/Absolute upper-left Y/ {print $4}')
    width=$(xwininfo -id "$w" | awk '/Width/ {print $2}')
    height=$(xwininfo -id "$w" | awk '/Height/ {print $2}')
    IFS=', ' read -r l r t b <<<"$(xprop -id "$w" _NET_FRAME_EXTENTS | cut -d= -f2)"
    local left=$((x - l)) top=$((y - t)) right=$((x + width + r)) bottom=$((y + height + b))
    local verdict=whole
    if [ "$left" -lt 0 ] || [ "$top" -lt 0 ] || [ "$right" -gt "$screenW" ] || [ "$bottom" -gt "$screenH" ]; then
      verdict="BEYOND THE SCREEN"; beyond=1
    fi
    echo "  $size: $1: frame $left,$top to $right,$bottom (borders $l $r, title $t, bottom $b): $verdict"
    placed="$left,$top to $right,$bottom"
  }
  # The main window's frame against where it stood at first.
  stoodAgain() {
    frame "^Gestion des inductions"
    if [ "$placed" != "$mainPlace" ]; then
      echo "  $size: the main window MOVED after $1 (it stood at $mainPlace)"; beyond=1
    fi
  }
  shot() { sleep 0.5; import -window root "$out/$size-$1.png" 2>/dev/null; }
  # A message box (the program's title, or "Attention") is answered by its default button.
  boxes() {
    local b
    for b in $(xdotool search --onlyvisible --name '^(FOLIVEX|Attention)$' 2>/dev/null); do
      xdotool windowactivate --sync "$b" key Return; sleep 0.5
    done
  }
  keysIn() { # keys in the window named so
    local w; w=$(xdotool search --onlyvisible --name "$1" | head -1); shift
    [ -n "$w" ] && xdotool windowactivate --sync "$w" key --clearmodifiers "$@"; sleep 1; boxes
  }
  main=$(waitWindow "^Gestion des inductions" 20)
  if [ -z "$main" ]; then
    shot nomain; echo "  $size: the main window never came"; kill "$prog"; wait "$prog"; kill "$wm"; exit 2
  fi
  sleep 1
  # A command of the main window's menu bar from the keyboard (its entries have no access key): KEY (F10, or alt
  # pressed and released alone) highlights the first menu, Right COUNT times moves along, Return opens it; the
  # window named WINDOW must then be on screen.
  menu() {
    local key=$1 count=$2 window=$3
    xdotool windowactivate --sync "$main" key --clearmodifiers "$key"; sleep 0.3
    for _ in $(seq "$count"); do xdotool key Right; done
    xdotool key Return; sleep 1; boxes
    [ -n "$(waitWindow "$window" 5)" ] || { echo "  $size: $key then Right x$count did not open $window"; beyond=1; }
  }
  frame "^Gestion des inductions"; shot main; mainPlace=$placed
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool windowactivate --sync "$main" mousemove --window "$main" $((WIDTH - 539)) $((HEIGHT - 61)) click 1
  xdotool type --delay 80 MARTIN; sleep 0.5
  keysIn "^Gestion des inductions" alt+o
  frame "^Fiche de Stimulation"; shot form5
  # "SUIVI DE LA GROSSESSE" has no access key: "&Der" (the last sheet, as shown), by the mouse, for the focus,
  # then five steps back in the tab order.
  sheet=$(xdotool search --onlyvisible --name "^Fiche de Stimulation" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$sheet")"
  xdotool windowactivate --sync "$sheet" mousemove --window "$sheet" 300 $((HEIGHT - 49)) click 1; sleep 1
  keysIn "^Fiche de Stimulation" shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
  frame "^Suivi grossesse"; shot form30
  keysIn "^Suivi grossesse" alt+F4
  keysIn "^Fiche de Stimulation" alt+q
  keysIn "^Gestion des inductions" alt+t
  xdotool type --delay 80 "2005"; sleep 0.5
  frame "^Résultats"; shot form8
  keysIn "^Résultats" alt+F4
  keysIn "^Gestion des inductions" alt+v
  frame "^Examens"; shot form7
  keysIn "^Examens" alt+q
  menu F10 0 "^Options$"
  frame "^Options$"; shot form9
  keysIn "^Options$" alt+q
  stoodAgain "the reference lists"; shot main-after-form9
  menu alt 2 "^Sauvegardes$"
  frame "^Sauvegardes$"; shot form21
  keysIn "^Sauvegardes$" alt+q
  main=$(waitWindow "^Gestion des inductions" 10)
  stoodAgain "the backup window"; shot main-after-form21
  kill "$prog" 2>/dev/null; wait "$prog" 2>/dev/null
  kill "$wm" 2>/dev/null
  exit "$beyond"
fi

bin=$(realpath "${1:?usage: tools/screenshots.sh BUILD/src/folivex [WxH...]}")
shift
sizes=("$@"); [ ${#sizes[@]} -gt 0 ] || sizes=(1280x1024 1024x768)
build=$(dirname "$(dirname "$bin")")
needTools xvfb-run openbox xdotool xwininfo xprop import
out=${SCREENSHOTS_OUT:-$(mktemp -d)}
mkdir -p "$out"
failed=0
for size in "${sizes[@]}"; do
  demoRun "$build" "$out/$size-demo" "$size" "$0" --inside "$size" "$bin" "$out"
  rc=$?
  echo "$size: $([ "$rc" -eq 0 ] && echo "every window whole" || echo "exit status $rc"), screenshots in $out"
  [ "$rc" -eq 0 ] || failed=1
done
exit "$failed"
