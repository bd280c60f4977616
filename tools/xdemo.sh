# Shared by the manual checks of the built program under Xvfb and a window manager (check_exit.sh,
# screenshots.sh), sourced by them.

# Ends the script when one of the tools is missing.
needTools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null ||
      { echo "missing: $tool (apt-get install xvfb openbox xdotool x11-utils imagemagick)"; exit 2; }
  done
}

# demoRun BUILD DEMO SCREEN COMMAND...: a fresh demo in the folder DEMO (database, templates, settings), then
# COMMAND under Xvfb on a screen of SCREEN (WxH) with the program pointed at the demo.
demoRun() {
  local build=$1 demo=$2 screen=$3
  shift 3
  rm -rf "$demo"; mkdir -p "$demo/data" "$demo/classeurs" "$demo/sauvegarde"
  "$build/tools/folivex-newdb" "$demo/data/INDUCTION.mdb" --demo >/dev/null || exit 2
  cp -f "$build"/templates/*.xls "$demo/" 2>/dev/null
  printf '[TALVENOR_FOLIVEX]\nCHEMIN=%s\nCHEMINS=%s\nCHEMINXLS=%s\nSAUVE=%s\n' "$demo/data/INDUCTION.mdb" \
    "$demo/data/INDUCTION.mdb" "$demo/classeurs" "$demo/sauvegarde" > "$demo/folivex.ini"
  FOLIVEX_SETTINGS="$demo/folivex.ini" FOLIVEX_PROGDIR="$demo" FOLIVEX_LO_PROFILE="$(dirname "$demo")/office-profile" \
    xvfb-run -a -s "-screen 0 ${screen}x24" "$@"
}

# Inside Xvfb: openbox, then the program BIN with its output in LOG; their process ids in wm and prog.
startUnderWm() {
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  "$1" >"$2" 2>&1 &
  prog=$!
}

# waitWindow NAME SECONDS: the id of the first shown window whose name matches, once it is there (empty after
# SECONDS). Searched again each second: a search fails as a whole when a window goes away under it (the splash).
waitWindow() {
  local w _
  for _ in $(seq "$2"); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return; }
    sleep 1
  done
}
