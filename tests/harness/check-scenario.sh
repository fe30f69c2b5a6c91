#!/bin/sh
# One scenario's verdict from the harness's guest run, as a CTest result.
results=$1 name=$2
if [ ! -e "$results/$name.status" ]; then
    echo "no verdict for $name: the guest never got to it or did not finish it"
    [ -e "$results/$name.log" ] && cat "$results/$name.log"
    echo "see $results/../console.log and $results/guest.log"
    exit 1
fi
cat "$results/$name.log"
[ "$(cat "$results/$name.status")" = PASS ]
