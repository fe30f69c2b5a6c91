#!/bin/sh
# Screenshots of Orlup.exe under Wine for the README: the dialog, the About box, a message box.
# Usage: scripts/screenshots-windows.sh [BUILD_DIR [OUTPUT_DIR]]
#   BUILD_DIR holds a build of the "windows" preset (default build/windows); the PNGs go to
#   OUTPUT_DIR (default docs/screenshots) as windows-dialog.png, windows-message.png and
#   windows-about.png.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
scripts=$root/scripts
build=$(cd "${1:-$root/build/windows}" && pwd)
out=${2:-$root/docs/screenshots}
exe=$build/app/win32/Orlup.exe
[ -f "$exe" ] || { echo "no $exe: build the windows preset first" >&2; exit 1; }
mkdir -p "$out"

# A session of its own, so that a test run in the same build is not disturbed.
state=$build/wine-screenshots
"$scripts/wine-session.sh" start "$state"
trap '"$scripts/wine-session.sh" stop "$state"' EXIT INT TERM
orlupWineState=$state
. "$scripts/wine-env.sh"
OrlupUseDisplay

# Without a window manager only a Wine desktop window draws captions and frames.
wine explorer /desktop=Orlup,560x360 "$exe" </dev/null >/dev/null 2>&1 &

tries=0
until desktop=$(xdotool search --name "Orlup - Wine desktop" 2>/dev/null) && [ -n "$desktop" ]; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || { echo "the Wine desktop did not appear" >&2; exit 1; }
    sleep 0.2
done
desktop=$(echo "$desktop" | head -n 1)

# The desktop's plain background is trimmed away, leaving the program's windows.
Shot() {
    sleep 1.5
    import -window "$desktop" "$state/raw.png"
    convert "$state/raw.png" -trim +repage "$out/$1"
    echo "wrote $out/$1"
}

# Where the dialog stands, once it shows: all that differs from the background.
tries=0
until import -window "$desktop" "$state/raw.png" &&
    bounds=$(convert "$state/raw.png" -trim -format '%X %Y %w' info: 2>/dev/null) &&
    [ "$(convert "$state/raw.png" -trim -format '%w' info: 2>/dev/null)" -gt 100 ]; do
    tries=$((tries + 1))
    [ $tries -le 50 ] || { echo "Orlup.exe did not show its dialog" >&2; exit 1; }
    sleep 0.2
done
sleep 1

# Keys reach the dialog once a click on its caption has made it the active window.
set -- $(echo "$bounds" | tr -d '+')
xdotool windowfocus --sync "$desktop"
xdotool mousemove --window "$desktop" $(($1 + $3 / 2)) $(($2 + 10)) click 1
sleep 0.5

# The system menu's last item is "&About Orlup...". Once the About box is closed again, the
# dialog shows itself as the active window.
xdotool key --delay 200 alt+space Up Return
Shot windows-about.png
xdotool key Escape
Shot windows-dialog.png

# To the edit box past "E&xit" and "&Update Flash", a path, then Alt+U: no printer is attached.
xdotool key --delay 100 Tab Tab
xdotool type --delay 40 'C:\flash\0493v2.hex'
xdotool key alt+u
Shot windows-message.png
xdotool key --delay 300 Return Escape
sleep 1
