#!/usr/bin/env bash
# Not a test, since a busy machine would make the clock flaky: orlup-cli.exe under Wine sends a
# 1 MiB image to a simulated printer at the real 10 ms period, against the bound of 98 % of
# 102400 B/s. The program's own start and end, timed on --help, are taken off.
# Usage: tests/wine/pace-bench.sh build/windows
set -euo pipefail
build=$(realpath "$1")
Cli() {
    "$(dirname "$0")/../../scripts/wine-run.sh" "$build/wine" "$build/app/cli/orlup-cli.exe" \
        "$@" >/dev/null
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 1048576 /dev/zero | tr '\0' Z >"$work/0493.hex"
image="Z:${work//\//\\}\\0493.hex" # Windows' file-name rule takes the backslash alone

Now() { date +%s%N; }
Cli --help # the first start of a session is slower than any after it
start=$(Now)
Cli --help
started=$(Now)
Cli --simulate flash "$image"
ended=$(Now)
awk -v took=$(((ended - started) - (started - start))) 'BEGIN {
    pace = 100 * 10.24 / (took / 1e9)  # 1 MiB at 102400 B/s takes 10.24 s
    printf "orlup-cli.exe, 1 MiB to a simulated printer: %.1f %% of 102400 B/s (bound 98)\n", pace
    exit !(pace >= 98) }'
