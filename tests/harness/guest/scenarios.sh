# The scenarios: each sets up printers, runs orlup-cli and checks both ends of the cable.

scenario_small_transfer() {
    plug g0 dummy_udc.0 $PRODUCT_ILVARAN ILV-A1 || return
    emu_start a g0 $IMG/0493-2500.hex || return
    run_cli flash 30 flash $IMG/0493-2500.hex
    emu_stop a
    expect_success flash
    expect_exact_image a 2500
}

scenario_large_transfer_pace() {
    plug g1 dummy_udc.1 $PRODUCT_ILVARAN2 "" || return
    emu_start b g1 $IMG/0498-1mib.hex || return
    run_cli flash 60 flash $IMG/0498-1mib.hex
    emu_stop b
    expect_success flash
    expect_exact_image b 1048576
    pace=$(report_value b pace)
    # The gadget hands data over per filled 8 KiB request, so gaps are nominally 80 ms.
    echo "pace: $pace B/s, $((pace * 100 / NOMINAL_PACE))% of the nominal $NOMINAL_PACE B/s;" \
        "$(report_value b chunks) reads, longest gap $(report_value b maxGapMs) ms (nominal 80)"
    # Slower is what an emulated CPU does; faster means the 10 ms pacing is not happening.
    expect_true "pace at most 110% of nominal" [ "$pace" -le $((NOMINAL_PACE * 11 / 10)) ]
}

scenario_model_absent() {
    plug g0 dummy_udc.0 $PRODUCT_ILVARAN ILV-A1 || return
    emu_start a g0 $IMG/0493-2500.hex || return
    run_cli flash 30 flash $IMG/0498-256k.hex
    emu_stop a
    expect_failure flash "No Ilvaran-II printers found"
    expect_untouched a
}

scenario_two_printers_same_model() {
    plug g0 dummy_udc.0 $PRODUCT_ILVARAN ILV-A1 || return
    plug g1 dummy_udc.1 $PRODUCT_ILVARAN ILV-B2 || return
    emu_start a g0 $IMG/0493-64k.hex || return
    emu_start b g1 $IMG/0493-64k.hex || return
    run_cli multiple 30 flash $IMG/0493-64k.hex
    emu_stop a
    emu_stop b
    expect_failure multiple \
        "Multiple Ilvaran printers are online. Only one may be programmed at a time"
    expect_untouched a
    expect_untouched b
    expect_free "$(lp_node_of $PRODUCT_ILVARAN ILV-A1)"
    expect_free "$(lp_node_of $PRODUCT_ILVARAN ILV-B2)"
    gadget_unplug g1
    wait_for 50 lp_node_gone $PRODUCT_ILVARAN ILV-B2 || fail "ILV-B2 still present after unplug"
    emu_start single g0 $IMG/0493-64k.hex || return
    run_cli single 30 flash $IMG/0493-64k.hex
    emu_stop single
    expect_success single
    expect_exact_image single 65536
}

scenario_only_printer_busy() {
    plug g0 dummy_udc.0 $PRODUCT_ILVARAN ILV-A1 || return
    emu_start a g0 $IMG/0493-2500.hex || return
    hold "$(lp_node_of $PRODUCT_ILVARAN ILV-A1)"
    run_cli busy 30 flash $IMG/0493-2500.hex
    release
    emu_stop a
    expect_failure busy "No Ilvaran printers found"
    expect_untouched a
}

# usblp never times a write out: only orlup-cli's own 10 s no-progress limit ends this.
scenario_printer_stalls() {
    plug g1 dummy_udc.1 $PRODUCT_ILVARAN2 ILV2-C3 || return
    emu_start b g1 $IMG/0498-256k.hex --stall-after 16384 || return
    run_cli stall 40 flash $IMG/0498-256k.hex
    emu_stop b
    expect_write_failure stall 5B4
    expect_true "gave up after 10 s without progress, within 16 s" \
        [ $CLI_CS -ge 1000 -a $CLI_CS -le 1600 ]
    expect_report b command ok
    expect_report b received 16384
    expect_report b ending stalled
    expect_free "$(lp_node_of $PRODUCT_ILVARAN2 ILV2-C3)"
}

scenario_printer_unplugged() {
    plug g1 dummy_udc.1 $PRODUCT_ILVARAN2 "" || return
    emu_start b g1 $IMG/0498-256k.hex --unplug-after 131072 --udc $CONFIGFS/g1/UDC || return
    run_cli unplug 40 flash $IMG/0498-256k.hex
    emu_stop b
    expect_write_failure unplug 48F
    expect_report b ending unplugged
    expect_report b unplugError 0
    # Reads take whole gadget requests, so the cut comes up to q_len * 8 KiB past the mark.
    received=$(report_value b received)
    expect_true "unplugged at about half: $received of 262153 bytes" \
        [ "$received" -ge 131072 -a "$received" -le $((131072 + 90 * 1024)) ]
    wait_for 50 lp_node_gone $PRODUCT_ILVARAN2 "" || fail "the node outlived the unplug"
    plug g1 dummy_udc.1 $PRODUCT_ILVARAN2 "" || return
    emu_start again g1 $IMG/0498-256k.hex || return
    run_cli again 40 flash $IMG/0498-256k.hex
    emu_stop again
    expect_success again
    expect_exact_image again 262144
}

# expect_listed MODEL SERIAL BUS_PORT NODE STATUS: the list line for MODEL.
expect_listed() {
    line=$(grep "^$1 " $RUN/list.out)
    expect_eq "$1 serial" "$(echo "$line" | awk '{ print $2 }')" "$2"
    expect_eq "$1 bus-port" "$(echo "$line" | awk '{ print $3 }')" "$3"
    expect_eq "$1 node" "$(echo "$line" | awk '{ print $4 }')" "$4"
    expect_eq "$1 status" "$(echo "$line" | awk '{ $1 = $2 = $3 = $4 = ""; sub(/^ +/, ""); print }')" "$5"
}

scenario_list_printers() {
    run_cli empty 20 list
    expect_eq "exit code" $CLI_RC 3
    expect_eq "empty list" "$(cat $RUN/empty.err)" "No Ilvaran or Ilvaran-II printers attached"
    plug g0 dummy_udc.0 $PRODUCT_ILVARAN ILV-A1 || return
    plug g1 dummy_udc.1 $PRODUCT_ILVARAN2 "" || return
    nodeA=$(lp_node_of $PRODUCT_ILVARAN ILV-A1)
    nodeB=$(lp_node_of $PRODUCT_ILVARAN2 "")
    hold $nodeB
    run_cli list 20 list
    release
    expect_eq "exit code" $CLI_RC 0
    expect_eq "lines" "$(wc -l < $RUN/list.out)" 3
    expect_listed Ilvaran ILV-A1 "$(port_of_node $nodeA)" $nodeA ready
    expect_listed Ilvaran-II - "$(port_of_node $nodeB)" $nodeB busy
}
