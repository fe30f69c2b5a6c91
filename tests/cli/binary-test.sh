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
"$cli" flash --printer "" x > out 2> err
[ $? = 2 ] && [ "$(head -n 1 err)" = "orlup-cli: --printer takes a serial, bus-port or node" ] ||
    fail "empty --printer"
"$cli" list --frobnicate 2> err
[ "$(head -n 1 err)" = "orlup-cli: bad option or missing value: --frobnicate" ] || fail "which option"

# Simulated printers are listed as such, so that nobody takes them for real ones; the JSON is
# indented for a reader.
"$cli" --simulate list --json > out 2> err &&
    grep -q '^    "description": "Simulated Ilvaran-II",$' out ||
    fail "simulated list"
"$cli" --simulate flash 0493sample.hex > out 2> err || fail "simulated flash"
grep -q "^100% 3000/3000 bytes$" out || fail "no progress line"
grep -q "^SIM-0493/sim-1: done, 3000 bytes, sha256 [0-9a-f]\{64\}$" out || fail "no summary"
"$cli" --simulate flash --all 0493sample.hex > out 2> err || fail "--all, every printer done"
"$cli" --simulate=unplug flash --printer sim-1 0493sample.hex > out 2> err
[ $? = 1 ] && grep -q "^USB port write failed - .*(0x48F)$" err || fail "unplugged half-way"
# No printer here: the message alone, nothing of hotplug events, which only --wait needs.
"$cli" flash 0493sample.hex > out 2> err
[ $? = 3 ] && [ "$(cat err)" = "No Ilvaran printers found" ] || fail "no printer"
# The current folder taken away: a relative image has no absolute path, and the program says why.
mkdir gone && (cd gone && rmdir "$work/gone" && "$cli" flash 0493sample.hex > "$work/out" 2> "$work/err"
    echo $? > "$work/status")
[ "$(cat status)" = 4 ] && [ "$(wc -l < err)" = 1 ] &&
    grep -q "^orlup-cli: the current folder cannot be told: " err || fail "current folder gone"
[ "$("$cli" history | grep -c " $work/0493sample.hex ")" = 4 ] &&
    [ -s "$work/state/orlup/history.jsonl" ] || fail "history"
XDG_STATE_HOME="$work/none" "$cli" history > out 2> err
[ $? = 0 ] && [ "$(cat err)" = "No flash attempts recorded in $work/none/orlup/history.jsonl" ] ||
    fail "no history"
# On a terminal a bar. Ctrl-Z stops the program between pieces and the printer still gets the
# whole image; a hang-up ends a transfer as Ctrl-C does, with its line.
script -qec "$cli --simulate flash 0493sample.hex" /dev/null > out 2>&1
grep -q '\[#*\] 100% 3000/3000 bytes' out || fail "no bar on a terminal"
head -c 200000 /dev/zero | tr '\0' 'Z' > 0493long.hex
# A signal once the transfer is under way, so that the program has taken over each one. A hang-up
# that a caller ignores (nohup) stays ignored, so it is let through here.
flash_long() {
    rm -f out  # else the last run's "0%" may be read before this one's redirection empties it
    env --default-signal=HUP "$cli" --simulate flash 0493long.hex > out 2> err &
    pid=$!
    for _ in $(seq 100); do grep -q "^0% " out && break; sleep 0.05; done
    kill -"$1" $pid
}
flash_long TSTP
for _ in $(seq 50); do
    state=$(cut -d ' ' -f 3 /proc/$pid/stat) && [ "$state" = T ] && break
    sleep 0.1
done
kill -CONT $pid
wait $pid && [ "$state" = T ] && grep -q "done, 200000 bytes" out || fail "Ctrl-Z"
flash_long HUP
wait $pid
[ $? = 129 ] && grep -q "^Transfer interrupted after [0-9]* of 200000 bytes" err || fail "SIGHUP"

# A reader of the output that goes away (a pager quit early) ends no transfer.
{ "$cli" --simulate flash 0493sample.hex; echo $? > status; } | true
[ "$(cat status)" = 0 ] || fail "output gone"

# A row for each record whatever its fields hold, as a terminal can show it; a line that is no
# record is counted, not shown.
mkdir -p "$work/table/orlup"
printf '%s\n' '{"time":"2026-01-02T03:04:05Z","model":"Ilvaran","serial":"SN1","busPort":"1-1",'\
'"image":"/img/0493\n\u009b.hex","size":2500,"sha256":"ab","bytesSent":1024,"result":"failed",'\
'"code":5}' '{"broken' '{"model":7,"size":"x","bytesSent":1}' > "$work/table/orlup/history.jsonl"
XDG_STATE_HOME="$work/table" "$cli" history > out 2> err || fail "history table"
printf '%-22s%-12s%-20s%-10s%-22s%-24s  %s\n' TIME MODEL SERIAL BUS-PORT SENT IMAGE RESULT \
    2026-01-02T03:04:05Z Ilvaran SN1 1-1 1024/2500 '/img/0493??.hex' failed - - - - 1/? - - > want
cmp -s out want && [ "$(cat err)" = "orlup-cli: skipped 1 line(s) of $work/table/orlup/history.jsonl\
 that are no flash record" ] || fail "history table"
XDG_STATE_HOME="$work/table" "$cli" history --json > out 2> err && [ "$(wc -l < out)" = 2 ] &&
    grep -q '"sha256":"ab"' out || fail "history --json"
# The station's image too needs the current folder, which can be gone.
(mkdir gone && cd gone && rmdir ../gone && exec "$cli" --simulate station 0493sample.hex) 2> err
[ $? = 4 ] && grep -q "current folder cannot be told" err || fail "station, no current folder"

# A relative XDG_STATE_HOME counts as unset; without HOME too there is no history.
XDG_STATE_HOME=relative HOME="$work/home" "$cli" --simulate flash 0493sample.hex > out 2> err
[ -s "$work/home/.local/state/orlup/history.jsonl" ] || fail "history under HOME"
env -u XDG_STATE_HOME -u HOME "$cli" history > out 2> err
[ $? = 1 ] && grep -q "no history without XDG_STATE_HOME, STATE_DIRECTORY or HOME" err || fail "no HOME"
echo "orlup-cli binary: 21 passed, 0 failed"
