#!/bin/sh
# The real orlup before it opens a window: runs it in the environment given, then matches its
# whole output and exit status against a Perl pattern; the exit status alone tells a mismatch.
# Usage: gui-test.sh PATTERN [NAME=VALUE...] ORLUP [ARGUMENT...]
pattern=$1
shift
out=$(env "$@" 2>&1; echo "status $?")
printf '%s\n' "$out"
printf '%s\n' "$out" | grep -Pzq "$pattern"
