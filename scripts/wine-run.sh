#!/bin/sh
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
touch "$orlupLastUseFile"
status=0
wine "$@" || status=$?
touch "$orlupLastUseFile"
exit $status
