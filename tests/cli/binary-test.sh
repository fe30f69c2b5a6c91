#!/bin/sh
# The real orlup-cli: its exit statuses, whole updates of simulated printers, and the history
# where the environment puts it.
# Usage: binary-test.sh ORLUP_CLI VERSION
set -u
cli=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/err" 2>/dev/null; exit 1; }

v=$("$cli" --version) && [ "$v" = "orlup-cli $version" ] || fail "--version"
"$cli" -h > out 2> err && grep -q "^usage: orlup-cli \[--simulate" out && [ ! -s err ] || fail "-h"
head -c 3000 /dev/zero | tr '\0' 'Z' > "$work/0493sample.hex"
cd "$work" || exit 1
export XDG_STATE_HOME="$work/state"
for args in "" "--simulate=smoke list" "list extra" "frobnicate" "history extra" "flash" \
    "flash a b" "flash --all --printer SN1 x" "flash --sha256 $(printf '%063d' 0) x" \
    "flash --sha256 $(printf '%064d' 0 | tr 0 g) x" "flash --frobnicate 0493sample.hex" \
    "flash --wait=5s x" "flash --wait= x" "station" "station a b" "list --frobnicate" \
    "station --frobnicate x" "station --sha256 x x" "history --frobnicate" "--simulate=stall" \
    "--frobnicate list" "history --json extra"; do
    # shellcheck disable=SC2086 # each word an argument
    "$cli" $args > out 2> err
    [ $? = 2 ] && grep -q "^usage: orlup-cli" err && [ ! -s out ] || fail "usage for '$args'"
done
[ "$(head -n 1 err)" = "orlup-cli: history takes no operand" ] || fail "own words only"

"$cli" --simulate flash 0493sample.hex > out 2> err || fail "simulated flash"
grep -q "^100% 3000/3000 bytes$" out || fail "no progress line"
grep -q "^SIM-0493/sim-1: done, 3000 bytes, sha256 [0-9a-f]\{64\}$" out || fail "no summary"
"$cli" --simulate=unplug flash --printer sim-1 0493sample.hex > out 2> err
[ $? = 1 ] && grep -q "^USB port write failed - .*(0x48F)$" err || fail "unplugged half-way"
[ "$("$cli" history | grep -c " $work/0493sample.hex ")" = 2 ] &&
    [ -s "$work/state/orlup/history.jsonl" ] || fail "history"
XDG_STATE_HOME="$work/none" "$cli" history > out 2> err
[ $? = 0 ] && grep -q "^No flash attempts recorded in $work/none/orlup" err || fail "no history"
# A relative image needs the current folder, which can be gone.
(mkdir gone && cd gone && rmdir ../gone && exec "$cli" --simulate flash 0493sample.hex) 2> err
[ $? = 4 ] && grep -q "current folder cannot be told" err || fail "no current folder"

# A relative XDG_STATE_HOME counts as unset; without HOME too there is no history.
XDG_STATE_HOME=relative HOME="$work/home" "$cli" --simulate flash 0493sample.hex > out 2> err
[ -s "$work/home/.local/state/orlup/history.jsonl" ] || fail "history under HOME"
env -u XDG_STATE_HOME -u HOME "$cli" history > out 2> err
[ $? = 1 ] && grep -q "no history without XDG_STATE_HOME, STATE_DIRECTORY or HOME" err || fail "no HOME"
echo "orlup-cli binary: 10 passed, 0 failed"
