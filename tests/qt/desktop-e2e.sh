#!/bin/sh
# corvina on the demo host under Xvfb with a window manager, driven by
# xdotool: log on, keypad Enter and right Ctrl send Enter, left Ctrl sends
# Reset, a mouse selection reaches PRIMARY and Ctrl+C the clipboard (read
# back with xclip), full screen fills the screen and gives the window back.
# Run by ctest through xvfb-run: desktop-e2e.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1 src=$2
work=$(mktemp -d)
shots="$build/screenshots"
mkdir -p "$shots" "$work/data" "$work/run"
export XDG_RUNTIME_DIR="$work/run"
chmod 700 "$work/run"
host="" app="" wm=""
cleanup() {
  for p in $app $host $wm; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
fail() { echo "desktop-e2e: $*" >&2; [ -f "$work/log" ] && tail -20 "$work/log" >&2; exit 1; }
# waitfor SECONDS COMMAND...: until the command succeeds
waitfor() {
  n=$(($1 * 10)); shift
  while ! "$@" >/dev/null 2>&1; do
    n=$((n - 1)); [ $n -gt 0 ] || return 1
    sleep 0.1
  done
}
dde() { "$build/tools/corvina-dde" --timeout 5 "$@"; }
# Key by key: xdotool type remaps the server's keyboard, which Xvfb's
# clients do not survive.
typekeys() { for k in $(echo "$1" | sed 's/./& /g'); do xdotool key "$k"; done; }
screen_has() { dde Demo request PS | grep -q "$1"; }

openbox >/dev/null 2>&1 & wm=$!
python3 "$src/testhost/corvina_testhost.py" --scenario demo --once --timeout 120 \
  --port-file "$work/port" --log "$work/log" & host=$!
waitfor 15 test -s "$work/port" || fail "the demo host did not start"
# Lock on operator errors, so that Reset has something to do.
printf '[Session Profile]\nName=Demo\nHost=127.0.0.1,%s\nTerminalType=3279,24,80,IBM-3279-2-E\nKeyboardOptions=8\nFontOptions=0\n' \
  "$(cat "$work/port")" > "$work/data/Demo.tsp"
printf '[Configuration]\nPreferences=4\n' > "$work/Corvina.ini"
"$build/app/qt/corvina" --data-dir "$work/data" --settings "$work/Corvina.ini" \
  --snapshot "$work/shot.png" Demo 2>"$work/stderr" & app=$!
waitfor 20 sh -c "xdotool search --name 'Demo - Corvina' | grep -q ." || fail "no window"
win=$(xdotool search --name 'Demo - Corvina' | head -1)
waitfor 20 screen_has Userid || fail "no logon screen"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
sleep 0.5
kill -USR1 "$app"; waitfor 5 test -s "$work/shot.png" && cp "$work/shot.png" "$shots/e2e-logon.png"

typekeys demo
xdotool key Tab
typekeys demo
xdotool key Return
waitfor 20 screen_has "Main Menu" || fail "no menu after the logon"
# The host saw the logon: Enter (7D) with "demo" in EBCDIC, twice.
grep -q '^< 7D.*84 85 94 96.*84 85 94 96' "$work/log" || fail "no logon record in the host log"
rm -f "$work/shot.png"; kill -USR1 "$app"; waitfor 5 test -s "$work/shot.png" && cp "$work/shot.png" "$shots/e2e-menu.png"

# Keypad Enter and right Ctrl each send an Enter record.
enters() { grep -c '^< 7D' "$work/log" || true; }
before=$(enters)
xdotool key KP_Enter
waitfor 10 sh -c "[ \$(grep -c '^< 7D' '$work/log') -gt $before ]" || fail "keypad Enter sent no Enter"
waitfor 10 sh -c "dde Demo request OIA | cut -c9-19 | grep -qv X" 2>/dev/null || sleep 1
before=$(enters)
xdotool key Control_R
waitfor 10 sh -c "[ \$(grep -c '^< 7D' '$work/log') -gt $before ]" || fail "right Ctrl sent no Enter"
sleep 1
# Typing on a protected position locks the keyboard; left Ctrl resets it.
xdotool key Home Up
xdotool key a
waitfor 5 sh -c "'$build/tools/corvina-dde' Demo request OIA | grep -q '<0>'" || fail "no operator error to reset"
xdotool key Control_L
waitfor 5 sh -c "! '$build/tools/corvina-dde' Demo request OIA | grep -q '<0>'" || fail "left Ctrl did not reset"

# A mouse selection of the first row's start: PRIMARY, then Ctrl+C the clipboard.
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --window "$win" 10 54 mousedown 1 mousemove --window "$win" 40 55 mousemove --window "$win" 120 56 mouseup 1
waitfor 5 sh -c "xclip -o -selection primary | grep -q CORVINA" || fail "PRIMARY: $(xclip -o -selection primary 2>&1)"
primary=$(xclip -o -selection primary)
xdotool mousemove --window "$win" 10 54 mousedown 1 mousemove --window "$win" 40 55 mousemove --window "$win" 120 56 mouseup 1
xdotool key ctrl+c
waitfor 5 sh -c "xclip -o -selection clipboard | grep -q CORVINA" || fail "clipboard: $(xclip -o -selection clipboard 2>&1)"
[ "$(xclip -o -selection clipboard)" = "$primary" ] || fail "clipboard and PRIMARY differ"

# Full screen fills the screen; leaving it gives the old geometry back.
old="$WIDTH x $HEIGHT"
dde SYSTEM execute ViewFullScreen
waitfor 10 sh -c "xdotool getwindowgeometry '$win' | grep -q 'Geometry: 1280x1024'" || fail "full screen: $(xdotool getwindowgeometry "$win")"
rm -f "$work/shot.png"; kill -USR1 "$app"; waitfor 5 test -s "$work/shot.png" && cp "$work/shot.png" "$shots/e2e-fullscreen.png"
dde SYSTEM execute ViewFullScreen
waitfor 10 sh -c "eval \"\$(xdotool getwindowgeometry --shell '$win')\"; [ \"\$WIDTH x \$HEIGHT\" = '$old' ]" ||
  fail "not restored: $(xdotool getwindowgeometry "$win"), was $old"

dde SYSTEM execute HostExit
waitfor 15 sh -c "! kill -0 $app" || fail "corvina did not end"
wait "$app" || fail "corvina ended with status $?: $(cat "$work/stderr")"
app=""
echo "desktop-e2e: passed"
