#!/usr/bin/env bash
# Manual check of the program's end under a real X server and window manager: for each way out, a fresh demo is
# made, the program is started, every window reachable from the main window is opened by keyboard and mouse,
# then the program is left that way; its exit status must be 0 and its output free of sanitizer reports.
#   tools/check_exit.sh BUILD/src/folivex [WAY...]    ways: quit (the Quitter button), close (the main window's
#   close box), backup (Sauvegarde, the backup window's Quitter, then Quitter); all three by default. unsaved:
#   a value typed in the exam window, its close box and then the main window's close box answered No (both
#   windows must stay), then Quitter answered Yes.
# Needs xvfb-run, openbox, xdotool and imagemagick; builds nothing. folivex-newdb and the templates are taken
# beside the binary (BUILD/tools, BUILD/templates). Screenshots and logs go to CHECK_EXIT_OUT (default a
# temporary folder), one set per way.
set -uo pipefail

. "$(dirname "$0")/xdemo.sh"
if [ "${1:-}" = "--inside" ]; then
  way=$2 bin=$3 out=$4
  startUnderWm "$bin" "$out/$way.log"
  shot() { import -window root "$out/$way-$1.png" 2>/dev/null; }
  step() { echo "  $way: $*"; }
  main=$(waitWindow "^Gestion des inductions" 20)
  if [ -z "$main" ]; then
    shot nomain; echo "  $way: the main window never came"; kill "$prog"; wait "$prog"; kill "$wm"; exit 2
  fi
  sleep 0.5
  # A message box (the program's title, or "Attention") is answered by its default button.
  boxes() {
    local b
    for b in $(xdotool search --onlyvisible --name '^(FOLIVEX|Attention)$' 2>/dev/null); do
      step "box answered: $(xdotool getwindowname "$b")"; xdotool windowactivate --sync "$b" key Return; sleep 0.5
    done
  }
  # An access key of the main window, then the main window again in front.
  key() { xdotool windowactivate --sync "$main" key --clearmodifiers "$1"; sleep 0.8; boxes; }
  # A command of the menu bar, by the mouse (its entries have no access key).
  menu() { xdotool windowactivate --sync "$main" mousemove --window "$main" "$1" 10 click 1; sleep 0.8; boxes; }
  pressIn() { # a key in the window named so
    local w; w=$(xdotool search --onlyvisible --name "$1" | head -1)
    [ -n "$w" ] && xdotool windowactivate --sync "$w" key --clearmodifiers "$2"; sleep 0.8
  }
  seen() { xdotool search --onlyvisible --name "$1" >/dev/null && step "on screen: $1" || step "NOT on screen: $1"; }
  missed=0
  expect() { xdotool search --onlyvisible --name "$1" >/dev/null && step "on screen: $1" || { step "NOT on screen: $1"; missed=1; }; }
  # The question on screen is answered No (its Escape button).
  answerNo() { expect '^Attention$'; local b; b=$(xdotool search --onlyvisible --name '^Attention$' | head -1)
    [ -n "$b" ] && xdotool windowactivate --sync "$b" key Escape; sleep 0.8; }
  step "MARTIN typed in the search box; statistics, exams, cycle sheet creation, cycle sheet"
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool windowactivate --sync "$main" mousemove --window "$main" $((WIDTH - 539)) $((HEIGHT - 61)) click 1
  xdotool type --delay 80 MARTIN; sleep 0.5
  for k in alt+t alt+v alt+n alt+o; do key "$k"; done
  step "follow-up, from the cycle sheet's SUIVI DE LA GROSSESSE"
  sheet=$(xdotool search --onlyvisible --name "^Fiche de Stimulation" | head -1)
  if [ -n "$sheet" ]; then
    eval "$(xdotool getwindowgeometry --shell "$sheet")"
    xdotool windowactivate --sync "$sheet" mousemove --window "$sheet" $((WIDTH - 101)) $((HEIGHT - 115)) click 1
    sleep 1; boxes; sleep 0.5
  fi
  shot followup
  step "modification, new dossier"
  for k in alt+m alt+c; do key "$k"; done
  step "calculator, letterhead, about box (menu bar)"
  for x in 185 362 423; do menu "$x"; done
  shot opened
  step "reference lists (menu bar), left by their Quitter"
  menu 61
  seen "^Options$"
  pressIn "^Options$" "alt+q"
  seen "^Gestion des inductions"
  xdotool search --name . getwindowname %@ 2>/dev/null | sort | sed 's/^/    window: /'
  case "$way" in
    backup)
      step "Sauvegarde, then the backup window's Quitter"
      menu 292
      sleep 0.5
      shot backup
      seen "^Sauvegardes$"
      pressIn "^Sauvegardes$" "alt+q"; sleep 1
      seen "^Gestion des inductions"
      main=$(waitWindow "^Gestion des inductions" 10)
      ;;
  esac
  case "$way" in
    unsaved)
      step "a value typed in the exam window, then its close box: asked, answered No"
      ex=$(xdotool search --onlyvisible --name "^Examens" | head -1)
      xdotool windowactivate --sync "$ex" key --clearmodifiers Tab; xdotool type --delay 80 "7"; sleep 0.5; shot typed
      xdotool windowactivate --sync "$ex" key --clearmodifiers alt+F4; sleep 1
      shot asked
      answerNo
      expect "^Examens"
      step "the main window's close box: asked, answered No"
      xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4; sleep 1
      shot askedatend
      answerNo
      expect "^Gestion des inductions"
      kill -0 "$prog" 2>/dev/null || { step "the program ended on No"; missed=1; }
      ;;
  esac
  case "$way" in
    close) step "the main window's close box"; xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4 ;;
    *)
      step "Quitter"
      eval "$(xdotool getwindowgeometry --shell "$main")"
      xdotool windowactivate --sync "$main" mousemove --window "$main" $((WIDTH - 136)) $((HEIGHT - 118)) click 1
      [ "$way" = unsaved ] && { sleep 1; boxes; }
      ;;
  esac
  for _ in $(seq 60); do kill -0 "$prog" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$prog" 2>/dev/null; then
    shot hung; echo "  $way: still running 30 s after the way out"; kill "$prog"
  fi
  wait "$prog"; rc=$?
  kill "$wm" 2>/dev/null
  [ "$rc" -eq 0 ] && [ "$missed" -ne 0 ] && rc=3
  exit "$rc"
fi

bin=$(realpath "${1:?usage: tools/check_exit.sh BUILD/src/folivex [quit|close|backup...]}")
shift
ways=("$@"); [ ${#ways[@]} -gt 0 ] || ways=(quit close backup)
build=$(dirname "$(dirname "$bin")")
needTools xvfb-run openbox xdotool import
out=${CHECK_EXIT_OUT:-$(mktemp -d)}
mkdir -p "$out"
failed=0
for way in "${ways[@]}"; do
  demoRun "$build" "$out/$way-demo" 1600x1000 "$0" --inside "$way" "$bin" "$out"
  rc=$?
  reports=$(grep -cE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$out/$way.log")
  echo "$way: exit status $rc, sanitizer reports $reports (log $out/$way.log)"
  [ "$rc" -eq 0 ] && [ "$reports" -eq 0 ] || failed=1
done
exit "$failed"
