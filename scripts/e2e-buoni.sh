#!/usr/bin/env bash
# One whole road through the real program under Xvfb, with the keyboard only: start on a copy of
# the suite's database, open BUONI, delete the rows of one customer with the bulk delete, save,
# quit. Then the independent reader (mdbtools) and `vaskdb check` must agree on the file.
# Screenshots of each step are left in the work folder (kept with KEEP=1).
#   usage: scripts/e2e-buoni.sh [build folder]
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
fixture="$here/../shared/fixtures/suite/zelbo.mdb"

for tool in Xvfb xdotool import mdb-export; do
  if ! command -v "$tool" >/dev/null; then
    echo "e2e: $tool not installed, skipped"
    exit 0
  fi
done
if [ ! -f "$fixture" ]; then
  echo "e2e: ../shared/fixtures not found beside the checkout, skipped"
  exit 0
fi

work="$(mktemp -d)"
xvfb_pid=""
vask_pid=""
finish() {
  [ -n "$vask_pid" ] && kill "$vask_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if [ "${KEEP:-0}" = 1 ]; then echo "e2e: work folder $work"; else rm -rf "$work"; fi
}
trap finish EXIT

# The program reads WZELBO.INI beside itself: a copy of it in the work folder, with its own INI.
cp "$fixture" "$work/zelbo.mdb"
chmod u+w "$work/zelbo.mdb"
cp "$build/vask" "$work/vask"
printf 'pathdbdati=%s/\r\nnomeDbDati=zelbo.mdb\r\n' "$work" >"$work/WZELBO.INI"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# The real window on the X server, whatever platform the tests around it chose; a window that
# never comes fails the check rather than hanging it.
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" "$work/vask" \
  >"$work/vask.log" 2>&1 &
vask_pid=$!
win="$(timeout 60 xdotool search --sync --onlyvisible --name 'Vask di Manutenzione' | head -1)"

step=0
shot() { step=$((step + 1)); import -window root "$work/$(printf %02d "$step")-$1.png"; }
keys() {
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.3
  done
}
# A message box, its title as an anchored pattern: waits for it, presses the keys, waits for it
# to go.
box() {
  local title="$1"
  shift
  local b
  b="$(timeout 60 xdotool search --sync --onlyvisible --name "$title" | head -1)"
  sleep 0.3
  xdotool windowfocus "$b" 2>/dev/null || true
  sleep 0.2
  shot "box"
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.3
  done
  for _ in $(seq 600); do
    xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 || break
    sleep 0.1
  done
  # No window manager gives the keyboard back to the main window: the script does.
  xdotool windowfocus "$win" 2>/dev/null || true
  sleep 0.3
}

xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
sleep 1
shot start
# From "&Database", Tab twice reaches the table list; typing the name chooses BUONI.
keys Tab Tab
xdotool type --delay 60 BUONI
shot list
keys Return
sleep 2
shot open
# The grid: the first row's IDCliente, F7, then SELEZIONE, field IDCliente, UGUALE, the value of
# the current row, "- OK -".
keys F7
sleep 0.5
keys Down Return Home Down Down Down Return Return Return
shot condition
keys Return
# "Confermi la cancellazione ?" has Cancel as default: Shift+Tab to OK, space presses it.
box '^Cancellazione Dati$' shift+Tab space
box '^Cancellazione$' Return
shot deleted
keys F10
sleep 2
shot saved
# The focus is back in the table list, where Esc asks to quit; No is the default.
keys Escape
box '^Uscita da VASK$' shift+Tab space
for _ in $(seq 50); do kill -0 "$vask_pid" 2>/dev/null || break; sleep 0.1; done
vask_pid=""

# CSV read as CSV: a memo may hold line ends. Prints the row count, then the rows of a customer.
count() { python3 -c '
import csv, sys
rows = list(csv.reader(sys.stdin))[1:]
print(len(rows) if len(sys.argv) < 2 else sum(1 for r in rows if r[3] == sys.argv[1]))' "$@"; }
# The customer of the first row by ID: the rows to be gone.
cliente="$(mdb-export "$fixture" BUONI | python3 -c '
import csv, sys
print(min(list(csv.reader(sys.stdin))[1:], key=lambda r: int(r[0]))[3])')"
before="$(mdb-export "$fixture" BUONI | count "$cliente")"
rows="$(mdb-export "$work/zelbo.mdb" BUONI | count)"
left="$(mdb-export "$work/zelbo.mdb" BUONI | count "$cliente")"
ours="$("$build/vaskdb" export "$work/zelbo.mdb" BUONI | count)"
fail=0
echo "e2e: customer $cliente had $before rows; BUONI now $rows rows (vaskdb: $ours), $left of them"
[ "$before" -gt 0 ] || { echo "e2e: FAIL the fixture has no rows of customer $cliente"; fail=1; }
[ "$rows" -eq $((1234 - before)) ] || { echo "e2e: FAIL mdb-export reads $rows rows"; fail=1; }
[ "$left" -eq 0 ] || { echo "e2e: FAIL rows of customer $cliente are still there"; fail=1; }
[ "$ours" -eq "$rows" ] || { echo "e2e: FAIL vaskdb and mdb-export disagree"; fail=1; }
mdb-tables -1 "$work/zelbo.mdb" | grep -qx TemporaneaVask && { echo "e2e: FAIL the copy is left"; fail=1; }
"$build/vaskdb" check "$work/zelbo.mdb" || { echo "e2e: FAIL vaskdb check"; fail=1; }
if [ "$fail" != 0 ]; then
  KEEP=1
  cat "$work/vask.log"
  exit 1
fi
echo "e2e: OK"
