# The scenarios of the table: each plugs printers in, runs orlup-cli and checks both ends.

scenario_small_transfer() {
    printer 0 Ilvaran ILV-A1 $IMG/0493-2500.hex || return
    run_cli 20 flash $IMG/0493-2500.hex
    expect_flashed 0
}

scenario_model_absent() {
    printer 0 Ilvaran ILV-A1 $IMG/0493-2500.hex || return
    run_cli 20 flash $IMG/0498-256k.hex
    expect_refused "No Ilvaran-II printers found" 0
}

scenario_only_printer_busy() {
    printer 0 Ilvaran ILV-A1 $IMG/0493-2500.hex || return
    hold 0
    run_cli 20 flash $IMG/0493-2500.hex
    release
    expect_refused "No Ilvaran printers found" 0
}

scenario_two_printers_same_model() {
    printer 0 Ilvaran ILV-A1 $IMG/0493-64k.hex && printer 1 Ilvaran ILV-B2 $IMG/0493-64k.hex ||
        return
    run_cli 20 flash $IMG/0493-64k.hex
    expect_refused \
        "Multiple Ilvaran printers are online. Only one may be programmed at a time" 0 1
    expect_free 0
    expect_free 1
    unplug 1
    serve 0 $IMG/0493-64k.hex || return
    run_cli 20 flash $IMG/0493-64k.hex
    expect_flashed 0
}

# expect_row MODEL SERIAL SLOT STATUS: the listing's row for MODEL.
expect_row() {
    expect_eq "$1 row" "$(grep "^$1 " $RUN/cli.out | tr -s ' ')" "$1 $2 $(port_of $3) $(node_of $3) $4"
}

