#!/usr/bin/env bash
# Makes docs/screenshots/linux-*.png: the real dialog driven through a transfer to a fake printer.
# With Xvfb and a window manager (icewm, which honours the no-minimise/no-maximise hints, or
# openbox) the shots carry the window frames and captions; without them they are rendered on
# Qt's offscreen platform, client areas only.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORLUP_SCREENSHOT_BUILD:-$root/build/screenshots}
out=$root/docs/screenshots

cmake -S "$root" -B "$build" -DORLUP_USB_HARNESS=OFF > /dev/null
cmake --build "$build" --target orlup-screenshots -j2
tool=$build/tests/qt/screenshot-tool/orlup
mkdir -p "$out"

wm=$(command -v icewm || command -v openbox || true)
if command -v xvfb-run > /dev/null && [ -n "$wm" ]; then
    # The window manager decorates the windows; it ends with the X server when the tool is done.
    xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24 -nolisten tcp" \
        bash -c '"$0" > /dev/null 2>&1 & sleep 2; QT_QPA_PLATFORM=xcb "$1" "$2"' \
        "$wm" "$tool" "$out"
else
    echo "Xvfb or a window manager missing: rendering offscreen, without window frames" >&2
    QT_QPA_PLATFORM=offscreen "$tool" "$out"
fi
