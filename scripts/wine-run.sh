#!/bin/bash
# Runs a Windows program under Wine in the build's test session, starting the session if needed.
# Usage: wine-run.sh STATE_DIR PROGRAM.exe [ARGUMENTS...]
set -eu

scripts=$(dirname "$0")
stateDir=$1
shift
"$scripts/wine-session.sh" start "$stateDir"
orlupWineState=$stateDir
. "$scripts/wine-env.sh"
OrlupUseDisplay

# Wine can, rarely, fail to start a program at all, and then says nothing (its error messages
# are off): a run that failed without writing anything never ran, and gets one more start, with
# Wine's error messages on so that the cause shows. Every program run here writes something
# once it runs: a test program its results, the command line its messages.
output=$(mktemp "$TMPDIR/run-XXXXXX")
trap 'rm -f "$output" "$output.err"' EXIT
RunOnce() {
    touch "$orlupLastUseFile"
    wine "$@" 2>"$output.err" | tee "$output"
    status=${PIPESTATUS[0]}
    touch "$orlupLastUseFile"
    cat "$output.err" >&2
}
RunOnce "$@"
if [ "$status" -ne 0 ] && [ ! -s "$output" ] && [ ! -s "$output.err" ]; then
    echo "wine-run.sh: $1 ended with status $status before writing anything; starting it again" >&2
    export WINEDEBUG=-all,err+all
    RunOnce "$@"
fi
exit "$status"