scenario_list_printers() {
    run_cli 20 list
    expect "exit code 0 or 3 with no printer" [ $CLI_RC = 0 -o $CLI_RC = 3 ]
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

scenario_large_transfer_pace() {
    printer 1 Ilvaran-II "" $IMG/0498-1mib.hex || return
    run_cli 40 flash $IMG/0498-1mib.hex
    expect_flashed 1
    # Slower is what an emulated CPU does; faster means the 10 ms pacing is not happening.
    expect_pace 1 0 110
}

# usblp never times a write out: only orlup-cli's own 10 s no-progress limit ends this.
scenario_printer_stalls() {
    printer 1 Ilvaran-II ILV2-C3 $IMG/0498-256k.hex stall 16384 || return
    run_cli 30 flash $IMG/0498-256k.hex
    collect 1
    expect_failure "USB port write failed - .* (0x5B4)"
    expect "gave up after 10 s without progress, within 16 s" \
        [ $CLI_CS -ge 1000 -a $CLI_CS -le 1600 ]
    expect_report 1 command=ok received=16384 ending=stalled
    expect_free 1
}

scenario_printer_unplugged() {
    printer 1 Ilvaran-II "" $IMG/0498-256k.hex unplug 131072 || return
    run_cli 30 flash $IMG/0498-256k.hex
    collect 1
    expect_failure "USB port write failed - .* (0x48F)"
    expect_report 1 ending=unplugged error=0
    # Reads take whole gadget requests, so the cut comes up to q_len * 8 KiB past the mark.
    received=$(reported 1 received)
    expect "unplugged at about half: $received of 262153 bytes" \
        [ "$received" -ge 131072 -a "$received" -le $((131072 + 90 * 1024)) ]
    wait_for 50 no_node 1 || fail "the node outlived the unplug"
    printer 1 Ilvaran-II "" $IMG/0498-256k.hex || return
    run_cli 30 flash $IMG/0498-256k.hex
    expect_flashed 1
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

# Closed standard descriptors must never let the printer's node become stdout or stderr.
scenario_closed_descriptors() {
    plug 0 Ilvaran ILV-A1 || return
    for closed in ">&-" "2>&-"; do
        serve 0 $IMG/0493-2500.hex || return
        run_cli 20 flash $IMG/0493-2500.hex "$closed"
        expect_exit 0 0 match=yes
    done
    serve 0 $IMG/0493-2500.hex || return
    run_cli 20 flash $IMG/0493-none.hex "2>&-"
    expect_exit 1 0 received=0
}

# head leaves after the first line; the output's closed pipe must not end the transfer.
scenario_output_pipe_closed() {
    set -o pipefail
    printer 1 Ilvaran-II ILV2-C3 $IMG/0498-256k.hex || return
    run_cli 30 flash $IMG/0498-256k.hex "| head -n1"
    expect_exit 0 1 match=yes
    expect_eq "lines head passed on" "$(wc -l < $RUN/cli.out)" 1
}

# --printer picks one of two printers of the model by serial, then by bus-port.
scenario_named_printer() {
    plug 0 Ilvaran ILV-A1 && plug 1 Ilvaran ILV-B2 || return
    for pick in "ILV-B2 1 0" "$(port_of 0) 0 1"; do
        set -- $pick
        serve 0 $IMG/0493-64k.hex && serve 1 $IMG/0493-64k.hex || return
        run_cli 20 flash --printer $1 $IMG/0493-64k.hex
        collect $3
        expect_report $3 received=0
        expect_flashed $2
        expect "summary names slot $2" grep -q "/$(port_of $2): done, 65536 bytes" $RUN/cli.out
    done
}

# The image is read once: rewritten in place or replaced mid-transfer, the first one goes out.
scenario_image_changed() {
    plug 1 Ilvaran-II ILV2-C3 || return
    live=$RUN/0498-live.hex digest=$(sha256sum < $IMG/0498-256k.hex)
    for change in "dd if=/dev/urandom of=$live bs=64k count=2 conv=notrunc" "mv $RUN/new $live"
    do
        cp $IMG/0498-256k.hex $live && head -c 262144 /dev/urandom > $RUN/new
        serve 1 $IMG/0498-256k.hex || return
        cli_start 30 flash $live
        sleep 1
        expect "${change%% *} while orlup-cli sends" running $CLI_PID
        $change 2> /dev/null
        cli_wait
        expect_flashed 1
        expect "summary has the first image's digest" \
            grep -q "done, 262144 bytes, sha256 ${digest%% *}$" $RUN/cli.out
    done
}

# SIGTSTP and SIGWINCH wait for the piece in flight. SIGSTOP cannot be held: the transfer may
# end with 0x3E3, but never with a piece lost or sent twice.
scenario_signals_mid_transfer() {
    plug 1 Ilvaran-II ILV2-C3 || return
    for signals in WINCH "TSTP CONT" "STOP CONT"; do
        serve 1 $IMG/0498-256k.hex || return
        cli_start 30 flash $IMG/0498-256k.hex
        for signal in $signals; do sleep 1 && kill -$signal $CLI_PID; done
        cli_wait
        if [ "$signals" = "STOP CONT" -a $CLI_RC != 0 ]; then
            collect 1
            expect_failure "USB port write failed - .* (0x3E3)"
            expect_report 1 command=ok extra=0 firstMismatch=-1
        else
            expect_flashed 1
        fi
    done
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

# The Ilvaran's node passes to an Ilvaran-II while a shim holds orlup-cli's open of it.
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
    expect_failure "No Ilvaran printers found"
    expect_report 1 received=0
}

# --all: three printers at once, each at its own pace; one pulled half-way fails alone. On a
# quiet host each gets 95-98 % of nominal; under TCG on a loaded one 52-84 %, as three
# orlup-cli processes side by side do too. One tick shared by the three would give 33 %, and
# one printer after another would take three times one transfer.
scenario_flash_all() {
    for slot in 0 1 2; do printer $slot Ilvaran-II ILV2-$slot $IMG/0498-1mib.hex || return; done
    run_cli 60 flash --all $IMG/0498-1mib.hex
    for slot in 0 1 2; do expect_flashed $slot && expect_pace $slot 45 110; done
    expect "all at once, in $(seconds_of $CLI_CS) s" \
        [ $CLI_CS -le $((2 * 104857600 / ($(reported 0 pace) + 1))) ]
    serve 0 $IMG/0498-256k.hex && serve 1 $IMG/0498-256k.hex unplug 131072 &&
        serve 2 $IMG/0498-256k.hex || return
    run_cli 40 flash --all $IMG/0498-256k.hex
    collect 0 2
    expect_exit 1 1 ending=unplugged
    expect_report 0 match=yes && expect_report 2 match=yes
    expect_eq "printers done" "$(grep -c ': done, 262144 bytes' $RUN/cli.out)" 2
    expect "slot 1 failed alone" grep -q \
        "^ILV2-1/[0-9-]*: failed after [0-9]* of 262144 bytes - USB .*(0x48F)$" $RUN/cli.out
}
