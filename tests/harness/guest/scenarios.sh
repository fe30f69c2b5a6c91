# The scenarios of the table: each plugs printers in, runs orlup-cli and checks both ends. Each
# proves what only a real kernel can show; the rest is proven by the unit tests.

# expect_row MODEL SERIAL SLOT STATUS: the listing's row for MODEL.
expect_row() {
    expect_eq "$1 row" "$(grep "^$1 " $RUN/cli.out | tr -s ' ')" "$1 $2 $(port_of $3) $(node_of $3) $4"
}

# What sysfs tells of a printer, a printer without a serial, and usblp's one open at a time.
scenario_list_printers() {
    run_cli 20 list
    expect_eq "exit code with no printer" $CLI_RC 3
    expect "no printer listed" lacks '^Ilvaran' $RUN/cli.out
    plug 2 Ilvaran ILV-A1 && plug 3 Ilvaran-II "" || return
    hold 3
    run_cli 20 list
    release
    expect_eq "exit code" $CLI_RC 0
    expect_eq "lines" "$(wc -l < $RUN/cli.out)" 3
    expect_row Ilvaran ILV-A1 2 ready
    expect_row Ilvaran-II - 3 busy
}

# --wait hears of a printer from the kernel's uevents (no udevd runs here) and flashes it; Ctrl-C
# ends the wait at once. Standard output is closed: were the printer's node to become it, the
# progress lines would go to the printer.
scenario_wait_for_printer() {
    cli_start 20 flash --wait=30 $IMG/0493-2500.hex
    sleep 1 && signalled=$(uptime_cs) && kill -INT $CLI_PID
    cli_wait
    took=$((CLI_START + CLI_CS - signalled))
    expect_eq "exit code" $CLI_RC 130
    expect "ended $(seconds_of $took) s after SIGINT, within 1 s" [ $took -le 100 ]
    expect "stderr says nothing was sent" grep -q "waiting for a printer; nothing was sent" \
        $RUN/cli.err
    cli_start 40 flash --wait=30 $IMG/0493-2500.hex ">&-"
    sleep 2 && printer 0 Ilvaran ILV-A1 $IMG/0493-2500.hex || return
    cli_wait
    expect "waited $(seconds_of $CLI_CS) s, at least the 2 s before the plug" [ $CLI_CS -ge 200 ]
    expect_exit 0 0 match=yes
    expect "nothing on stderr" [ ! -s $RUN/cli.err ]
}

# event NAME SERIAL: orlup-cli's JSON told of that event for that printer. Polled: builtins only.
event() {
    while read -r line; do
        case $line in *"\"event\":\"$1\""*"\"serial\":\"$2\""*) return 0 ;; esac
    done < $RUN/cli.out
    false
}

events() { grep "\"event\":\"$1\"" $RUN/cli.out | grep -c "\"serial\":\"$2\""; }

# A station as printers come and go: slot 1 is pulled half-way and comes back (flashed again),
# slot 2 comes back once flashed, as re-powered by the technician (not flashed again).
scenario_station() {
    image=$IMG/0498-256k.hex
    cli_start 80 station --json $image
    printer 0 Ilvaran-II ILV2-0 $image && printer 1 Ilvaran-II ILV2-1 $image unplug 131072 &&
        printer 2 Ilvaran-II ILV2-2 $image || return
    wait_for 150 event failed ILV2-1 || fail "slot 1's unplug never told" || return
    collect 1
    expect_report 1 ending=unplugged
    expect "slot 1 failed as unplugged (0x48F = 1167)" grep -q \
        '"event":"failed".*"serial":"ILV2-1".*"code":1167,' $RUN/cli.out
    printer 1 Ilvaran-II ILV2-1 $image || return
    for serial in ILV2-0 ILV2-1 ILV2-2; do
        wait_for 150 event "done" $serial || fail "$serial never done" || return
    done
    collect 0 1 2
    for slot in 0 1 2; do expect_report $slot match=yes; done
    unplug 2 && printer 2 Ilvaran-II ILV2-2 $image || return
    wait_for 100 event skipped ILV2-2 || fail "slot 2's return never told"
    sleep 1 && collect 2
    expect_report 2 received=0
    expect_eq "ILV2-2 started" "$(events started ILV2-2)" 1
    expect_eq "ILV2-1 started" "$(events started ILV2-1)" 2
    kill -TERM $CLI_PID
    cli_wait
    expect_eq "exit code, no printer's last attempt failed" $CLI_RC 0
    expect "summary" grep -q '"event":"summary".*"done":3,"failed":1,"skipped":1}' $RUN/cli.out
    expect "summary line" grep -qx "Station stopped: 3 done, 1 failed, 1 skipped" $RUN/cli.err
    orlup-cli history --json > $RUN/history
    expect_eq "records" "$(grep -c '"serial":"ILV2-[012]"' $RUN/history)" 4
}

stopped() { read -r stat < /proc/$1/stat && [ "${stat#*[)] T }" != "$stat" ]; }

