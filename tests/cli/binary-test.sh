#!/bin/sh
# The real orlup-cli: its version, and whole updates of simulated printers, recorded.
# Usage: binary-test.sh ORLUP_CLI VERSION
set -u
cli=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/err" 2>/dev/null; exit 1; }

[ "$("$cli" --version)" = "orlup-cli $version" ] || fail "--version"
head -c 3000 /dev/zero | tr '\0' 'Z' > "$work/0493sample.hex"
cd "$work" || exit 1
export XDG_STATE_HOME="$work/state"

"$cli" --simulate flash 0493sample.hex > out 2> err || fail "simulated flash"
grep -q "^SIM-0493/sim-1: done, 3000 bytes, sha256 [0-9a-f]\{64\}$" out || fail "no summary"
"$cli" --simulate=unplug flash --printer sim-1 0493sample.hex > out 2> err
[ $? = 1 ] && grep -q "^USB port write failed - .*(0x48F)$" err || fail "unplugged half-way"
[ "$("$cli" history | grep -c " $work/0493sample.hex ")" = 2 ] || fail "history"
echo "orlup-cli binary: 4 passed, 0 failed"
