#!/usr/bin/env bash
# Makes docs/screenshots/linux-*.png: the real "orlup --simulate" under Xvfb and a window manager,
# driven with xdotool through a transfer: idle, mid-transfer, the completion box, the About box
# and the help window.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORLUP_SCREENSHOT_BUILD:-$root/build/screenshots}
out=$root/docs/screenshots

if [ "${1:-}" != --inside-xvfb ]; then
    for tool in xvfb-run xdotool import icewm; do
        command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
    done
    cmake -S "$root" -B "$build" -G Ninja -DORLUP_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --target orlup-gui -j2
    mkdir -p "$out"
    exec xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -nolisten tcp" \
        "$0" --inside-xvfb
fi

# From here on inside the X server that xvfb-run started; it ends when this script does.
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

icewm >/dev/null 2>&1 &
pids+=($!)
sleep 2

# A relative path, so that the path box shows no folder of this machine.
mkdir "$work/firmware"
(set +o pipefail; yes 'Orlup sample flash image' | head -c 307200) >"$work/firmware/0493v214.hex"
(cd "$work" && QT_QPA_PLATFORM=xcb exec "$build/app/qt/orlup" --simulate firmware/0493v214.hex \
    >/dev/null 2>&1) &
pids+=($!)

Window() { timeout 10 xdotool search --sync --onlyvisible --name "$1" | head -n 1; }

# -frame takes the window manager's frame and caption along.
Shot() {
    sleep 0.5
    import -frame -window "$1" "$out/$2"
    echo "wrote $out/$2"
}

Keys() {
    xdotool windowactivate --sync "$1"
    shift
    xdotool key --delay 100 "$@"
}

dialog=$(Window '^Ilvaran Printer Firmware Updater')
Shot "$dialog" linux-idle.png

Keys "$dialog" alt+u
sleep 1.2  # 300 KiB take three seconds
Shot "$dialog" linux-transfer.png

Shot "$(Window '^orlup$')" linux-message.png
Keys "$(Window '^orlup$')" Return

Keys "$dialog" shift+F10 a
about=$(Window '^About Orlup$')
Shot "$about" linux-about.png
Keys "$about" Escape

Keys "$dialog" F1
Shot "$(Window '^Orlup Help$')" linux-help.png