# --all, three printers at once, each at its own pace: on a quiet host each gets 95-98 % of
# nominal; under TCG on a loaded one 47-84 %, as three orlup-cli processes side by side do too.
# One tick shared by the three would give 33 %, and one printer after another would take three
# times one transfer. Then Ctrl-Z with usblp's queues full: the program stops (state T) once
# every writer is between two pieces, and SIGCONT lets every printer get the whole image; a stop
# taken while a writer waits in usblp wakes them all with EINTR, which showed in one run of
# three. SIGSTOP cannot be held: a transfer may end with 0x3E3, but never with a piece lost or
# sent twice. SIGHUP, as when the terminal goes, cuts every transfer short with its line and its
# record.
scenario_stop_all() {
    image=$IMG/0498-256k.hex
    for signal in none TSTP TSTP TSTP STOP HUP; do
        # A transfer cut short leaves bytes queued in the gadget: plugged in again, it has none.
        for slot in 0 1 2; do
            [ "$(reported $slot match 2> /dev/null)" = yes ] ||
                { unplug $slot && plug $slot Ilvaran-II ILV2-$slot; } || return
        done
        for slot in 0 1 2; do serve $slot $image || return; done
        [ $signal != HUP ] || rm -rf $XDG_STATE_HOME
        cli_start 40 flash --all $image
        if [ $signal != none ]; then
            sleep 1.5 && signalled=$(uptime_cs) && kill -$signal $CLI_PID
        fi
        if [ $signal = TSTP ]; then
            wait_for 30 stopped $CLI_PID
            expect "SIGTSTP: state T, stopped between pieces" stopped $CLI_PID
        fi
        [ $signal != TSTP ] && [ $signal != STOP ] || { sleep 1 && kill -CONT $CLI_PID; }
        cli_wait
        collect 0 1 2
        case $signal in
            none)
                expect_eq "exit code" $CLI_RC 0
                for slot in 0 1 2; do
                    expect_report $slot match=yes && expect_pace $slot 40 110
                done
                expect "all at once, in $(seconds_of $CLI_CS) s" \
                    [ $CLI_CS -le $((2 * 26214400 / ($(reported 0 pace) + 1))) ]
                ;;
            TSTP)
                expect_eq "exit code" $CLI_RC 0
                for slot in 0 1 2; do expect_report $slot match=yes; done
                ;;
            STOP)
                expect "exit code 0, or 1 with 0x3E3" \
                    [ $CLI_RC = 0 -o "$(grep -c '(0x3E3)$' $RUN/cli.out)" -gt 0 ]
                for slot in 0 1 2; do expect_report $slot command=ok extra=0 firstMismatch=-1; done
                ;;
            HUP)
                took=$((CLI_START + CLI_CS - signalled))
                expect_eq "exit code" $CLI_RC 129
                expect "ended $(seconds_of $took) s after SIGHUP, within 1 s" [ $took -le 100 ]
                expect_eq "interruption lines" "$(grep -c \
                    '^ILV2-[012]/[0-9-]*: Transfer interrupted after [0-9]* of 262144 bytes' \
                    $RUN/cli.err)" 3
                for slot in 0 1 2; do expect_report $slot command=ok extra=0 firstMismatch=-1; done
                orlup-cli history --json > $RUN/history
                expect_eq "records" "$(grep -c '"serial":"ILV2-[012]"' $RUN/history)" 3
                expect "none of them done" lacks '"result":"done"' $RUN/history
                ;;
        esac
    done
}

# usblp never times a write out: only orlup-cli's own 10 s no-progress limit ends this.
scenario_printer_stalls() {
    printer 1 Ilvaran-II ILV2-C3 $IMG/0498-256k.hex stall 16384 || return
    run_cli 30 flash $IMG/0498-256k.hex
    collect 1
    expect_failure 1 "USB port write failed - .* (0x5B4)"
    expect "gave up after 10 s without progress, within 16 s" \
        [ $CLI_CS -ge 1000 -a $CLI_CS -le 1600 ]
    expect_report 1 command=ok received=16384 ending=stalled
    expect_free 1
}

# Ctrl-C ends even a write the printer never takes (usblp blocks once the gadget's queue is
# full, a second or so after the stall), and lets the printer go.
scenario_interrupt_stalled() {
    printer 1 Ilvaran-II ILV2-C3 $IMG/0498-256k.hex stall 16384 || return
    cli_start 30 flash $IMG/0498-256k.hex
    sleep 3 && signalled=$(uptime_cs) && kill -INT $CLI_PID
    cli_wait
    took=$((CLI_START + CLI_CS - signalled))
    expect_exit 130 1 received=16384 ending=stalled
    expect "ended $(seconds_of $took) s after SIGINT, within 1 s" [ $took -le 100 ]
    expect "interruption on stderr" \
        grep -q "^Transfer interrupted after [0-9]* of 262144 bytes\. Re-power" $RUN/cli.err
    expect_free 1
}

# The Ilvaran's node passes to an Ilvaran-II while a shim holds orlup-cli's open of it: the
# printer that was listed is gone, the one behind its node is not flashed.
scenario_printer_swapped() {
    plug 0 Ilvaran ILV-A1 || return
    node=$(node_of 0)
    touch $RUN/hold
    CLI="env LD_PRELOAD=/bin/hold-open.so ORLUP_HOLD=$RUN/hold orlup-cli"
    cli_start 30 flash $IMG/0493-64k.hex
    wait_for 100 [ ! -e $RUN/hold ] || fail "orlup-cli never opened $node" || return
    unplug 0 && printer 1 Ilvaran-II ILV2-C3 $IMG/0498-256k.hex || return
    expect_eq "the Ilvaran-II's node" "$(node_of 1)" $node
    touch $RUN/hold
    cli_wait
    collect 1
    expect_failure 5 "No Ilvaran printers found"
    expect_report 1 received=0
}

# The kernel's own complaints: a warning or list corruption here wedges later runs.
scenario_guest_kernel_clean() {
    dmesg > $RUN/dmesg
    echo "$(grep -c 'USB disconnect' $RUN/dmesg) USB disconnects; the kernel's USB complaints:"
    grep -iE 'usb|lp[0-9]|printer|gadget|udc|dummy' $RUN/dmesg |
        grep -iE 'error|status|fail|warn|timeout|fired|-[0-9]+$' | tail -n 40 | sed 's/^/  /'
    grep -E 'WARNING:|BUG:|Oops|corruption|Call Trace|blocked for more' $RUN/dmesg |
        sed 's/^/FAIL: kernel: /'
}
