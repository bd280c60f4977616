#!/usr/bin/env bash
# Manual check of the program's end under a real X server and window manager: for each way out, a fresh demo is
# made, the program is started, every window reachable from the main window is opened by keyboard and mouse,
# then the program is left that way; its exit status must be 0 and its output free of sanitizer reports.
#   tools/check_exit.sh BUILD/src/folivex [WAY...]    ways: quit (the Quitter button), close (the main window's
#   close box), backup (Sauvegarde, the backup window's Quitter, then Quitter); all three by default. unsaved:
#   a value typed in the exam window, its close box and then the main window's close box answered No (both
#   windows must stay), then Quitter answered Yes. wheel: two checks of the mouse wheel over controls without the
#   focus, then the window's save, each on a screen of its own (the ways wheel-exams and wheel-followup): the
#   exam window at 1280x1024, two notches over each serology of MARTIN (his row must read back unchanged); the
#   new follow-up of MARTIN's last sheet at 1024x768, scrolled down by the wheel over its combos to reach
#   "Enregistrer" (no combo's item may be stored). Then the main window's close box.
# Needs xvfb-run, openbox, xdotool, imagemagick (and sqlite3 for wheel); builds nothing. folivex-newdb and the templates are taken
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
  searchMartin() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool windowactivate --sync "$main" mousemove --window "$main" $((WIDTH - 539)) $((HEIGHT - 61)) click 1
    xdotool type --delay 80 MARTIN; sleep 0.5
  }
  db="$FOLIVEX_PROGDIR/data/INDUCTION.mdb"
  # The pointer over each serology combo of the exam window in turn (the focus stays in its first box), two
  # notches of the wheel over each; then its save, answered Yes: MARTIN's row reads back as it was.
  wheelOverExams() {
    local before after ex y
    before=$(sqlite3 -cmd '.mode quote' "$db" 'SELECT * FROM EXAMENS WHERE NUMERO=1')
    step "MARTIN typed in the search box; exams"
    searchMartin
    key alt+v
    ex=$(waitWindow "^Examens" 10)
    [ -n "$ex" ] || { expect "^Examens"; return; }
    shot exams
    step "the wheel over the serologies"
    for y in 194 222 250 278 306 334 362; do xdotool mousemove --window "$ex" 192 "$y" click --repeat 2 --delay 150 5; done
    for y in 117 144 172 200 229; do xdotool mousemove --window "$ex" 678 "$y" click --repeat 2 --delay 150 5; done
    sleep 0.5; shot exams-wheeled
    step "ENREGISTRER, answered Yes"
    xdotool windowactivate --sync "$ex" key --clearmodifiers alt+e; sleep 1; boxes; sleep 0.5; boxes
    after=$(sqlite3 -cmd '.mode quote' "$db" 'SELECT * FROM EXAMENS WHERE NUMERO=1')
    if [ "$before" = "$after" ]; then step "EXAMENS of MARTIN unchanged"; else
      step "EXAMENS of MARTIN CHANGED: $after"; missed=1; fi
  }
  # The new follow-up of MARTIN's last sheet, scrolled down by the wheel with the pointer over its combos, then
  # "Enregistrer" (no access key: the mouse), answered Yes: no combo's item is stored (items 1-5 of TERG1, 4
  # and 6 of HOSPIT, 1-2 and 16-43 of ACCOUCHE), since the new follow-up's combos start empty.
  wheelOverFollowUp() {
    local fu chosen
    step "MARTIN typed in the search box; cycle sheet, then its SUIVI DE LA GROSSESSE (after &Der, five steps back)"
    searchMartin
    key alt+o
    sheet=$(xdotool search --onlyvisible --name "^Fiche de Stimulation" | head -1)
    [ -n "$sheet" ] || { expect "^Fiche de Stimulation"; return; }
    eval "$(xdotool getwindowgeometry --shell "$sheet")"
    xdotool windowactivate --sync "$sheet" mousemove --window "$sheet" 300 $((HEIGHT - 49)) click 1; sleep 1
    xdotool windowactivate --sync "$sheet" key --clearmodifiers shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
    sleep 1; boxes
    fu=$(waitWindow "^Suivi grossesse" 10)
    [ -n "$fu" ] || { expect "^Suivi grossesse"; return; }
    shot followup
    step "the wheel over the follow-up's combos, 25 notches down"
    xdotool mousemove --window "$fu" 289 326 click --repeat 25 --delay 120 5
    sleep 0.5; shot followup-scrolled
    step "Enregistrer, answered Yes"
    eval "$(xdotool getwindowgeometry --shell "$fu")"
    xdotool mousemove --window "$fu" $((WIDTH - 252)) $((HEIGHT - 20)) click 1; sleep 1; boxes; sleep 0.5; boxes
    chosen=$(sqlite3 -separator '#' "$db" "SELECT replace(TERG1,char(13,10),'|'), replace(HOSPIT,char(13,10),'|'),
               replace(ACCOUCHE,char(13,10),'|') FROM GROSSESSE" | awk -F'#' '{
      split($1, t, "|"); split($2, h, "|"); split($3, a, "|")
      for (i = 1; i <= 5; i++) if (t[i] != "") print "TERG1 item " i " = " t[i]
      for (i = 4; i <= 6; i += 2) if (h[i] != "") print "HOSPIT item " i " = " h[i]
      for (i = 1; i <= 43; i++) if ((i <= 2 || i >= 16) && a[i] != "") print "ACCOUCHE item " i " = " a[i]
    }')
    if [ "$(sqlite3 "$db" 'SELECT COUNT(*) FROM GROSSESSE')" != 1 ]; then step "NO follow-up stored"; missed=1
    elif [ -n "$chosen" ]; then step "follow-up stored with items nobody chose: $(echo $chosen)"; missed=1
    else step "follow-up stored, no combo's item chosen"; fi
  }
  openEverything() {
    step "MARTIN typed in the search box; statistics, exams, cycle sheet creation, cycle sheet"
    searchMartin
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
  }
  case "$way" in
    wheel-exams) wheelOverExams ;;
    wheel-followup) wheelOverFollowUp ;;
    *) openEverything ;;
  esac
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
    close|wheel-*) step "the main window's close box"; xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4 ;;
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
expanded=()
for way in "${ways[@]}"; do [ "$way" = wheel ] && expanded+=(wheel-exams wheel-followup) || expanded+=("$way"); done
ways=("${expanded[@]}")
build=$(dirname "$(dirname "$bin")")
needTools xvfb-run openbox xdotool import
[[ " ${ways[*]} " == *" wheel-"* ]] && needTools sqlite3
out=${CHECK_EXIT_OUT:-$(mktemp -d)}
mkdir -p "$out"
failed=0
for way in "${ways[@]}"; do
  case "$way" in wheel-exams) screen=1280x1024 ;; wheel-followup) screen=1024x768 ;; *) screen=1600x1000 ;; esac
  demoRun "$build" "$out/$way-demo" "$screen" "$0" --inside "$way" "$bin" "$out"
  rc=$?
  reports=$(grep -cE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$out/$way.log")
  echo "$way: exit status $rc, sanitizer reports $reports (log $out/$way.log)"
  [ "$rc" -eq 0 ] && [ "$reports" -eq 0 ] || failed=1
done
exit "$failed"
